#pragma once

#include "common/wire/RpcReader.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvane {

// Reads a call in the request form, as the service receives it, through the same interface
// the records read replies with, so the service parses parameters with the client's own
// record code. Unlike the reply reader it is strict: a missing or ill-formed token or a
// reference outside the table sets the error flag, and the text must hold nothing more than
// the call (see is_complete). One thread at a time.
class RequestReader final : public RpcReader {
public:
    // Decodes strictly (each UTF-16 unit encoded by itself, or proper 4-byte sequences),
    // splits at U+FFFF (the text must end with one) and checks the version "3", the flags
    // "0" and the string table. Answers false with a reason in failure().
    [[nodiscard]] bool parse(std::string_view bytes);
    [[nodiscard]] bool parse_text(WStringView text);

    // The next token as a decimal 32-bit value; -1 and the error flag when missing or bad.
    std::int32_t load_int() override;
    // The next token as 1 to 16 hexadecimal digits (a bare token, not a reference).
    std::int64_t load_int64() override;
    // The next token as a reference: 0 gives the empty string.
    WStringView load_string() override;
    std::size_t remaining() const override { return m_tokens.size() - m_next; }
    bool has_error() const override { return !m_failure.empty(); }

    // Every token was read and none failed: a leftover token means a malformed call.
    bool is_complete() const { return !has_error() && remaining() == 0; }
    // Why the parse or a read failed; empty while nothing did.
    WStringView failure() const { return m_failure; }
    std::size_t string_count() const { return m_string_count; }

private:
    struct Span {
        std::size_t offset;
        std::size_t length;
    };

    WStringView element(const Span& span) const
    {
        return WStringView(m_text).substr(span.offset, span.length);
    }
    bool fail(WStringView reason);
    const Span* next_token();

    WString m_text;
    std::vector<Span> m_strings;
    std::vector<Span> m_tokens;
    std::size_t m_next { 0 };
    std::size_t m_string_count { 0 };
    WString m_failure;
};

} // namespace corvane
