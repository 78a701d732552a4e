#pragma once

#include "device/skin/render/Color.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/render/TextRender.h"
#include "device/skin/skin/Element.h"

#include <cstdint>
#include <vector>

namespace corvane {

class Properties;

// The skin's "halign" / "valign" words; anything else gives Center / VCenter.
HorizontalAlignment parse_horizontal_alignment(WStringView word);
VerticalAlignment parse_vertical_alignment(WStringView word);
// The language's text for a skin text that is one of its keys; any other text unchanged.
WString translate_skin_text(const Properties& properties, WStringView text);

// "text": one line or wrapped lines of text in one font and colour. Main thread.
class TextElement : public Element {
public:
    struct Line {
        std::size_t start { 0 };
        std::size_t length { 0 };
    };

    void load(Properties& properties, const Node& node) override;
    void assign_text(WStringView id, WStringView text) override;
    void draw(RenderSurface& surface, Point origin) override;
    void measure_content_x(MeasuredRange& range) override;
    void measure_content_y(MeasuredRange& range) override;

    const WString& text() const { return m_text; }
    // Each setter does nothing when the value is unchanged.
    virtual void set_text(WStringView text);
    void set_color(Color color);
    void set_font(const Font& font);
    const Font& font() const { return m_font; }
    Color color() const { return m_color; }
    bool wraps() const { return m_wrap; }
    void set_wrap(bool wrap);
    void set_grow(bool grow, bool grow_min);
    void set_ellipsis(bool ellipsis);
    void set_alignment(HorizontalAlignment horizontal, VerticalAlignment vertical);

    // The lines for the current width (wrapping) or the single line, recomputed when stale.
    const std::vector<Line>& lines();
    // Width of the whole text on one line and the font's line height.
    Size single_line_extent();

    // Breaks `text` into lines no wider than `width` where the break rules allow. `extents[i]`
    // is the width of units 0..i on one line. Exposed for tests and for rich text.
    static std::vector<Line> wrap_lines(
        WStringView text, const std::vector<std::int32_t>& extents, std::int32_t width);

    // What the last draw showed: how many lines, and whether it ended in the ellipsis.
    std::size_t drawn_lines() const { return m_drawn_lines; }
    bool drew_ellipsis() const { return m_drew_ellipsis; }
    HorizontalAlignment horizontal_alignment() const { return m_halign; }
    VerticalAlignment vertical_alignment() const { return m_valign; }

protected:
    // Where the lines start when the element is drawn at `origin`: the first line's top, and
    // the left edge of a line `line_width` pixels wide.
    std::int32_t first_line_top(Point origin);
    std::int32_t line_left(Point origin, std::int32_t line_width) const;
    // The text whose glyphs are drawn (the mask in password mode).
    void set_shown_text(WStringView text);
    void invalidate_text();

private:
    void ensure_extent();

    WString m_text;
    Font m_font;
    Color m_color { 0, 0, 0, 255 };
    bool m_grow { false };
    bool m_grow_min { false };
    bool m_wrap { false };
    bool m_ellipsis { false };
    HorizontalAlignment m_halign { HorizontalAlignment::Center };
    VerticalAlignment m_valign { VerticalAlignment::VCenter };
    Size m_extent { -1, -1 };
    std::vector<std::int32_t> m_extents;
    std::vector<Line> m_lines;
    std::int32_t m_lines_width { -1 };
    std::size_t m_drawn_lines { 0 };
    bool m_drew_ellipsis { false };
};

} // namespace corvane
