#include "device/skin/widgets/TextElement.h"

#include "device/skin/lang/LanguageFile.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>

namespace corvane {

HorizontalAlignment parse_horizontal_alignment(WStringView word)
{
    if (word == u"LEFT")
        return HorizontalAlignment::Left;
    if (word == u"RIGHT")
        return HorizontalAlignment::Right;
    if (word == u"JUSTIFY")
        return HorizontalAlignment::Justify;
    return HorizontalAlignment::Center;
}

VerticalAlignment parse_vertical_alignment(WStringView word)
{
    if (word == u"TOP")
        return VerticalAlignment::Top;
    if (word == u"BOTTOM")
        return VerticalAlignment::Bottom;
    return VerticalAlignment::VCenter;
}

WString translate_skin_text(const Properties& properties, WStringView text)
{
    if (text.empty())
        return {};
    return translate(properties, text);
}

void TextElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    const WString& empty = Properties::empty_string();
    m_font = properties.get_font(node, u"font", Properties::no_font());
    m_grow = properties.get_integer(node, u"grow", 0) != 0;
    m_grow_min = properties.get_integer(node, u"grow_min", 0) != 0;
    m_wrap = properties.get_integer(node, u"wrap", 0) != 0;
    m_ellipsis = properties.get_integer(node, u"ellipsis", 0) != 0;
    m_color = properties.get_color(node, u"color", Color { 0, 0, 0, 255 });
    m_halign = parse_horizontal_alignment(properties.get_string(node, u"halign", empty));
    m_valign = parse_vertical_alignment(properties.get_string(node, u"valign", empty));
    m_text.clear();
    invalidate_text();
    set_text(translate_skin_text(properties, properties.get_string(node, u"text", empty)));
    invalidate_measures();
}

void TextElement::assign_text(WStringView id, WStringView text)
{
    if (!id.empty() && id == this->id())
        set_text(text);
    Element::assign_text(id, text);
}

void TextElement::set_text(WStringView text)
{
    set_shown_text(text);
}

void TextElement::set_shown_text(WStringView text)
{
    if (m_text == text)
        return;
    m_text = WString(text);
    invalidate_text();
}

void TextElement::invalidate_text()
{
    m_extent = { -1, -1 };
    m_lines_width = -1;
    m_lines.clear();
    if (m_grow)
        invalidate_measures();
    mark_redraw();
}

void TextElement::set_color(Color color)
{
    if (m_color == color)
        return;
    m_color = color;
    mark_redraw();
}

void TextElement::set_font(const Font& font)
{
    if (m_font == font)
        return;
    m_font = font;
    invalidate_text();
}

void TextElement::set_wrap(bool wrap)
{
    if (m_wrap == wrap)
        return;
    m_wrap = wrap;
    invalidate_text();
}

void TextElement::set_grow(bool grow, bool grow_min)
{
    m_grow = grow;
    m_grow_min = grow_min;
    invalidate_measures();
}

void TextElement::set_ellipsis(bool ellipsis)
{
    m_ellipsis = ellipsis;
    mark_redraw();
}

void TextElement::set_alignment(HorizontalAlignment horizontal, VerticalAlignment vertical)
{
    m_halign = horizontal;
    m_valign = vertical;
    mark_redraw();
}

void TextElement::ensure_extent()
{
    if (m_extent.width != -1 || m_extent.height != -1)
        return;
    m_extents.clear();
    m_extent = text_extent(m_font.get(), m_text, -1, &m_extents);
}

Size TextElement::single_line_extent()
{
    ensure_extent();
    return m_extent;
}

std::vector<TextElement::Line> TextElement::wrap_lines(
    WStringView text, const std::vector<std::int32_t>& extents, std::int32_t width)
{
    auto extent_at = [&](std::ptrdiff_t i) -> std::int32_t {
        if (i < 0 || extents.empty())
            return 0;
        return extents[std::min(static_cast<std::size_t>(i), extents.size() - 1)];
    };
    std::vector<std::ptrdiff_t> breaks { -1 };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] <= u' ' || text[i] == u'\u200B')
            breaks.push_back(static_cast<std::ptrdiff_t>(i));
    }
    breaks.push_back(static_cast<std::ptrdiff_t>(text.size()));

    std::vector<Line> lines;
    std::ptrdiff_t line_start = 0;
    auto end_line = [&](std::ptrdiff_t end, std::ptrdiff_t next_start) {
        lines.push_back(
            { static_cast<std::size_t>(line_start), static_cast<std::size_t>(end - line_start) });
        line_start = next_start;
    };
    for (std::size_t k = 0; k + 1 < breaks.size(); ++k) {
        std::ptrdiff_t here = breaks[k];
        std::ptrdiff_t next = breaks[k + 1];
        for (std::ptrdiff_t c = std::max<std::ptrdiff_t>(here, 0); c < next; ++c) {
            if (text[static_cast<std::size_t>(c)] == u'\n') {
                end_line(c, c + 1);
                continue;
            }
            std::int32_t w = extent_at(c) - extent_at(line_start - 1);
            if (w <= width)
                continue;
            std::int32_t word = extent_at(next - 1) - (here < 0 ? 0 : extent_at(here));
            if (word <= width) {
                if (here > line_start)
                    end_line(here, here + 1);
            } else if (c > line_start) {
                end_line(c, c);
            }
        }
    }
    end_line(static_cast<std::ptrdiff_t>(text.size()), 0);
    return lines;
}

const std::vector<TextElement::Line>& TextElement::lines()
{
    ensure_extent();
    std::int32_t wanted = m_wrap ? width() : -2;
    if (m_lines_width != wanted || m_lines.empty()) {
        if (m_wrap)
            m_lines = wrap_lines(m_text, m_extents, wanted);
        else
            m_lines = { Line { 0, m_text.size() } };
        m_lines_width = wanted;
    }
    return m_lines;
}

void TextElement::measure_content_x(MeasuredRange& range)
{
    if (!m_grow)
        return;
    std::int32_t w = single_line_extent().width;
    range.preferred = std::max(range.preferred, w);
    if (m_grow_min)
        range.minimum = std::max(range.minimum, w);
}

void TextElement::measure_content_y(MeasuredRange& range)
{
    if (!m_grow)
        return;
    std::int32_t h = single_line_extent().height * static_cast<std::int32_t>(lines().size());
    range.preferred = std::max(range.preferred, h);
    if (m_grow_min)
        range.minimum = std::max(range.minimum, h);
}

std::int32_t TextElement::first_line_top(Point origin)
{
    std::int32_t total = single_line_extent().height * static_cast<std::int32_t>(lines().size());
    if (m_valign == VerticalAlignment::VCenter)
        return origin.y + (height() - total) / 2;
    if (m_valign == VerticalAlignment::Bottom)
        return origin.y + height() - total;
    return origin.y;
}

std::int32_t TextElement::line_left(Point origin, std::int32_t line_width) const
{
    if (m_halign == HorizontalAlignment::Center)
        return origin.x + (width() - line_width) / 2;
    if (m_halign == HorizontalAlignment::Right)
        return origin.x + width() - line_width;
    return origin.x;
}

void TextElement::draw(RenderSurface& surface, Point origin)
{
    Element::draw(surface, origin);
    Rect saved = surface.push_clip(origin, size());
    std::int32_t line_height = single_line_extent().height;
    const std::vector<Line>& all = lines();
    std::int32_t top = first_line_top(origin);
    std::int32_t bottom = origin.y + height();
    TextEllipsis ellipsis = m_ellipsis ? TextEllipsis::End : TextEllipsis::None;
    m_drawn_lines = 0;
    m_drew_ellipsis = false;
    for (const Line& line : all) {
        if (top >= bottom)
            break;
        if (m_wrap && m_ellipsis && top + line_height > bottom && line_height > 0) {
            draw_text(m_font.get(), surface, m_color, u"\u2026", origin, size(), m_halign,
                VerticalAlignment::Bottom, TextEllipsis::None);
            m_drew_ellipsis = true;
            break;
        }
        WStringView piece = WStringView(m_text).substr(line.start, line.length);
        draw_text(m_font.get(), surface, m_color, piece, { origin.x, top },
            { width(), line_height }, m_halign, VerticalAlignment::Top, ellipsis);
        top += line_height;
        ++m_drawn_lines;
    }
    surface.pop_clip(saved);
}

} // namespace corvane
