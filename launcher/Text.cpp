#include "launcher/Text.h"

#include "common/base/Text.h"

#include <array>
#include <cstdint>

namespace lumbra {

namespace {

    // Windows-1252 characters 0x80..0x9F; the undefined ones keep their C1 control value.
    constexpr std::array<char16_t, 32> s_cp1252_high = {
        0x20AC,
        0x0081,
        0x201A,
        0x0192,
        0x201E,
        0x2026,
        0x2020,
        0x2021, //
        0x02C6,
        0x2030,
        0x0160,
        0x2039,
        0x0152,
        0x008D,
        0x017D,
        0x008F, //
        0x0090,
        0x2018,
        0x2019,
        0x201C,
        0x201D,
        0x2022,
        0x2013,
        0x2014, //
        0x02DC,
        0x2122,
        0x0161,
        0x203A,
        0x0153,
        0x009D,
        0x017E,
        0x0178,
    };

    char16_t cp1252_char(unsigned char byte)
    {
        if (byte >= 0x80 && byte < 0xA0)
            return s_cp1252_high[byte - 0x80];
        return byte;
    }

} // namespace

std::u16string decode_ansi(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        corvane::Utf8Sequence sequence = corvane::read_utf8_sequence(bytes, pos);
        if (sequence.valid) {
            corvane::append_utf16(out, sequence.code_point);
            pos += sequence.length;
        } else {
            out.push_back(cp1252_char(static_cast<unsigned char>(bytes[pos])));
            ++pos;
        }
    }
    return out;
}

std::string to_utf8(std::u16string_view text)
{
    return corvane::to_utf8(text);
}

char16_t fold_case(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    // Latin Extended-A pairs capital and small letters, even/odd except in 0x139..0x148 and
    // 0x179..0x17E where the capital is odd; 0x130, 0x131 and 0x138 have no simple pair.
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if (c == 0x178)
            return 0xFF;
        bool capital_is_odd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool is_odd = (c & 1) != 0;
        return is_odd == capital_is_odd ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c & 1) ? c : c + 1;
    return c;
}

std::size_t find_ignoring_case(
    std::u16string_view text, std::u16string_view pattern, std::size_t from)
{
    if (from > text.size() || pattern.size() > text.size() - from)
        return std::u16string_view::npos;
    for (std::size_t start = from; start + pattern.size() <= text.size(); ++start) {
        std::size_t i = 0;
        while (i < pattern.size() && fold_case(text[start + i]) == fold_case(pattern[i]))
            ++i;
        if (i == pattern.size())
            return start;
    }
    return std::u16string_view::npos;
}

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && find_ignoring_case(a, b) == 0;
}

} // namespace lumbra
