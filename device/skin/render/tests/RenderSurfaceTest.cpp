#include "device/skin/render/RenderSurface.h"
#include "device/core/FatalFault.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

using namespace corvane;

// Owned surfaces add to and leave the live-pixel count; an unchanged size is not reallocated.
TEST(RenderSurface, recreate_keeps_the_live_pixel_count)
{
    std::int64_t base = RenderSurface::live_pixel_count();
    {
        RenderSurface a;
        EXPECT_FALSE(a.recreate(0, 0)); // nothing yet, nothing asked
        EXPECT_TRUE(a.recreate(10, 20));
        EXPECT_EQ(RenderSurface::live_pixel_count() - base, 200);
        const Surface* first = a.surface();
        EXPECT_FALSE(a.recreate(10, 20));
        EXPECT_EQ(a.surface(), first);
        RenderSurface b;
        EXPECT_TRUE(b.recreate(3, 3));
        EXPECT_EQ(RenderSurface::live_pixel_count() - base, 209);
        EXPECT_TRUE(a.recreate(5, 4));
        EXPECT_EQ(RenderSurface::live_pixel_count() - base, 29);
        EXPECT_EQ(a.clip(), (Rect { 0, 0, 5, 4 }));
        EXPECT_TRUE(a.recreate(0, 0));
        EXPECT_FALSE(a.has_surface());
        EXPECT_EQ(RenderSurface::live_pixel_count() - base, 9);
    }
    EXPECT_EQ(RenderSurface::live_pixel_count(), base);

    // A surface owned elsewhere is not counted.
    auto external = Surface::allocate(8, 8);
    RenderSurface view(*external);
    EXPECT_EQ(view.size(), (Size { 8, 8 }));
    EXPECT_EQ(RenderSurface::live_pixel_count(), base);
}

// Resizing while a clip is pushed would leave the saved clip pointing past the new surface.
TEST(RenderSurfaceDeathTest, recreate_with_a_clip_pushed_is_fatal)
{
    EXPECT_EXIT(
        {
            RenderSurface s;
            (void)s.recreate(4, 4);
            (void)s.push_clip({ 0, 0 }, { 2, 2 });
            (void)s.recreate(8, 8);
        },
        testing::ExitedWithCode(corvane::test::fatal_exit_code()), "");
}

// Nested clips intersect, pop restores each level, and fills touch exactly the pixels inside:
// checked at both sides of every edge.
TEST(RenderSurface, clips_nest_and_fills_stop_at_their_edges)
{
    RenderSurface s;
    ASSERT_TRUE(s.recreate(20, 10));
    s.surface()->clear(0);
    Rect outer = s.push_clip({ 2, 1 }, { 10, 8 });
    Rect inner = s.push_clip({ 5, -5 }, { 100, 7 });
    EXPECT_EQ(s.clip_depth(), 2);
    EXPECT_EQ(s.clip(), (Rect { 5, 1, 12, 2 }));
    s.fill_color({ -100, -100 }, { 1000, 1000 }, { 255, 255, 255, 255 });
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0), (Rect { 5, 1, 12, 2 }));
    s.pop_clip(inner);
    EXPECT_EQ(s.clip(), (Rect { 2, 1, 12, 9 }));
    s.pop_clip(outer);
    EXPECT_EQ(s.clip(), (Rect { 0, 0, 20, 10 }));
    EXPECT_EQ(s.clip_depth(), 0);

    // A fill at the surface's far corner clips to the surface.
    s.surface()->clear(0);
    s.fill_color({ 18, 9 }, { 5, 5 }, { 0, 0, 255, 255 });
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0), (Rect { 18, 9, 20, 10 }));
    EXPECT_EQ(s.surface()->pixel(19, 9), 0x001F);

    // A clip that misses the surface draws nothing; zero and negative sizes draw nothing.
    s.surface()->clear(0);
    Rect saved = s.push_clip({ 30, 30 }, { 5, 5 });
    s.fill_color({ 0, 0 }, { 20, 10 }, { 255, 255, 255, 255 });
    s.pop_clip(saved);
    s.fill_color({ 0, 0 }, { 0, 10 }, { 255, 255, 255, 255 });
    s.fill_color({ 0, 0 }, { 10, -1 }, { 255, 255, 255, 255 });
    EXPECT_EQ(test::count_not(*s.surface(), 0), 0);

    // Fill through a blender runs its fill: the dim blender darkens only the clipped rectangle.
    s.surface()->clear(0xFFFF);
    s.fill({ 1, 1 }, { 30, 2 }, *make_dim_blender(128));
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0xFFFF), (Rect { 1, 1, 20, 3 }));
    EXPECT_EQ(s.surface()->pixel(4, 2), 0x7BEF);
}

// Odd widths pad each row to 4 bytes; fills and blits never write into the padding, and the
// word stores cover an odd first and last pixel.
TEST(RenderSurface, odd_width_rows_keep_their_padding)
{
    RenderSurface s;
    ASSERT_TRUE(s.recreate(7, 3));
    EXPECT_EQ(s.surface()->stride(), 16);
    s.surface()->clear(0xAAAA);
    for (int x0 = 0; x0 < 7; ++x0) {
        for (int w = 1; x0 + w <= 7; ++w) {
            for (int y = 0; y < 3; ++y)
                std::fill(s.surface()->row(y), s.surface()->row(y) + 7, Pixel(0));
            s.fill_color({ x0, 0 }, { w, 3 }, { 255, 255, 255, 255 });
            for (int y = 0; y < 3; ++y) {
                EXPECT_EQ(s.surface()->row(y)[7], 0xAAAA) << "padding written";
                for (int x = 0; x < 7; ++x)
                    ASSERT_EQ(s.surface()->pixel(x, y), (x >= x0 && x < x0 + w) ? 0xFFFF : 0)
                        << x0 << "+" << w;
            }
        }
    }
    auto source = Surface::allocate(7, 3);
    test::fill_noise(*source, 5);
    s.blit({ 0, 0 }, { 7, 3 }, *source, { 0, 0 }, plain_copy_blender());
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(s.surface()->row(y)[7], 0xAAAA);
}

// A blit is clipped on both sides: a negative source position trims the copy and moves it, a
// source narrower than asked stops at its edge, and the target clip cuts the rest.
TEST(RenderSurface, blit_clips_source_and_target)
{
    auto source = Surface::allocate(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            source->set_pixel(x, y, Pixel(0x100 + y * 16 + x));
    RenderSurface s;
    ASSERT_TRUE(s.recreate(10, 10));
    s.surface()->clear(0);
    s.blit({ 3, 3 }, { 6, 6 }, *source, { -1, -2 }, plain_copy_blender());
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0), (Rect { 4, 5, 8, 9 }));
    EXPECT_EQ(s.surface()->pixel(4, 5), 0x100);
    EXPECT_EQ(s.surface()->pixel(7, 8), 0x133);

    s.surface()->clear(0);
    Rect saved = s.push_clip({ 0, 0 }, { 2, 10 });
    s.blit({ -2, 0 }, { 4, 4 }, *source, { 0, 0 }, plain_copy_blender());
    s.pop_clip(saved);
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0), (Rect { 0, 0, 2, 4 }));
    EXPECT_EQ(s.surface()->pixel(0, 0), 0x102);

    // Fully outside on the source side: nothing.
    s.surface()->clear(0);
    s.blit({ 0, 0 }, { 4, 4 }, *source, { 4, 0 }, plain_copy_blender());
    EXPECT_EQ(test::count_not(*s.surface(), 0), 0);
}

// Stretching picks rows and columns by a 22.10 step: 3 rows onto 7 take rows 0,0,0,1,1,2,2 and
// doubling replicates pixels; a source rectangle past the source is narrowed, never read beyond.
TEST(RenderSurface, stretch_blit_steps_in_fixed_point)
{
    auto source = Surface::allocate(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            source->set_pixel(x, y, Pixel(0x10 * y + x + 1));
    RenderSurface s;
    ASSERT_TRUE(s.recreate(7, 7));
    s.surface()->clear(0);
    s.stretch_blit({ 0, 0 }, { 7, 7 }, *source, { 0, 0 }, { 3, 3 }, plain_copy_blender());
    int rows[7] = { 0, 0, 0, 1, 1, 2, 2 };
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(s.surface()->pixel(x, y), Pixel(0x10 * rows[y] + rows[x] + 1))
                << x << "," << y;

    s.surface()->clear(0);
    s.stretch_blit({ 1, 1 }, { 6, 2 }, *source, { 0, 1 }, { 3, 1 }, plain_copy_blender());
    EXPECT_EQ(s.surface()->pixel(1, 1), 0x11);
    EXPECT_EQ(s.surface()->pixel(2, 1), 0x11);
    EXPECT_EQ(s.surface()->pixel(6, 2), 0x13);
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0), (Rect { 1, 1, 7, 3 }));

    // Clipped on the left: the remaining columns keep their mapping.
    s.surface()->clear(0);
    s.stretch_blit({ -3, 0 }, { 6, 1 }, *source, { 0, 0 }, { 3, 1 }, plain_copy_blender());
    EXPECT_EQ(s.surface()->pixel(0, 0), 0x02);
    EXPECT_EQ(s.surface()->pixel(1, 0), 0x03);
    EXPECT_EQ(s.surface()->pixel(2, 0), 0x03);
    EXPECT_EQ(s.surface()->pixel(3, 0), 0);

    // Source rectangle half outside the source.
    s.surface()->clear(0);
    s.stretch_blit({ 0, 0 }, { 6, 6 }, *source, { 1, 1 }, { 4, 4 }, plain_copy_blender());
    // Source rows and columns 1..2 keep their scale of 1.5 target pixels each.
    EXPECT_EQ(test::changed_bounds(*s.surface(), 0), (Rect { 0, 0, 3, 3 }));
    EXPECT_EQ(s.surface()->pixel(0, 0), 0x12);
    EXPECT_EQ(s.surface()->pixel(2, 2), 0x23);
}
