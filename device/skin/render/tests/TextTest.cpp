#include "device/skin/render/FontRep.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/TextRender.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

using namespace corvane;
using test::make_render_surface;

namespace {

FontDescription dejavu(std::int32_t size, bool bold = false)
{
    FontDescription d;
    d.size = size;
    d.bold = bold;
    d.face = u"DejaVu Sans";
    return d;
}

constexpr Pixel background = 0x0000;
const Color white { 255, 255, 255, 255 };

void draw(const FontRep& font, RenderSurface& target, WStringView text, Point at, Size box,
    HorizontalAlignment h = HorizontalAlignment::Left, VerticalAlignment v = VerticalAlignment::Top,
    TextEllipsis ellipsis = TextEllipsis::None, Color color = white)
{
    draw_text(&font, target, color, text, at, box, h, v, ellipsis);
}

} // namespace

// Sizes below 20 come from a table, larger ones from n * 96 / 72 (truncated); the multiplier
// scales the size first. "Tahoma" resolves to an installed face whose metrics fit a 16-pixel em,
// and creation is logged.
TEST(Fonts, logical_height_and_the_default_face)
{
    for (auto [size, height] : { std::pair { 0, 0 }, { 1, -1 }, { 2, -3 }, { 12, -16 }, { 19, -25 },
             { 20, -26 }, { 21, -28 }, { 100, -133 }, { -3, 4 } })
        EXPECT_EQ(font_logical_height(size), height) << size;

    test::TestEnvironment env;
    env.enable_log();
    FontDescription ten_doubled;
    ten_doubled.size = 10;
    ten_doubled.multiplier = 2;
    EXPECT_EQ(FontRep(ten_doubled).logical_height(), -26);
    FontRep font(FontDescription {});
    EXPECT_EQ(font.logical_height(), -16);
    ASSERT_TRUE(font.has_face());
    EXPECT_FALSE(font.face_name().empty());
    EXPECT_GE(font.height(), 16);
    EXPECT_LE(font.height(), 24);
    EXPECT_GT(font.descent(), 0);
    EXPECT_LT(font.descent(), font.height() / 2);
    EXPECT_EQ(font.internal_leading(), font.height() - 16);
    EXPECT_NE(test::read_log().find(u"Creating font: {Tahoma} elapsed="), std::u16string::npos);
}

// The extent is the sum of advances, per-character extents are cumulative (a surrogate pair's
// two units share the pair's end) and the height is the font's line height. Measuring or
// drawing the same characters again renders no glyph anew.
TEST(Text, extents_and_the_glyph_cache)
{
    FontRep font(dejavu(12));
    std::vector<std::int32_t> extents;
    Size size = text_extent(&font, u"Hello", -1, &extents);
    ASSERT_EQ(extents.size(), 5u);
    EXPECT_EQ(size.height, font.height());
    EXPECT_EQ(extents.back(), size.width);
    EXPECT_EQ(extents[0], font.advance(U'H'));
    for (std::size_t i = 1; i < extents.size(); ++i)
        EXPECT_GT(extents[i], extents[i - 1]);
    EXPECT_EQ(text_extent(&font, u"He").width, extents[1]);
    EXPECT_EQ(text_extent(&font, u"").width, 0);
    text_extent(&font, u"a\U0001F600b", -1, &extents);
    ASSERT_EQ(extents.size(), 4u);
    EXPECT_EQ(extents[1], extents[2]);
    EXPECT_GT(extents[3], extents[2]);
    FontRep bold(dejavu(12, true));
    EXPECT_GE(text_extent(&bold, u"Hello").width, size.width);

    FontRep cached(dejavu(11));
    text_extent(&cached, u"cache me");
    std::uint64_t rendered = cached.rendered_glyph_count();
    EXPECT_EQ(rendered, 6u); // c a h e space m: "c" and "e" repeat
    text_extent(&cached, u"me cache");
    draw(cached, *make_render_surface(100, 20, background), u"cache me", { 0, 0 }, { 100, 20 });
    EXPECT_EQ(cached.rendered_glyph_count(), rendered);
    text_extent(&cached, u"x");
    EXPECT_EQ(cached.rendered_glyph_count(), rendered + 1);
}

// A text that fits is left alone; one that does not is cut after its last whole word that fits
// with "..." in the box; a first word too long for the box alone is cut inside.
TEST(Text, end_ellipsis_fits_the_box)
{
    FontRep font(dejavu(12));
    std::u16string text = u"A rather long task title that cannot fit";
    std::int32_t full = text_extent(&font, text).width;
    EXPECT_EQ(fit_text_with_ellipsis(&font, text, full), text);
    for (std::int32_t width : { full - 1, full / 2, text_extent(&font, u"A rath...").width }) {
        std::u16string shown = fit_text_with_ellipsis(&font, text, width);
        ASSERT_GE(shown.size(), 4u);
        std::u16string kept = shown.substr(0, shown.size() - 3);
        EXPECT_EQ(shown.substr(shown.size() - 3), u"...");
        EXPECT_LE(text_extent(&font, shown).width, width);
        EXPECT_EQ(text.substr(0, kept.size()), kept);
        EXPECT_NE(kept.back(), u' ');
        EXPECT_EQ(text[kept.size()], u' ') << "cut inside a word";
        // The next word would not have fitted.
        std::u16string longer = text.substr(0, text.find(u' ', kept.size() + 1)) + u"...";
        EXPECT_GT(text_extent(&font, longer).width, width);
    }
    std::u16string word = u"Uncuttablewordwithoutspaces";
    std::u16string cut = fit_text_with_ellipsis(&font, word, text_extent(&font, word).width / 2);
    EXPECT_GT(cut.size(), 3u);
    EXPECT_EQ(word.substr(0, cut.size() - 3) + u"...", cut);
    EXPECT_EQ(fit_text_with_ellipsis(&font, text, 1), u"...");

    // Drawn with the flag, the text stays inside its box, right-aligned up to its edge.
    auto target = make_render_surface(200, 30, background);
    draw(font, *target, text, { 10, 5 }, { 80, 20 }, HorizontalAlignment::Right,
        VerticalAlignment::Top, TextEllipsis::End);
    Rect drawn = test::changed_bounds(*target->surface(), background);
    EXPECT_GE(drawn.min_x, 10);
    EXPECT_LE(drawn.max_x, 90);
    EXPECT_GE(drawn.max_x, 84);
}

// Horizontal and vertical alignment place the ink where the box says; Justify is Left.
TEST(Text, alignment_places_the_line_in_its_box)
{
    FontRep font(dejavu(12));
    std::int32_t width = text_extent(&font, u"Mmm").width;
    auto target = make_render_surface(120, 60, background);
    auto ink = [&](HorizontalAlignment h, VerticalAlignment v) {
        target->surface()->clear(background);
        draw(font, *target, u"Mmm", { 10, 5 }, { 100, 50 }, h, v);
        return test::changed_bounds(*target->surface(), background);
    };
    using H = HorizontalAlignment;
    using V = VerticalAlignment;
    Rect left = ink(H::Left, V::Top);
    EXPECT_EQ(ink(H::Justify, V::Top), left);
    EXPECT_EQ(ink(H::Center, V::Top).min_x - left.min_x, (100 - width) / 2);
    EXPECT_EQ(ink(H::Right, V::Top).min_x - left.min_x, 100 - width);
    EXPECT_GE(left.min_x, 10);
    EXPECT_LE(left.min_x, 12);
    EXPECT_EQ(ink(H::Left, V::VCenter).min_y - left.min_y, (50 - font.height()) / 2);
    EXPECT_EQ(ink(H::Left, V::Bottom).min_y - left.min_y, 50 - font.height());
    // The baseline sits ascent below the line's top: "Mmm" has no descender.
    EXPECT_EQ(left.max_y, 5 + font.ascent());
    EXPECT_GE(left.min_y, 5);
}

// Every pixel the text changes is opaque, so text drawn into a transparent render cache
// survives the colour key. Characters the face lacks come from another installed face with
// outlines: emoji are drawn as themselves, not as the box of a character no face has.
TEST(Text, ink_is_opaque_and_missing_characters_fall_back)
{
    FontRep font(dejavu(12));
    auto cache = make_render_surface(80, 20, transparent_pixel);
    draw(font, *cache, u"Opaque", { 0, 0 }, { 80, 20 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None, { 0, 0, 0, 255 });
    int changed = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x) {
            Pixel p = cache->surface()->pixel(x, y);
            changed += p != transparent_pixel;
            EXPECT_TRUE(p == transparent_pixel || (p & opaque_bit)) << x << "," << y;
        }
    EXPECT_GT(changed, 20);

    FontRep large(dejavu(16));
    auto ink = [&](WStringView text) {
        auto surface = make_render_surface(40, 30, background);
        draw(large, *surface, text, { 0, 0 }, { 40, 30 });
        std::vector<Pixel> pixels;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                pixels.push_back(surface->surface()->pixel(x, y));
        return pixels;
    };
    std::vector<Pixel> nowhere = ink(u"\U0010FFFD");
    std::vector<Pixel> party = ink(u"\U0001F389");
    EXPECT_NE(party, nowhere);
    EXPECT_NE(ink(u"\U0001F44D"), nowhere);
    EXPECT_NE(ink(u"\U0001F44D"), party);
}

// Text is cut by the box, the clip and the surface; nothing happens for empty text or a target
// without a surface; a box partly off the surface keeps the text where it would be.
TEST(Text, drawing_is_clipped)
{
    FontRep font(dejavu(14));
    auto target = make_render_surface(60, 30, background);
    Rect saved = target->push_clip({ 0, 0 }, { 20, 30 });
    draw(font, *target, u"WWWWWW", { 5, 0 }, { 100, 30 });
    target->pop_clip(saved);
    Rect drawn = test::changed_bounds(*target->surface(), background);
    EXPECT_LE(drawn.max_x, 20);
    EXPECT_GE(drawn.min_x, 5);

    target->surface()->clear(background);
    draw(font, *target, u"WWWWWW", { 5, 0 }, { 10, 30 });
    EXPECT_LE(test::changed_bounds(*target->surface(), background).max_x, 15);

    // The same text at x = -7 shows what x = 0 shows from column 7 on.
    auto reference = make_render_surface(60, 30, background);
    draw(font, *reference, u"Shift", { 0, 0 }, { 60, 30 });
    target->surface()->clear(background);
    draw(font, *target, u"Shift", { -7, 0 }, { 60, 30 });
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 53; ++x)
            ASSERT_EQ(target->surface()->pixel(x, y), reference->surface()->pixel(x + 7, y))
                << x << "," << y;

    target->surface()->clear(background);
    draw(font, *target, u"", { 0, 0 }, { 60, 30 });
    EXPECT_EQ(test::count_not(*target->surface(), background), 0);
    RenderSurface none;
    draw(font, none, u"x", { 0, 0 }, { 60, 30 });
}

// An underlined font draws a line below the baseline across the text's advance.
TEST(Text, underline_spans_the_text)
{
    FontDescription d = dejavu(12);
    FontRep plain(d);
    d.underline = true;
    FontRep underlined(d);
    auto a = make_render_surface(80, 24, background), b = make_render_surface(80, 24, background);
    draw(plain, *a, u"under", { 0, 0 }, { 80, 24 });
    draw(underlined, *b, u"under", { 0, 0 }, { 80, 24 });
    std::int32_t row = underlined.ascent() + underlined.underline_offset();
    std::int32_t width = text_extent(&underlined, u"under").width;
    for (int x = 0; x < width; ++x)
        EXPECT_EQ(b->surface()->pixel(x, row), 0xFFFF) << x;
    EXPECT_EQ(a->surface()->pixel(width / 2, row), background);
}
