#include "device/net/HTTPHeaderBlock.h"

namespace corvane {

namespace {

    // Header bytes are widened one to one, so the letters to fold are those of Latin-1.
    char16_t lower_latin1(char16_t c)
    {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            return static_cast<char16_t>(c + 0x20);
        return c;
    }

    bool status_line_is_2xx(WStringView line)
    {
        std::size_t first_space = line.find(u' ');
        if (first_space == WStringView::npos)
            return false;
        std::size_t second_space = line.find(u' ', first_space + 1);
        if (second_space == WStringView::npos)
            return false;
        return first_space + 1 < line.size() && line[first_space + 1] == u'2';
    }

} // namespace

ParsedHeaderBlock parse_header_block(WStringView block)
{
    ParsedHeaderBlock parsed;
    std::size_t end = block.find(u'\0');
    WStringView status = block.substr(0, end);
    parsed.is_2xx = status_line_is_2xx(status);
    while (end != WStringView::npos && end + 1 <= block.size()) {
        std::size_t start = end + 1;
        end = block.find(u'\0', start);
        WStringView line
            = block.substr(start, end == WStringView::npos ? WStringView::npos : end - start);
        std::size_t colon = line.find(u':');
        if (colon == WStringView::npos || colon + 1 >= line.size() || line[colon + 1] != u' ')
            continue;
        ReplyHeader header;
        header.name.reserve(colon);
        for (char16_t c : line.substr(0, colon))
            header.name.push_back(lower_latin1(c));
        header.value = WString(line.substr(colon + 2));
        parsed.headers.push_back(std::move(header));
    }
    return parsed;
}

bool parse_unsigned_decimal(WStringView text, std::uint32_t& value)
{
    if (text.empty())
        return false;
    std::uint64_t result = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + static_cast<std::uint64_t>(c - u'0');
        if (result > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

std::optional<ContentRange> parse_content_range(WStringView value)
{
    constexpr WStringView unit = u"bytes ";
    if (!value.starts_with(unit))
        return std::nullopt;
    value.remove_prefix(unit.size());
    std::size_t dash = value.find(u'-');
    std::size_t slash = value.find(u'/');
    if (dash == WStringView::npos || slash == WStringView::npos || slash < dash)
        return std::nullopt;
    ContentRange range;
    if (!parse_unsigned_decimal(value.substr(0, dash), range.first)
        || !parse_unsigned_decimal(value.substr(dash + 1, slash - dash - 1), range.last)
        || !parse_unsigned_decimal(value.substr(slash + 1), range.length)
        || range.first > range.last)
        return std::nullopt;
    return range;
}

} // namespace corvane
