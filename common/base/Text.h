#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text helpers shared by every subsystem. The program keeps its text as UTF-16; 8-bit text
// appears only in file formats, on the wire (UTF-8) and in a few log appends.
namespace corvane {

using WString = std::u16string;
using WStringView = std::u16string_view;

// Each byte becomes the character of the same number (Latin-1 widening).
WString narrow_to_wide(std::string_view text);

// Converts to the system's 8-bit encoding (UTF-8 here) into at most as many bytes as the text
// has characters; a character that does not fit whole is dropped, never cut in half.
std::string wide_to_narrow(WStringView text);

// Strict conversions used for file names and user text. Unpaired surrogates and malformed
// UTF-8 sequences become U+FFFD.
std::string to_utf8(WStringView text);
WString from_utf8(std::string_view text);

// One UTF-8 sequence of `bytes` at `pos`: the lead byte and the continuation bytes after it, up to
// as many as the lead announces. Valid when they form a whole code point in its shortest form,
// outside the surrogates and below U+110000; `length` is never 0, so a reader always advances.
struct Utf8Sequence {
    char32_t code_point { 0 };
    std::size_t length { 1 };
    bool valid { false };
};
Utf8Sequence read_utf8_sequence(std::string_view bytes, std::size_t pos);
// Appends a code point as UTF-16, as a surrogate pair above U+FFFF.
void append_utf16(WString& out, char32_t code_point);

WString to_wstring(std::int64_t value);
WString to_wstring(std::uint64_t value);
inline WString to_wstring(std::int32_t value)
{
    return to_wstring(static_cast<std::int64_t>(value));
}
inline WString to_wstring(std::uint32_t value)
{
    return to_wstring(static_cast<std::uint64_t>(value));
}

// Lower-cases ASCII letters only; the comparisons that use it work on names and paths.
WString ascii_lower(WStringView text);
std::string ascii_lower(std::string_view text);

} // namespace corvane
