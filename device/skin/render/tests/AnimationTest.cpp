#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

using namespace corvane;
using test::make_render_surface;

namespace {

constexpr Pixel before_colour = 0x001F;
constexpr Pixel after_colour = 0x07E0;
constexpr Pixel ground = 0x0000;

} // namespace

// At speed 1 a show lasts 0.2 s, pop 0.4 s; the finishing tick reports it, pins the progress
// and releases both images; idle ticks do nothing. Words are matched whole and case-sensitively;
// a clone (each element gets one) is idle, of the same kind, with the same blender.
TEST(VisibilityAnimation, timing_and_release)
{
    auto scale = VisibilityAnimation::create(u"scale");
    auto after = make_render_surface(4, 4, after_colour);
    scale->start(make_render_surface(4, 4, before_colour), after, +1);
    EXPECT_EQ(scale->progress(), 0.0);
    EXPECT_FALSE(scale->tick(0.1));
    EXPECT_DOUBLE_EQ(scale->progress(), 0.5);
    EXPECT_EQ(after.use_count(), 2);
    EXPECT_TRUE(scale->tick(0.15));
    EXPECT_EQ(scale->progress(), 1.0);
    EXPECT_EQ(scale->direction(), 0);
    EXPECT_EQ(scale->before(), nullptr);
    EXPECT_EQ(scale->after(), nullptr);
    EXPECT_EQ(after.use_count(), 1);
    EXPECT_FALSE(scale->tick(1.0));

    EXPECT_EQ(VisibilityAnimation::create(u"Scale"), nullptr);
    EXPECT_EQ(VisibilityAnimation::create(u"fade"), nullptr);
    auto pop = VisibilityAnimation::create(u"pop");
    pop->set_blender(make_shadow_blender(2));
    pop->start(nullptr, after, -1);
    auto copy = pop->clone();
    EXPECT_EQ(copy->kind(), VisibilityAnimation::Kind::Pop);
    EXPECT_FALSE(copy->is_running());
    EXPECT_EQ(copy->after(), nullptr);
    Pixel shadow = 0x0000, under = 0xFFFF;
    auto one = Surface::allocate(1, 1);
    one->set_pixel(0, 0, shadow);
    copy->blender().copy(&under, { one.get(), 0, one->row(0) }, 0, 1);
    EXPECT_EQ(under, 0x7BEF); // level 2 adds half the destination
    EXPECT_EQ(pop->progress(), 1.0);
    EXPECT_FALSE(pop->tick(0.3));
    EXPECT_DOUBLE_EQ(pop->progress(), 0.25);
    EXPECT_TRUE(pop->tick(0.1));
    EXPECT_EQ(pop->progress(), 0.0);
}

// Scale: the before image is drawn whole, the after image at progress^2 of its size, centred,
// through the blender (the colour key skips its transparent pixels).
TEST(VisibilityAnimation, scale_draws_the_after_image_centred)
{
    auto a = VisibilityAnimation::create(u"scale");
    auto after = make_render_surface(40, 20, after_colour);
    after->surface()->set_pixel(20, 8, transparent_pixel); // sampled: column 5, row 2
    a->start(make_render_surface(40, 20, before_colour), after, +1);
    (void)a->tick(0.1); // p = 0.5, factor 0.25: 10 x 5
    RenderSurface target;
    ASSERT_TRUE(target.recreate(60, 40));
    target.surface()->clear(ground);
    a->draw(target, { 10, 10 });
    EXPECT_EQ(test::changed_bounds(*target.surface(), ground), (Rect { 10, 10, 50, 30 }));
    int green = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            green += target.surface()->pixel(x, y) == after_colour;
    EXPECT_EQ(green, 10 * 5 - 1);
    EXPECT_EQ(target.surface()->pixel(10 + 20, 10 + 9), before_colour); // the transparent pixel
    EXPECT_EQ(target.surface()->pixel(10 + 15, 10 + 7), after_colour);
    EXPECT_EQ(target.surface()->pixel(10 + 14, 10 + 7), before_colour);
    EXPECT_EQ(target.surface()->pixel(10 + 24, 10 + 11), after_colour);
    EXPECT_EQ(target.surface()->pixel(10 + 25, 10 + 12), before_colour);
}

// Pop overshoots: two thirds of the way the after image is larger than itself, clipped by the
// target's clip.
TEST(VisibilityAnimation, pop_overshoots)
{
    auto a = VisibilityAnimation::create(u"pop");
    a->start(nullptr, make_render_surface(20, 20, after_colour), +1);
    (void)a->tick(0.4 * 2.0 / 3.0); // a = pi: factor 1 + 1 / (pi + 1), about 1.24
    RenderSurface target;
    ASSERT_TRUE(target.recreate(60, 60));
    target.surface()->clear(ground);
    a->draw(target, { 20, 20 });
    Rect drawn = test::changed_bounds(*target.surface(), ground);
    EXPECT_EQ(drawn.width(), 24);
    EXPECT_EQ(drawn.min_x, 20 - 2);
}

// Slides: with q = 1 - p the after image sits q of the way out on its side and the before image
// next to it, both inside the after image's rectangle. At q = 0.25 on 40 x 20 drawn at (20, 20),
// each case names the after and the before pixel on either side of the seam.
TEST(VisibilityAnimation, slides_move_both_images)
{
    const struct {
        const char16_t* word;
        Point after, before;
    } slides[] = { { u"right", { 30, 20 }, { 29, 20 } }, { u"bottom", { 20, 25 }, { 20, 24 } },
        { u"left", { 49, 20 }, { 50, 20 } }, { u"top", { 20, 34 }, { 20, 35 } } };
    for (const auto& slide : slides) {
        auto a = VisibilityAnimation::create(slide.word);
        a->start(make_render_surface(40, 20, before_colour),
            make_render_surface(40, 20, after_colour), +1);
        (void)a->tick(0.15); // p = 0.75
        RenderSurface target;
        ASSERT_TRUE(target.recreate(80, 60));
        target.surface()->clear(ground);
        a->draw(target, { 20, 20 });
        EXPECT_EQ(test::changed_bounds(*target.surface(), ground), (Rect { 20, 20, 60, 40 }));
        EXPECT_EQ(target.surface()->pixel(slide.after.x, slide.after.y), after_colour);
        EXPECT_EQ(target.surface()->pixel(slide.before.x, slide.before.y), before_colour);
        EXPECT_EQ(target.clip_depth(), 0);
    }
}

// Flip shows the before image unturned at the start and the after image exactly at the end,
// through the colour key; edge-on half way it draws nothing; in between the turning face is
// narrower, never leaves its box, and its nearer edge (the top while the before face turns
// away, the bottom once the after face turns in) is the wider one.
TEST(VisibilityAnimation, flip_turns_from_before_to_after)
{
    auto after = make_render_surface(30, 20, after_colour);
    for (int x = 0; x < 30; ++x)
        after->surface()->set_pixel(x, 3, Pixel(x + 1)); // a distinct row to check the sampling
    after->surface()->set_pixel(7, 9, transparent_pixel);
    auto before = make_render_surface(30, 20, before_colour);
    RenderSurface target;
    ASSERT_TRUE(target.recreate(50, 40));

    auto frame = [&](double progress) {
        auto a = VisibilityAnimation::create(u"flip");
        a->start(before, after, +1);
        (void)a->tick(progress / 5.0);
        target.surface()->clear(ground);
        a->draw(target, { 10, 10 });
    };
    frame(0.0);
    EXPECT_EQ(test::changed_bounds(*target.surface(), ground), (Rect { 10, 10, 40, 30 }));
    EXPECT_EQ(target.surface()->pixel(10, 10), before_colour);

    frame(0.999999);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            Pixel p = after->surface()->pixel(x, y);
            ASSERT_EQ(target.surface()->pixel(10 + x, 10 + y), p == transparent_pixel ? ground : p)
                << x << "," << y;
        }

    frame(0.5);
    EXPECT_EQ(test::count_not(*target.surface(), ground), 0);

    auto row_width = [&](std::int32_t y) {
        int n = 0;
        for (int x = 0; x < 50; ++x)
            n += target.surface()->pixel(x, y) != ground;
        return n;
    };
    for (double p : { 0.2, 0.4, 0.6, 0.8 }) {
        frame(p);
        Rect drawn = test::changed_bounds(*target.surface(), ground);
        EXPECT_FALSE(drawn.is_empty()) << p;
        EXPECT_LT(drawn.height(), 20) << p;
        EXPECT_GE(drawn.min_x, 10 - 30) << p;
        Pixel face = p < 0.5 ? before_colour : after_colour;
        EXPECT_EQ(target.surface()->pixel(25, 20), face) << p;
        EXPECT_EQ(row_width(drawn.min_y) > row_width(drawn.max_y - 1), p < 0.5) << p;
    }
}
