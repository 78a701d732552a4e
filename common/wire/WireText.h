#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <optional>

namespace corvane {

// Token-level text forms of the service protocol, shared by the readers and writers.

// The lowercase hexadecimal text of the 64-bit two's-complement value: no prefix, no leading
// zeros, "0" for zero, at most 16 digits.
void append_hex64(std::uint64_t value, WString& out);
WString format_hex64(std::int64_t value);

// The leading hexadecimal digits of either case. Text without digits gives 0; a value that
// needs more than 64 bits saturates to all ones.
std::uint64_t parse_hex64_lenient(WStringView text);
// Exactly 1 to 16 hexadecimal digits of either case and nothing else.
std::optional<std::uint64_t> parse_hex64_strict(WStringView text);

// A value token of a reply: leading white space is skipped, one sign is allowed, at least one
// decimal digit must follow, and parsing stops at the first non-digit. Values beyond 32 bits
// saturate. Answers false, leaving `out` alone, when there is no digit. Works on UTF-16 units
// and on the ASCII bytes of UTF-8 alike.
template<typename Char> bool parse_reply_int(const Char* begin, const Char* end, std::int32_t& out)
{
    const Char* p = begin;
    while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || *p < '0' || *p > '9')
        return false;
    // 2^31: the magnitude of the most negative value.
    constexpr std::int64_t limit = std::int64_t(1) << 31;
    std::int64_t magnitude = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (*p - '0');
    }
    if (negative)
        out = static_cast<std::int32_t>(magnitude > limit ? -limit : -magnitude);
    else
        out = static_cast<std::int32_t>(magnitude >= limit ? limit - 1 : magnitude);
    return true;
}
// A whole decimal 32-bit token in its one canonical spelling: an optional minus sign and
// digits, no leading zero, no "-0".
std::optional<std::int32_t> parse_decimal_strict(WStringView text);

enum class SpaceForm {
    Escaped, // "\x20", as the client's cache has always written spaces
    Plain, // as they are, the service's choice
};

// Appends the text escaped for the reply form: backslash, quote, carriage return and line feed
// as the readers have always expected them, the space as `spaces` says, and a comma as "\x2c"
// only where the closing quote would turn it into a separator of the string list (a text
// ending in quote and comma, or in comma and opening bracket). Readers still take "\x2c".
void append_reply_escaped(WStringView text, WString& out, SpaceForm spaces = SpaceForm::Escaped);

// Undoes the reply escapes in one left-to-right pass: "\\", "\"", "\r", "\n" and "\x" with
// two hexadecimal digits. Any other backslash is kept as it stands. `out` may equal `begin`
// (the result is never longer than the input); answers the end of the written text.
char16_t* unescape_reply_string(const char16_t* begin, const char16_t* end, char16_t* out);

} // namespace corvane
