#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace corvane;

namespace {

// A picture whose every pixel names its own position: 0x100 * y + x + 1.
Bitmap numbered(std::int32_t width, std::int32_t height)
{
    auto surface = Surface::allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            surface->set_pixel(x, y, Pixel(0x100 * y + x + 1));
    return Bitmap(std::shared_ptr<const Surface>(std::move(surface)), u"numbered");
}

int column_of(Pixel p)
{
    return (p & 0xFF) - 1;
}
int row_of(Pixel p)
{
    return p >> 8;
}

} // namespace

// Smaller than its fixed parts: a start part of 10 and an end part of 6 in 12 pixels give 6, 1
// and 5; larger targets give the middle the rest; what one side cannot take goes to the other.
TEST(ImageRef, axis_split_shares_short_lengths)
{
    auto check = [](AxisSplit s, int start, int middle, int end) {
        EXPECT_EQ(std::tuple(s.start, s.middle, s.end), std::tuple(start, middle, end));
    };
    check(split_axis(12, 0, 10, 20, 26), 6, 1, 5);
    check(split_axis(30, 0, 10, 20, 26), 10, 14, 6);
    check(
        split_axis(16, 0, 10, 20, 26), 9, 1, 6); // the end takes at most 6; the start gets the rest
    check(split_axis(10, 0, 2, 20, 26), 2, 2, 6); // the start takes at most 2; the end gets 3 more
    check(split_axis(1, 0, 10, 20, 26), 0, 1, 0);
    check(split_axis(0, 0, 10, 20, 26), 0, 0, 0);
    check(split_axis(7, 0, 0, 9, 9), 0, 7, 0); // a whole-bitmap entry tiles everything
}

// A nine-part picture larger than its source: corners stay, the middle tiles from x1 to x2,
// and a shortened end part keeps its outer edge.
TEST(ImageRef, nine_part_draw_tiles_the_middle)
{
    Bitmap bitmap = numbered(7, 7);
    ImageRef ref;
    ref.bitmap = bitmap;
    ref.coords = { 0, 0, 2, 2, 5, 5, 7, 7 }; // parts 2, 3, 2 on both axes
    RenderSurface target;
    ASSERT_TRUE(target.recreate(12, 3));
    target.surface()->clear(0);
    ref.draw(target, { 0, 0 }, { 12, 3 }, plain_copy_blender());
    int expected_columns[12] = { 0, 1, 2, 3, 4, 2, 3, 4, 2, 3, 5, 6 };
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(column_of(target.surface()->pixel(x, 0)), expected_columns[x]) << x;
    // Three rows from a 2 + 3 + 2 split: start 1, middle 1, end 1 (its outer edge, row 6).
    EXPECT_EQ(row_of(target.surface()->pixel(0, 0)), 0);
    EXPECT_EQ(row_of(target.surface()->pixel(0, 1)), 2);
    EXPECT_EQ(row_of(target.surface()->pixel(0, 2)), 6);

    // At scale shift 1, with the coordinates doubled, the same drawing at twice the size shows
    // each pixel as a 2 x 2 block: fixed parts, the tiled middle and its phase all scale.
    RenderSurface once, dense;
    ASSERT_TRUE(once.recreate(12, 7));
    ASSERT_TRUE(dense.recreate(24, 14));
    ref.draw(once, { 0, 0 }, { 12, 7 }, plain_copy_blender());
    ImageRef doubled = ref;
    doubled.scale_shift = 1;
    doubled.coords = { 0, 0, 4, 4, 10, 10, 14, 14 };
    doubled.draw(dense, { 0, 0 }, { 24, 14 }, plain_copy_blender());
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(dense.surface()->pixel(x, y), once.surface()->pixel(x / 2, y / 2))
                << x << "," << y;

    // The whole-bitmap reference draws the bitmap 1:1 at its size and tiles it beyond.
    RenderSurface tiled;
    ASSERT_TRUE(tiled.recreate(7, 3));
    ImageRef::whole(numbered(3, 2)).draw(tiled, { 0, 0 }, { 7, 3 }, plain_copy_blender());
    EXPECT_EQ(tiled.surface()->pixel(0, 0), 0x001);
    EXPECT_EQ(tiled.surface()->pixel(4, 1), 0x102);
    EXPECT_EQ(tiled.surface()->pixel(6, 2), 0x001);
}

// Pixels cut by the clip at the start come from the start part, then the middle, whose tile
// phase moves on by the cut; pixels cut at the end go from the end part first.
TEST(ImageRef, clipping_keeps_the_tile_phase)
{
    Bitmap bitmap = numbered(7, 1);
    ImageRef ref;
    ref.bitmap = bitmap;
    ref.coords = { 0, 0, 2, 0, 5, 1, 7, 1 };
    RenderSurface full, clipped;
    ASSERT_TRUE(full.recreate(20, 1));
    ASSERT_TRUE(clipped.recreate(20, 1));
    full.surface()->clear(0);
    clipped.surface()->clear(0);
    ref.draw(full, { 1, 0 }, { 15, 1 }, plain_copy_blender());
    for (int cut = 0; cut < 16; ++cut) {
        for (int keep = 0; cut + keep <= 16; ++keep) {
            clipped.surface()->clear(0);
            Rect saved = clipped.push_clip({ cut, 0 }, { keep, 1 });
            ref.draw(clipped, { 1, 0 }, { 15, 1 }, plain_copy_blender());
            clipped.pop_clip(saved);
            for (int x = 0; x < 20; ++x) {
                Pixel expected = (x >= cut && x < cut + keep) ? full.surface()->pixel(x, 0) : 0;
                ASSERT_EQ(clipped.surface()->pixel(x, 0), expected)
                    << cut << "+" << keep << " at " << x;
            }
        }
    }
    // Drawn partly off the left edge of the surface.
    clipped.surface()->clear(0);
    ref.draw(clipped, { -4, 0 }, { 15, 1 }, plain_copy_blender());
    for (int x = 0; x < 11; ++x)
        EXPECT_EQ(clipped.surface()->pixel(x, 0), full.surface()->pixel(x + 5, 0)) << x;
}

// Coordinates beyond the bitmap (a damaged skin) are clamped, never read past the pixels; an
// empty bitmap draws nothing.
TEST(ImageRef, coordinates_outside_the_bitmap_are_clamped)
{
    Bitmap bitmap = numbered(4, 4);
    ImageRef ref;
    ref.bitmap = bitmap;
    ref.scale_shift = 1;
    ref.coords = { 0, 0, 100, 100, 200, 200, 60000, 60000 };
    RenderSurface target;
    ASSERT_TRUE(target.recreate(16, 16));
    target.surface()->clear(0);
    ref.draw(target, { 0, 0 }, { 16, 16 }, plain_copy_blender());
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            Pixel p = target.surface()->pixel(x, y);
            ASSERT_TRUE(p == 0 || (column_of(p) < 4 && row_of(p) < 4));
        }

    ImageRef empty;
    empty.coords = { 0, 0, 1, 1, 2, 2, 3, 3 };
    target.surface()->clear(0);
    empty.draw(target, { 0, 0 }, { 16, 16 }, plain_copy_blender());
    EXPECT_EQ(test::count_not(*target.surface(), 0), 0);
}
