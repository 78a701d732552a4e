#include "device/skin/widgets/RichTextElement.h"

#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/TextElement.h"

#include <algorithm>

namespace corvane {

void RichTextElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    const WString& empty = Properties::empty_string();
    m_grow = properties.get_integer(node, u"grow", 0) != 0;
    m_wrap = properties.get_integer(node, u"wrap", 0) != 0;
    m_font = properties.get_font(node, u"font", Properties::no_font());
    m_color = properties.get_color(node, u"color", Color { 0, 0, 0, 255 });
    m_halign = parse_horizontal_alignment(properties.get_string(node, u"halign", empty));
    m_valign = parse_vertical_alignment(properties.get_string(node, u"valign", empty));
    m_runs.clear();
    WString text = translate_skin_text(properties, properties.get_string(node, u"text", empty));
    if (!text.empty())
        add_run({ text, m_font, m_font, m_color, 0 });
    m_flow_width = -2;
}

void RichTextElement::add_run(TextRun run)
{
    if (!m_wrap)
        std::replace(run.text.begin(), run.text.end(), u'\n', u' ');
    m_runs.push_back(std::move(run));
    m_flow_width = -2;
    invalidate_measures();
    mark_redraw();
}

void RichTextElement::clear_runs()
{
    m_runs.clear();
    m_flow_width = -2;
    invalidate_measures();
    mark_redraw();
}

void RichTextElement::child_changed(ChildChange, std::int32_t)
{
    invalidate_measures();
}

void RichTextElement::flow(std::int32_t width)
{
    m_pieces.clear();
    m_lines.assign(1, LineBox {});
    std::int32_t pen = 0;
    auto fit_line_metrics = [&](const FontRep* font) {
        Size one = text_extent(font, u"");
        std::int32_t ascent = font ? font->ascent() : one.height;
        LineBox& box = m_lines.back();
        box.height = std::max(box.height, one.height);
        box.ascent = std::max(box.ascent, ascent);
    };
    auto new_line = [&] {
        m_lines.back().width = pen;
        m_lines.push_back({});
        pen = 0;
    };
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        const TextRun& run = m_runs[r];
        const FontRep* font = run_font(run).get();
        std::vector<std::int32_t> extents;
        text_extent(font, run.text, -1, &extents);
        auto width_of = [&](std::size_t from, std::size_t to) {
            auto at = [&](std::size_t end) { return end == 0 ? 0 : extents[end - 1]; };
            return at(to) - at(from);
        };
        fit_line_metrics(font);
        std::size_t i = 0;
        while (i < run.text.size()) {
            if (run.text[i] == u'\n') {
                new_line();
                fit_line_metrics(font);
                ++i;
                continue;
            }
            // A word with the spaces that follow it; the spaces may hang past the width.
            std::size_t end = i;
            while (end < run.text.size() && run.text[end] > u' ')
                ++end;
            std::size_t word_end = end;
            while (end < run.text.size() && run.text[end] <= u' ' && run.text[end] != u'\n')
                ++end;
            std::int32_t word = width_of(i, word_end);
            if (m_wrap && width >= 0 && pen > 0 && pen + word > width) {
                new_line();
                fit_line_metrics(font);
            }
            // A word wider than a whole line is cut where it overflows.
            std::size_t cut = word_end;
            if (m_wrap && width >= 0 && pen == 0 && word > width) {
                cut = i + 1;
                while (cut < word_end && width_of(i, cut + 1) <= width)
                    ++cut;
                end = cut;
            }
            std::int32_t piece_width = width_of(i, end);
            m_pieces.push_back({ r, i, end - i, pen, piece_width, m_lines.size() - 1 });
            pen += piece_width;
            m_lines.back().width = std::max(m_lines.back().width, pen - (width_of(cut, end)));
            if (cut < word_end)
                new_line(), fit_line_metrics(font);
            i = end;
        }
    }
    m_lines.back().width = std::max(m_lines.back().width, 0);
    m_flow_width = width;
}

const std::vector<RichTextElement::Piece>& RichTextElement::pieces(std::int32_t width)
{
    if (m_flow_width != width)
        flow(width);
    return m_pieces;
}

const std::vector<RichTextElement::LineBox>& RichTextElement::line_boxes(std::int32_t width)
{
    if (m_flow_width != width)
        flow(width);
    return m_lines;
}

void RichTextElement::measure_content_x(MeasuredRange& range)
{
    if (!m_grow)
        return;
    std::int32_t widest = 0;
    for (const LineBox& line : line_boxes(-1))
        widest = std::max(widest, line.width);
    range.preferred = std::max(range.preferred, widest);
}

void RichTextElement::measure_content_y(MeasuredRange& range)
{
    if (!m_grow)
        return;
    std::int32_t total = 0;
    for (const LineBox& line : line_boxes(m_wrap ? width() : -1))
        total += line.height;
    range.preferred = std::max(range.preferred, total);
    range.minimum = std::max(range.minimum, total);
}

void RichTextElement::draw(RenderSurface& surface, Point origin)
{
    Rect saved = surface.push_clip(origin, size());
    Element::draw(surface, origin);
    std::int32_t flow_width = m_wrap ? width() : -1;
    const std::vector<LineBox>& lines = line_boxes(flow_width);
    const std::vector<Piece>& all = pieces(flow_width);
    std::int32_t total = 0;
    for (const LineBox& line : lines)
        total += line.height;
    std::int32_t top = origin.y;
    if (m_valign == VerticalAlignment::VCenter)
        top += (height() - total) / 2;
    else if (m_valign == VerticalAlignment::Bottom)
        top += height() - total;
    std::vector<std::int32_t> line_tops;
    for (const LineBox& line : lines) {
        line_tops.push_back(top);
        top += line.height;
    }
    for (const Piece& piece : all) {
        const TextRun& run = m_runs[piece.run];
        const LineBox& line = lines[piece.line];
        std::int32_t left = origin.x;
        if (m_halign == HorizontalAlignment::Center)
            left += (width() - line.width) / 2;
        else if (m_halign == HorizontalAlignment::Right)
            left += width() - line.width;
        const FontRep* font = run_font(run).get();
        std::int32_t ascent = font ? font->ascent() : line.ascent;
        std::int32_t height = font ? font->height() : line.height;
        // Pieces of different fonts share the line's baseline.
        Point at { left + piece.x, line_tops[piece.line] + line.ascent - ascent };
        draw_text(font, surface, run.color, WStringView(run.text).substr(piece.start, piece.length),
            at, { piece.width + 1, height }, HorizontalAlignment::Left, VerticalAlignment::Top,
            TextEllipsis::None);
    }
    surface.pop_clip(saved);
}

} // namespace corvane
