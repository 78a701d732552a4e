#include "device/skin/render/FontRep.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/TextRender.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

using namespace corvane;

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

} // namespace

// Sizes below 20 come from the table, larger ones from n * 96 / 72 (truncated); the
// multiplier scales the size first.
TEST(Fonts, logical_height_follows_the_table_and_the_rule)
{
    const std::int32_t table[20]
        = { 0, 1, 3, 4, 6, 7, 8, 10, 11, 12, 14, 15, 16, 18, 19, 20, 21, 23, 24, 25 };
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(font_logical_height(n), -table[n]) << n;
    EXPECT_EQ(font_logical_height(20), -26);
    EXPECT_EQ(font_logical_height(21), -28);
    EXPECT_EQ(font_logical_height(100), -133);
    EXPECT_EQ(font_logical_height(-3), 4); // signed division truncates

    test::LoggedEnvironment env;
    FontDescription twelve;
    EXPECT_EQ(FontRep(twelve).logical_height(), -16);
    FontDescription ten_doubled;
    ten_doubled.size = 10;
    ten_doubled.multiplier = 2;
    EXPECT_EQ(FontRep(ten_doubled).logical_height(), -26);
}

// "Tahoma" resolves to an installed face; its three metrics are consistent with a 16-pixel em
// and creation is logged.
TEST(Fonts, tahoma_resolves_to_an_installed_face)
{
    test::LoggedEnvironment env;
    FontRep font(FontDescription {});
    ASSERT_TRUE(font.has_face());
    EXPECT_FALSE(font.face_name().empty());
    EXPECT_GE(font.height(), 16);
    EXPECT_LE(font.height(), 24);
    EXPECT_GT(font.descent(), 0);
    EXPECT_LT(font.descent(), font.height() / 2);
    EXPECT_EQ(font.internal_leading(), font.height() - 16);
    EXPECT_NE(env.log_text().find(u"Creating font: {Tahoma} elapsed="), std::u16string::npos);
}

// The extent is the sum of advances, per-character extents are cumulative (a surrogate pair's
// two units share the pair's end) and the height is the font's line height.
TEST(Text, extent_with_per_character_extents)
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

    std::u16string pair = u"a\U0001F600b";
    text_extent(&font, pair, -1, &extents);
    ASSERT_EQ(extents.size(), 4u);
    EXPECT_EQ(extents[1], extents[2]);
    EXPECT_GT(extents[3], extents[2]);

    // Bold text is at least as wide; Cyrillic text measures.
    FontRep bold(dejavu(12, true));
    EXPECT_GE(text_extent(&bold, u"Hello").width, size.width);
    EXPECT_GT(text_extent(&font, u"Задача").width, 0);
}

// Measuring or drawing the same characters again renders nothing new.
TEST(Text, glyph_cache_serves_repeated_text)
{
    FontRep font(dejavu(11));
    text_extent(&font, u"cache me");
    std::uint64_t rendered = font.rendered_glyph_count();
    EXPECT_EQ(rendered, 6u); // c a h e space m: "c" and "e" repeat
    text_extent(&font, u"cache me");
    text_extent(&font, u"me cache");
    RenderSurface target;
    ASSERT_TRUE(target.recreate(100, 20));
    draw_text(&font, target, white, u"cache me", { 0, 0 }, { 100, 20 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    EXPECT_EQ(font.rendered_glyph_count(), rendered);
    text_extent(&font, u"x");
    EXPECT_EQ(font.rendered_glyph_count(), rendered + 1);
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
        std::size_t next_end = text.find(u' ', kept.size() + 1);
        std::u16string longer = text.substr(0, next_end) + u"...";
        EXPECT_GT(text_extent(&font, longer).width, width);
    }
    std::u16string word = u"Uncuttablewordwithoutspaces";
    std::u16string cut = fit_text_with_ellipsis(&font, word, text_extent(&font, word).width / 2);
    EXPECT_GT(cut.size(), 3u);
    EXPECT_EQ(word.substr(0, cut.size() - 3) + u"...", cut);
    EXPECT_EQ(fit_text_with_ellipsis(&font, text, 1), u"...");

    // Drawn with the flag, the text stays inside its box; without it, it is cut by the box.
    RenderSurface target;
    ASSERT_TRUE(target.recreate(200, 30));
    target.surface()->clear(background);
    draw_text(&font, target, white, text, { 10, 5 }, { 80, 20 }, HorizontalAlignment::Right,
        VerticalAlignment::Top, TextEllipsis::End);
    Rect drawn = test::changed_bounds(*target.surface(), background);
    EXPECT_GE(drawn.min_x, 10);
    EXPECT_LE(drawn.max_x, 90);
    EXPECT_GE(drawn.max_x, 84); // right-aligned: the "..." reaches near the right edge
}

// Horizontal and vertical alignment place the ink where the box says; Justify is Left.
TEST(Text, alignment_places_the_line_in_its_box)
{
    FontRep font(dejavu(12));
    std::u16string text = u"Mmm";
    std::int32_t width = text_extent(&font, text).width;
    RenderSurface target;
    ASSERT_TRUE(target.recreate(120, 60));
    auto ink = [&](HorizontalAlignment h, VerticalAlignment v) {
        target.surface()->clear(background);
        draw_text(&font, target, white, text, { 10, 5 }, { 100, 50 }, h, v, TextEllipsis::None);
        return test::changed_bounds(*target.surface(), background);
    };
    Rect left = ink(HorizontalAlignment::Left, VerticalAlignment::Top);
    Rect centre = ink(HorizontalAlignment::Center, VerticalAlignment::Top);
    Rect right = ink(HorizontalAlignment::Right, VerticalAlignment::Top);
    Rect justify = ink(HorizontalAlignment::Justify, VerticalAlignment::Top);
    EXPECT_EQ(justify, left);
    EXPECT_EQ(centre.min_x - left.min_x, (100 - width) / 2);
    EXPECT_EQ(right.min_x - left.min_x, 100 - width);
    EXPECT_GE(left.min_x, 10);
    EXPECT_LE(left.min_x, 12);

    Rect top = left;
    Rect middle = ink(HorizontalAlignment::Left, VerticalAlignment::VCenter);
    Rect bottom = ink(HorizontalAlignment::Left, VerticalAlignment::Bottom);
    EXPECT_EQ(middle.min_y - top.min_y, (50 - font.height()) / 2);
    EXPECT_EQ(bottom.min_y - top.min_y, 50 - font.height());
    // The baseline sits ascent below the line's top: "Mmm" has no descender.
    EXPECT_EQ(top.max_y, 5 + font.ascent());
    EXPECT_GE(top.min_y, 5);
}

// Every pixel the text changes is opaque, so text drawn into a transparent render cache
// survives the colour key; untouched pixels stay transparent.
TEST(Text, changed_pixels_become_opaque)
{
    FontRep font(dejavu(12));
    RenderSurface cache;
    ASSERT_TRUE(cache.recreate(80, 20));
    cache.surface()->clear(transparent_pixel);
    draw_text(&font, cache, { 0, 0, 0, 255 }, u"Opaque", { 0, 0 }, { 80, 20 },
        HorizontalAlignment::Left, VerticalAlignment::Top, TextEllipsis::None);
    int changed = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 80; ++x) {
            Pixel p = cache.surface()->pixel(x, y);
            if (p == transparent_pixel)
                continue;
            ++changed;
            EXPECT_TRUE(p & opaque_bit) << x << "," << y;
        }
    EXPECT_GT(changed, 20);
}

// Characters the face lacks come from another installed face that has outlines: emoji are drawn
// as themselves, not as the box of a character no face has.
TEST(Text, missing_characters_come_from_a_fallback_face)
{
    FontRep font(dejavu(16));
    auto ink = [&](WStringView text) {
        RenderSurface surface;
        EXPECT_TRUE(surface.recreate(40, 30));
        surface.surface()->clear(background);
        draw_text(&font, surface, white, text, { 0, 0 }, { 40, 30 }, HorizontalAlignment::Left,
            VerticalAlignment::Top, TextEllipsis::None);
        std::vector<Pixel> pixels;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                pixels.push_back(surface.surface()->pixel(x, y));
        return pixels;
    };
    std::vector<Pixel> nowhere = ink(u"\U0010FFFD");
    std::vector<Pixel> party = ink(u"\U0001F389");
    std::vector<Pixel> thumbs = ink(u"\U0001F44D");
    EXPECT_NE(party, nowhere);
    EXPECT_NE(thumbs, nowhere);
    EXPECT_NE(party, thumbs);
}

// Text is cut by the box, the clip and the surface; nothing happens for empty text or a target
// without a surface; a box partly off the surface keeps the text where it would be.
TEST(Text, drawing_is_clipped)
{
    FontRep font(dejavu(14));
    RenderSurface target;
    ASSERT_TRUE(target.recreate(60, 30));
    target.surface()->clear(background);
    Rect saved = target.push_clip({ 0, 0 }, { 20, 30 });
    draw_text(&font, target, white, u"WWWWWW", { 5, 0 }, { 100, 30 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    target.pop_clip(saved);
    Rect drawn = test::changed_bounds(*target.surface(), background);
    EXPECT_LE(drawn.max_x, 20);
    EXPECT_GE(drawn.min_x, 5);

    target.surface()->clear(background);
    draw_text(&font, target, white, u"WWWWWW", { 5, 0 }, { 10, 30 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    EXPECT_LE(test::changed_bounds(*target.surface(), background).max_x, 15);

    // The same text at x = -7 shows what x = 0 shows from column 7 on.
    RenderSurface reference;
    ASSERT_TRUE(reference.recreate(60, 30));
    reference.surface()->clear(background);
    draw_text(&font, reference, white, u"Shift", { 0, 0 }, { 60, 30 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    target.surface()->clear(background);
    draw_text(&font, target, white, u"Shift", { -7, 0 }, { 60, 30 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 53; ++x)
            ASSERT_EQ(target.surface()->pixel(x, y), reference.surface()->pixel(x + 7, y))
                << x << "," << y;

    target.surface()->clear(background);
    draw_text(&font, target, white, u"", { 0, 0 }, { 60, 30 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    EXPECT_EQ(test::count_not(*target.surface(), background), 0);
    RenderSurface none;
    draw_text(&font, none, white, u"x", { 0, 0 }, { 60, 30 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
}

// An underlined font draws a line below the baseline across the text's advance.
TEST(Text, underline_spans_the_text)
{
    FontDescription d = dejavu(12);
    FontRep plain(d);
    d.underline = true;
    FontRep underlined(d);
    RenderSurface a, b;
    ASSERT_TRUE(a.recreate(80, 24));
    ASSERT_TRUE(b.recreate(80, 24));
    a.surface()->clear(background);
    b.surface()->clear(background);
    draw_text(&plain, a, white, u"under", { 0, 0 }, { 80, 24 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    draw_text(&underlined, b, white, u"under", { 0, 0 }, { 80, 24 }, HorizontalAlignment::Left,
        VerticalAlignment::Top, TextEllipsis::None);
    std::int32_t row = underlined.ascent() + underlined.underline_offset();
    std::int32_t width = text_extent(&underlined, u"under").width;
    for (int x = 0; x < width; ++x)
        EXPECT_EQ(b.surface()->pixel(x, row), 0xFFFF) << x;
    EXPECT_EQ(a.surface()->pixel(width / 2, row), background);
}
