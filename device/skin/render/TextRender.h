#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Color.h"
#include "device/skin/render/Geometry.h"

#include <cstdint>
#include <vector>

namespace corvane {

class FontRep;
class RenderSurface;

// Values as the skin's "halign" and "valign" words number them.
enum class HorizontalAlignment { Left = 0, Center = 1, Right = 2, Justify = 3 };
enum class VerticalAlignment { Top = 0, VCenter = 1, Bottom = 2 };
enum class TextEllipsis { None, End };

// Width of the text on one line and the font's line height. When `extents` is given it receives,
// for every UTF-16 unit i, the width of units 0..i (both units of a surrogate pair get the
// pair's end). `max_width` (-1: none) does not change the answer; it is accepted so callers can
// state the box they fit. A null font measures with the default font.
Size text_extent(const FontRep* font, WStringView text, std::int32_t max_width = -1,
    std::vector<std::int32_t>* extents = nullptr);

// Draws one line of text in `color` into the box (origin, size) of the target, aligned in the
// box (Justify aligns left), clipped to the box, the target's clip and its bounds. With
// TextEllipsis::End a text wider than the box is cut after its last whole word that fits (or
// inside a first word too long for the box) and ends in "...". Every pixel the text
// changes gets the opaque bit, so text drawn into a transparent render cache stays visible.
// Nothing happens for an empty text or a target without a surface.
void draw_text(const FontRep* font, RenderSurface& target, Color color, WStringView text,
    Point origin, Size size, HorizontalAlignment horizontal, VerticalAlignment vertical,
    TextEllipsis ellipsis);

// The text that draw_text would show in a box `width` pixels wide (for tests and measuring).
WString fit_text_with_ellipsis(const FontRep* font, WStringView text, std::int32_t width);

} // namespace corvane
