#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text helpers for the launcher. Settings texts are UTF-16, as the files they come from may
// be; everything handed to the operating system is UTF-8. All functions are pure and may be
// called from any thread.
namespace lumbra {

// Decodes UTF-8. A byte that does not start a valid sequence is taken as a Windows-1252
// character, so a file written in the old Western code page still reads sensibly and no byte
// is dropped.
std::u16string decode_ansi(std::string_view bytes);

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string to_utf8(std::u16string_view text);

// Shorthand for text that is known to be UTF-8 (paths, literals).
inline std::u16string from_utf8(std::string_view text)
{
    return decode_ansi(text);
}

// Simple one-to-one lower-casing for Latin, Greek and Cyrillic letters; other characters are
// returned unchanged.
char16_t fold_case(char16_t c);

// First position at or after `from` where `pattern` occurs, comparing with fold_case;
// std::u16string_view::npos when there is none.
std::size_t find_ignoring_case(
    std::u16string_view text, std::u16string_view pattern, std::size_t from = 0);

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b);

} // namespace lumbra
