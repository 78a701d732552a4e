#include "common/base/Text.h"

#include <algorithm>

namespace corvane {

WString narrow_to_wide(std::string_view text)
{
    WString out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

namespace {

    void append_utf8(std::string& out, char32_t cp)
    {
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

    // Reads one code point starting at text[i]; advances i. Unpaired surrogates give U+FFFD.
    char32_t next_code_point(WStringView text, std::size_t& i)
    {
        char32_t c = text[i++];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
                char32_t low = text[i++];
                return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
            return 0xFFFD;
        }
        if (c >= 0xDC00 && c <= 0xDFFF)
            return 0xFFFD;
        return c;
    }

} // namespace

std::string wide_to_narrow(WStringView text)
{
    std::string out;
    std::size_t budget = text.size();
    std::size_t i = 0;
    while (i < text.size()) {
        std::string piece;
        append_utf8(piece, next_code_point(text, i));
        if (out.size() + piece.size() > budget)
            break;
        out += piece;
    }
    return out;
}

std::string to_utf8(WStringView text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size())
        append_utf8(out, next_code_point(text, i));
    return out;
}

Utf8Sequence read_utf8_sequence(std::string_view bytes, std::size_t pos)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80)
        return { lead, 1, true };
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0)
        extra = 1, cp = lead & 0x1F, min = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        extra = 2, cp = lead & 0x0F, min = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        extra = 3, cp = lead & 0x07, min = 0x10000;
    else
        return { 0, 1, false };
    std::size_t k = 1;
    for (; k <= extra; ++k) {
        if (pos + k >= bytes.size() || (byte(pos + k) & 0xC0) != 0x80)
            break;
        cp = (cp << 6) | (byte(pos + k) & 0x3F);
    }
    bool valid = k > extra && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    return { cp, k, valid };
}

void append_utf16(WString& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

WString from_utf8(std::string_view text)
{
    WString out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        Utf8Sequence sequence = read_utf8_sequence(text, i);
        append_utf16(out, sequence.valid ? sequence.code_point : 0xFFFD);
        i += sequence.length;
    }
    return out;
}

WString to_wstring(std::int64_t value)
{
    // Negate in unsigned arithmetic so the most negative value does not overflow. The sign is
    // pushed first and the digits appended, rather than prepending to a temporary: g++ 12 at -O3
    // reports a false -Wrestrict on the inlined insert that prepending becomes.
    auto magnitude = static_cast<std::uint64_t>(value);
    WString out;
    if (value < 0) {
        magnitude = static_cast<std::uint64_t>(0) - magnitude;
        out.push_back(u'-');
    }
    out += to_wstring(magnitude);
    return out;
}

WString to_wstring(std::uint64_t value)
{
    char16_t digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    WString out;
    while (n > 0)
        out.push_back(digits[--n]);
    return out;
}

WString ascii_lower(WStringView text)
{
    WString out(text);
    std::transform(out.begin(), out.end(), out.begin(),
        [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; });
    return out;
}

std::string ascii_lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
        [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return out;
}

} // namespace corvane
