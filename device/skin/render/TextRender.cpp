#include "device/skin/render/TextRender.h"

#include "device/platform/FontEngine.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/render/RenderSurface.h"

#include <algorithm>

namespace corvane {

namespace {

    constexpr char16_t ellipsis_text[] = u"...";

    const FontRep& font_or_default(const FontRep* font)
    {
        if (font)
            return *font;
        static const Font fallback = create_font(FontDescription {});
        return *fallback;
    }

    // Calls f(code point, index of its first unit, number of units) for each character; a lone
    // surrogate stands for itself.
    template<typename F> void for_each_char(WStringView text, F&& f)
    {
        for (std::size_t i = 0; i < text.size();) {
            char32_t c = text[i];
            std::size_t units = 1;
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00
                && text[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                units = 2;
            }
            f(c, i, units);
            i += units;
        }
    }

    std::int32_t width_of(const FontRep& font, WStringView text)
    {
        std::int32_t width = 0;
        for_each_char(
            text, [&](char32_t c, std::size_t, std::size_t) { width += font.advance(c); });
        return width;
    }

    // The scratch surface shared by every text draw; it only grows and lives until exit.
    Surface* scratch_for(Size size)
    {
        static std::unique_ptr<Surface> scratch;
        if (!scratch || scratch->width() < size.width || scratch->height() < size.height) {
            std::int32_t width = std::max(size.width, scratch ? scratch->width() : 0);
            std::int32_t height = std::max(size.height, scratch ? scratch->height() : 0);
            scratch.reset();
            scratch = Surface::allocate(width, height);
        }
        return scratch.get();
    }

    // Lays the coverage of one glyph over the scratch pixels in the colour. `area` is the part of
    // the scratch that is drawn; (x, y) is the glyph bitmap's top-left in scratch coordinates.
    void blend_glyph(Surface& scratch, Size area, const GlyphImage& glyph, std::int32_t x,
        std::int32_t y, Color color)
    {
        std::int32_t x0 = std::max(0, x);
        std::int32_t y0 = std::max(0, y);
        std::int32_t x1 = std::min(area.width, x + glyph.width);
        std::int32_t y1 = std::min(area.height, y + glyph.height);
        std::int32_t cr = color.red & 0xF8, cg = color.green & 0xFC, cb = color.blue & 0xF8;
        for (std::int32_t py = y0; py < y1; ++py) {
            const std::uint8_t* coverage
                = glyph.coverage.data() + std::size_t(py - y) * std::size_t(glyph.width);
            Pixel* out = scratch.row(py);
            for (std::int32_t px = x0; px < x1; ++px) {
                std::int32_t a = coverage[px - x];
                if (a == 0)
                    continue;
                Pixel d = out[px];
                if (a == 255) {
                    out[px] = pack_565(unsigned(cr), unsigned(cg), unsigned(cb));
                    continue;
                }
                std::int32_t r = red_of(d) + (cr - red_of(d)) * a / 255;
                std::int32_t g = green_of(d) + (cg - green_of(d)) * a / 255;
                std::int32_t b = blue_of(d) + (cb - blue_of(d)) * a / 255;
                out[px] = pack_565(unsigned(r), unsigned(g), unsigned(b));
            }
        }
    }

} // namespace

Size text_extent(
    const FontRep* font, WStringView text, std::int32_t, std::vector<std::int32_t>* extents)
{
    const FontRep& f = font_or_default(font);
    std::int32_t width = 0;
    if (extents)
        extents->assign(text.size(), 0);
    for_each_char(text, [&](char32_t c, std::size_t index, std::size_t units) {
        width += f.advance(c);
        if (extents) {
            for (std::size_t k = 0; k < units; ++k)
                (*extents)[index + k] = width;
        }
    });
    return { width, f.height() };
}

WString fit_text_with_ellipsis(const FontRep* font, WStringView text, std::int32_t width)
{
    const FontRep& f = font_or_default(font);
    if (width_of(f, text) <= width)
        return WString(text);
    std::int32_t room = width - width_of(f, ellipsis_text);
    std::size_t keep = 0;
    std::int32_t used = 0;
    bool full = false;
    for_each_char(text, [&](char32_t c, std::size_t index, std::size_t units) {
        if (full)
            return;
        std::int32_t next = used + f.advance(c);
        if (next > room) {
            full = true;
            return;
        }
        used = next;
        keep = index + units;
    });
    // Whole words only: a cut inside a word goes back to the last space before it. A first
    // word that does not fit alone is cut where the room ends, so something of it shows.
    if (keep < text.size() && text[keep] != u' ') {
        std::size_t space = text.substr(0, keep).find_last_of(u' ');
        if (space != WStringView::npos)
            keep = space;
    }
    while (keep > 0 && text[keep - 1] == u' ')
        --keep;
    return WString(text.substr(0, keep)) + ellipsis_text;
}

void draw_text(const FontRep* font, RenderSurface& target, Color color, WStringView text,
    Point origin, Size size, HorizontalAlignment horizontal, VerticalAlignment vertical,
    TextEllipsis ellipsis)
{
    Surface* surface = target.surface();
    if (!surface || text.empty() || size.is_empty())
        return;
    const FontRep& f = font_or_default(font);
    Rect box = Rect::from(origin, size);
    Rect visible = box.intersected(target.clip()).intersected(surface->bounds());
    if (visible.is_empty())
        return;

    WString shown = ellipsis == TextEllipsis::End ? fit_text_with_ellipsis(&f, text, size.width)
                                                  : WString(text);
    std::int32_t text_width = width_of(f, shown);
    std::int32_t x = 0;
    if (horizontal == HorizontalAlignment::Center)
        x = (size.width - text_width) / 2;
    else if (horizontal == HorizontalAlignment::Right)
        x = size.width - text_width;
    std::int32_t y = 0;
    if (vertical == VerticalAlignment::VCenter)
        y = (size.height - f.height()) / 2;
    else if (vertical == VerticalAlignment::Bottom)
        y = size.height - f.height();

    // The text goes onto a copy of the pixels under the visible part of the box; copying it
    // back through the text-merge blender marks every changed pixel opaque.
    Size area { visible.width(), visible.height() };
    Surface* scratch = scratch_for(area);
    if (!scratch)
        return;
    RenderSurface scratch_target(*scratch);
    scratch_target.blit(
        { 0, 0 }, area, *surface, { visible.min_x, visible.min_y }, plain_copy_blender());

    // Pen positions relative to the scratch, whose (0, 0) is the visible corner of the box.
    std::int32_t pen = origin.x + x - visible.min_x;
    std::int32_t baseline = origin.y + y + f.ascent() - visible.min_y;
    std::int32_t pen_start = pen;
    for_each_char(shown, [&](char32_t c, std::size_t, std::size_t) {
        const GlyphImage& glyph = f.glyph(c);
        if (!glyph.coverage.empty())
            blend_glyph(*scratch, area, glyph, pen + glyph.left, baseline - glyph.top, color);
        pen += glyph.advance;
    });
    if (f.description().underline && pen > pen_start) {
        Rect line = Rect { pen_start, baseline + f.underline_offset(), pen,
            baseline + f.underline_offset() + f.underline_thickness() }
                        .intersected({ 0, 0, area.width, area.height });
        scratch_target.fill_color(
            { line.min_x, line.min_y }, { line.width(), line.height() }, color);
    }
    target.blit({ visible.min_x, visible.min_y }, area, *scratch, { 0, 0 }, text_merge_blender());
}

} // namespace corvane
