#pragma once

#include "common/wire/RpcWriter.h"
#include "common/wire/WireText.h"

#include <vector>

namespace corvane::test {

// Records each saved value as "i:<decimal>", "s:<text>" or "l:<hex>", so a test can compare
// a record's wire order with the field table it was written from.
class RecordingWriter final : public RpcWriter {
public:
    void save_int64(std::int64_t value) override
    {
        m_entries.push_back(u"l:" + format_hex64(value));
    }
    void save_int(std::int32_t value) override { m_entries.push_back(u"i:" + to_wstring(value)); }
    void save_string(WStringView text) override { m_entries.push_back(u"s:" + WString(text)); }

    const std::vector<WString>& entries() const { return m_entries; }

private:
    std::vector<WString> m_entries;
};

} // namespace corvane::test
