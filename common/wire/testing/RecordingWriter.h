#pragma once

#include "common/base/Text.h"
#include "common/wire/RpcWriter.h"
#include "common/wire/WireText.h"

#include <vector>

namespace corvane::test {

// Records each saved value as "i:<decimal>", "s:<text>" or "l:<hex>", so a test can compare
// a record's wire order with the field order the service expects.
class RecordingWriter final : public RpcWriter {
public:
    void save_int64(std::int64_t value) override { entries.push_back(u"l:" + format_hex64(value)); }
    void save_int(std::int32_t value) override { entries.push_back(u"i:" + to_wstring(value)); }
    void save_string(WStringView text) override { entries.push_back(u"s:" + WString(text)); }
    std::vector<WString> entries;
};

} // namespace corvane::test
