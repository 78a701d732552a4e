#pragma once

#include "device/skin/render/Color.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/render/TextRender.h"
#include "device/skin/skin/Element.h"

#include <vector>

namespace corvane {

// One stretch of rich text in one font and colour.
struct TextRun {
    WString text;
    Font font;
    Font link_font;
    Color color { 0, 0, 0, 255 };
    std::uint32_t flag { 0 }; // 1: the run is a link and is drawn in the link font
};

// "richtext": runs of text in their own fonts and colours, flowing as words within the width
// (wrapping when "wrap" is set; a line feed always starts a new line), aligned by "halign" and
// "valign". Main thread.
class RichTextElement : public Element {
public:
    // A piece of one run placed on a line; x is relative to the line's start.
    struct Piece {
        std::size_t run { 0 };
        std::size_t start { 0 };
        std::size_t length { 0 };
        std::int32_t x { 0 };
        std::int32_t width { 0 };
        std::size_t line { 0 };
    };
    struct LineBox {
        std::int32_t width { 0 };
        std::int32_t height { 0 };
        std::int32_t ascent { 0 };
    };

    void load(Properties& properties, const Node& node) override;
    void child_changed(ChildChange change, std::int32_t argument) override;
    void draw(RenderSurface& surface, Point origin) override;
    void measure_content_x(MeasuredRange& range) override;
    void measure_content_y(MeasuredRange& range) override;

    // Without wrap, line feeds in the run become spaces.
    void add_run(TextRun run);
    void clear_runs();
    const std::vector<TextRun>& runs() const { return m_runs; }
    const Font& font() const { return m_font; }
    Color color() const { return m_color; }

    // The flow at a width (-1: unlimited). Cached for the last width asked.
    const std::vector<Piece>& pieces(std::int32_t width);
    const std::vector<LineBox>& line_boxes(std::int32_t width);

private:
    void flow(std::int32_t width);
    const Font& run_font(const TextRun& run) const
    {
        return run.flag & 1 ? run.link_font : run.font;
    }

    bool m_grow { false };
    bool m_wrap { false };
    Font m_font;
    Color m_color { 0, 0, 0, 255 };
    HorizontalAlignment m_halign { HorizontalAlignment::Center };
    VerticalAlignment m_valign { VerticalAlignment::VCenter };
    std::vector<TextRun> m_runs;
    std::vector<Piece> m_pieces;
    std::vector<LineBox> m_lines;
    std::int32_t m_flow_width { -2 };
};

} // namespace corvane
