#include "device/skin/skin/FontDescriptionParser.h"

#include <limits>
#include <optional>

namespace corvane {

namespace {

    bool is_space(char16_t c)
    {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
    }

    void skip_spaces(WStringView text, std::size_t& at)
    {
        while (at < text.size() && is_space(text[at]))
            ++at;
    }

    // Saturates instead of overflowing: a hostile size must not be undefined behaviour.
    std::optional<std::int32_t> read_integer(WStringView text, std::size_t& at)
    {
        std::size_t p = at;
        skip_spaces(text, p);
        bool negative = false;
        if (p < text.size() && (text[p] == u'+' || text[p] == u'-'))
            negative = text[p++] == u'-';
        if (p >= text.size() || text[p] < u'0' || text[p] > u'9')
            return std::nullopt;
        std::int64_t value = 0;
        while (p < text.size() && text[p] >= u'0' && text[p] <= u'9') {
            value = value * 10 + (text[p++] - u'0');
            if (value > std::numeric_limits<std::int32_t>::max())
                value = std::numeric_limits<std::int32_t>::max();
        }
        at = p;
        return static_cast<std::int32_t>(negative ? -value : value);
    }

} // namespace

FontDescription parse_font_description(WStringView text, std::int32_t multiplier)
{
    FontDescription description;
    description.multiplier = multiplier;
    std::size_t at = 0;
    auto size = read_integer(text, at);
    if (!size)
        return description;
    description.size = *size;
    bool* flags[] = { &description.bold, &description.italic, &description.underline };
    for (bool* flag : flags) {
        auto value = read_integer(text, at);
        if (!value)
            return description;
        *flag = *value != 0;
    }
    skip_spaces(text, at);
    description.face = WString(text.substr(at));
    return description;
}

} // namespace corvane
