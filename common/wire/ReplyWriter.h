#pragma once

#include "common/wire/RpcWriter.h"
#include "common/wire/StringTable.h"
#include "common/wire/WireText.h"

#include <string>
#include <vector>

namespace corvane {

enum class ReplyOutcome {
    Success, // "//OK["
    Exception, // "//EX[": the value list holds a thrown exception object
};

// Collects values and strings in the reply form. The client writes its cache file with it;
// the reference service writes its replies with it. One thread at a time.
class ReplyWriter final : public RpcWriter {
public:
    // The client's cache escapes spaces; the service may leave them plain (both read alike).
    explicit ReplyWriter(SpaceForm spaces = SpaceForm::Escaped)
        : m_spaces(spaces)
    {
    }

    // Formats the lowercase hexadecimal text and saves it as a string.
    void save_int64(std::int64_t value) override;
    void save_int(std::int32_t value) override;
    void save_string(WStringView text) override;

    // Produces the reply text: the prefix, the values from the last saved to the first (the
    // reader takes them from the end), then the escaped strings and the trailer. Clears the
    // writer for the next reply. Readers reject a reply without any value, so write at least
    // one (a void result is the single value 0).
    void finish(WString& text, ReplyOutcome outcome = ReplyOutcome::Success);
    // The same text encoded as the wire and the cache file carry it.
    void finish_utf8(std::string& bytes, ReplyOutcome outcome = ReplyOutcome::Success);

    std::size_t value_count() const { return m_values.size(); }

private:
    void clear();

    SpaceForm m_spaces;
    StringTable m_table;
    std::vector<std::int32_t> m_values;
};

} // namespace corvane
