#include "device/skin/render/RenderSurface.h"

#include <gtest/gtest.h>

using namespace corvane;

// Placeholder while the suite is written.
TEST(RenderSurface, recreate_counts_pixels)
{
    std::int64_t before = RenderSurface::live_pixel_count();
    RenderSurface surface;
    EXPECT_TRUE(surface.recreate(10, 20));
    EXPECT_EQ(RenderSurface::live_pixel_count() - before, 200);
}
