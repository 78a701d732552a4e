#include "server/Validation.h"

namespace corvane::server {

static bool is_space_or_control(char16_t c)
{
    return c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xA0 || c == 0x2028
        || c == 0x2029 || c == 0x3000 || c == 0xFEFF || (c >= 0x2000 && c <= 0x200B);
}

Text trim_text(const Text& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_space_or_control(text[begin]))
        ++begin;
    while (end > begin && is_space_or_control(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

Text normalise_address(const Text& text)
{
    Text out = trim_text(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
    return out;
}

bool is_valid_address(const Text& address)
{
    if (address.empty() || address.size() > 254)
        return false;
    std::size_t at = address.find(u'@');
    if (at == Text::npos || at == 0 || at + 1 == address.size())
        return false;
    if (address.find(u'@', at + 1) != Text::npos)
        return false;
    for (char16_t c : address)
        if (is_space_or_control(c))
            return false;
    return true;
}

bool is_valid_name(const Text& name)
{
    if (name.size() > 100)
        return false;
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

Text trim_controls(const Text& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] < 0x20)
        ++begin;
    while (end > begin && text[end - 1] < 0x20)
        --end;
    return text.substr(begin, end - begin);
}

bool is_hex_key(const Text& text, std::size_t digits)
{
    if (text.size() != digits)
        return false;
    for (char16_t c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}

} // namespace corvane::server
