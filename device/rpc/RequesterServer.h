#pragma once

#include "common/wire/RpcWriter.h"
#include "common/wire/StringTable.h"
#include "device/core/SharedBuffer.h"

#include <string>

namespace corvane {

// Writes one call at a time in the request form: the stream version, the flags, the string
// table, then the tokens, every element followed by U+FFFF. One writer serves every call of
// a service client; finish() resets it for the next call. Main thread only.
class RequesterServer final : public RpcWriter {
public:
    void save_int64(std::int64_t value) override;
    void save_int(std::int32_t value) override;
    void save_string(WStringView text) override;

    // Builds the request text, logs it and encodes it into `body`, then clears the table and
    // the tokens. The request form has no escapes, so a string holding U+FFFF would split into
    // two tokens on the other side: such a call is refused here with a log line, `body` is
    // left empty, the writer is cleared all the same and the answer is false.
    [[nodiscard]] bool finish(SharedBuffer& body);
    [[nodiscard]] bool finish(std::string& body);

    // The request text that finish() would encode, for diagnostics and tests.
    WString text() const;

private:
    void clear();

    StringTable m_table;
    WString m_tokens;
    bool m_has_separator_in_string { false };
};

} // namespace corvane
