#include "launcher/Text.h"

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

    void append_code_point(std::u16string& out, char32_t cp)
    {
        if (cp < 0x10000) {
            out.push_back(static_cast<char16_t>(cp));
            return;
        }
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }

    // Length of the valid UTF-8 sequence starting at `pos` and its code point; 0 when the bytes
    // there are not one (overlong forms and surrogates included).
    std::size_t utf8_sequence(std::string_view bytes, std::size_t pos, char32_t& cp)
    {
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        unsigned char lead = byte(pos);
        std::size_t length;
        char32_t minimum;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, cp = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, cp = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, cp = lead & 0x07, minimum = 0x10000;
        } else {
            return 0;
        }
        if (bytes.size() - pos < length)
            return 0;
        for (std::size_t i = 1; i < length; ++i) {
            unsigned char next = byte(pos + i);
            if ((next & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        return length;
    }

} // namespace

std::u16string decode_ansi(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            out.push_back(byte);
            ++pos;
            continue;
        }
        char32_t cp = 0;
        if (std::size_t length = utf8_sequence(bytes, pos, cp)) {
            append_code_point(out, cp);
            pos += length;
        } else {
            out.push_back(cp1252_char(byte));
            ++pos;
        }
    }
    return out;
}

std::string to_utf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
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
