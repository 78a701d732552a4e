#include "common/wire/WireText.h"

#include <limits>

namespace corvane {

namespace {

    int hex_digit_value(char16_t c)
    {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    }

} // namespace

void append_hex64(std::uint64_t value, WString& out)
{
    static constexpr char16_t digits[] = u"0123456789abcdef";
    char16_t text[16];
    int length = 0;
    do {
        text[15 - length++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    out.append(text + 16 - length, text + 16);
}

WString format_hex64(std::int64_t value)
{
    WString out;
    append_hex64(static_cast<std::uint64_t>(value), out);
    return out;
}

std::uint64_t parse_hex64_lenient(WStringView text)
{
    std::uint64_t value = 0;
    for (char16_t c : text) {
        int digit = hex_digit_value(c);
        if (digit < 0)
            break;
        if (value > (std::numeric_limits<std::uint64_t>::max() >> 4))
            return std::numeric_limits<std::uint64_t>::max();
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::optional<std::uint64_t> parse_hex64_strict(WStringView text)
{
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char16_t c : text) {
        int digit = hex_digit_value(c);
        if (digit < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::optional<std::int32_t> parse_decimal_strict(WStringView text)
{
    std::size_t at = 0;
    bool negative = false;
    if (!text.empty() && text[0] == u'-') {
        negative = true;
        at = 1;
    }
    if (at == text.size() || text.size() - at > 10)
        return std::nullopt;
    // One spelling per value, as every writer produces it: "-0" and "01" are not it.
    if (text[at] == u'0' && (negative || text.size() - at > 1))
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (; at < text.size(); ++at) {
        char16_t c = text[at];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min()
        || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// A comma needs an escape only where the closing quote would complete a separator of the
// reply form: after a quote at the very end (quote, comma, quote) or before a final opening
// bracket (comma, bracket, quote). Anywhere else the quotes around it are escaped, so the
// split cannot meet it, and ordinary text such as "Milk, bread" goes out as it is.
static bool comma_needs_escape(WStringView text, std::size_t at)
{
    std::size_t size = text.size();
    if (at + 1 == size)
        return at > 0 && text[at - 1] == u'"';
    return at + 2 == size && text[at + 1] == u'[';
}

void append_reply_escaped(WStringView text, WString& out, SpaceForm spaces)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        char16_t c = text[at];
        switch (c) {
        case u'\\':
            out.append(u"\\\\");
            break;
        case u'"':
            out.append(u"\\\"");
            break;
        case u' ':
            if (spaces == SpaceForm::Escaped)
                out.append(u"\\x20");
            else
                out.push_back(c);
            break;
        case u'\r':
            out.append(u"\\r");
            break;
        case u'\n':
            out.append(u"\\n");
            break;
        case u',':
            if (comma_needs_escape(text, at))
                out.append(u"\\x2c");
            else
                out.push_back(c);
            break;
        default:
            out.push_back(c);
        }
    }
}

char16_t* unescape_reply_string(const char16_t* begin, const char16_t* end, char16_t* out)
{
    const char16_t* p = begin;
    while (p != end) {
        char16_t c = *p;
        if (c != u'\\' || end - p < 2) {
            *out++ = c;
            ++p;
            continue;
        }
        char16_t next = p[1];
        if (next == u'\\' || next == u'"') {
            *out++ = next;
            p += 2;
        } else if (next == u'r') {
            *out++ = u'\r';
            p += 2;
        } else if (next == u'n') {
            *out++ = u'\n';
            p += 2;
        } else if (next == u'x' && end - p >= 4 && hex_digit_value(p[2]) >= 0
            && hex_digit_value(p[3]) >= 0) {
            *out++ = static_cast<char16_t>(hex_digit_value(p[2]) * 16 + hex_digit_value(p[3]));
            p += 4;
        } else {
            *out++ = c;
            ++p;
        }
    }
    return out;
}

} // namespace corvane
