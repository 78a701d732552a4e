#include "launcher/WindowShape.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace lumbra;

// The outline keeps a two-pixel margin (the rounded rectangle covers x 2..397 and y 2..297),
// rounds three corners and squares the top right one, which reaches (396, 2) and stops at half
// the height. A 40-pixel ellipse meets the top row 16 pixels in, measured at the pixel centres.
TEST(WindowShape, launcher_outline)
{
    WindowShape shape = WindowShape::launcher_shape(400, 300, 40);
    const std::tuple<int, int, bool> points[] = { { 200, 150, true }, { 1, 150, false },
        { 2, 150, true }, { 397, 150, true }, { 398, 150, false }, { 200, 1, false },
        { 200, 297, true }, { 200, 298, false }, { 3, 3, false }, { 3, 296, false },
        { 396, 296, false }, { 17, 2, false }, { 18, 2, true }, { 2, 22, true }, { 396, 2, true },
        { 397, 2, false }, { 396, 149, true } };
    for (auto [x, y, inside] : points)
        EXPECT_EQ(shape.contains(x, y), inside) << x << "," << y;

    // Each rounded corner is symmetric with the others.
    const int w = 301, h = 211, r = 31;
    shape = WindowShape::launcher_shape(w, h, r);
    for (int dy = 0; dy < r; ++dy) {
        for (int dx = 0; dx < r; ++dx) {
            bool top_left = shape.contains(2 + dx, 2 + dy);
            EXPECT_EQ(top_left, shape.contains(2 + dx, h - 3 - dy)) << dx << "," << dy;
            EXPECT_EQ(top_left, shape.contains(w - 3 - dx, h - 3 - dy)) << dx << "," << dy;
        }
    }
}

// No rounding gives the plain rectangle; corners larger than the window are clamped; windows
// too small for the margins have no shape at all.
TEST(WindowShape, degenerate_sizes)
{
    WindowShape square = WindowShape::launcher_shape(100, 80, 0);
    WindowShape oval = WindowShape::launcher_shape(100, 80, 1000);
    const std::tuple<const WindowShape&, int, int, bool> points[]
        = { { square, 2, 2, true }, { square, 97, 77, true }, { square, 98, 77, false },
              { oval, 50, 40, true }, { oval, 2, 77, false }, { oval, 96, 2, true } };
    for (auto [shape, x, y, inside] : points)
        EXPECT_EQ(shape.contains(x, y), inside) << x << "," << y;
    EXPECT_TRUE(WindowShape::launcher_shape(0, 0, 10).is_empty());
    EXPECT_TRUE(WindowShape::launcher_shape(4, 4, 0).is_empty());
    EXPECT_FALSE(WindowShape::launcher_shape(5, 5, 0).is_empty());
}
