#include "WidgetTestSupport.h"

#include "device/core/KeyCode.h"
#include "device/skin/render/RenderSurface.h"

#include <tuple>

using namespace corvane;
using namespace corvane::test;

namespace {

struct RecordingHandler : ButtonHandler {
    int clicks = 0;
    std::vector<bool> cancels; // one per pressed-state change
    void clicked(ButtonElement&, Point, std::int32_t) override { ++clicks; }
    void pressed_changed(ButtonElement&, Point, bool cancelled) override
    {
        cancels.push_back(cancelled);
    }
};

class Buttons : public WidgetTest {
protected:
    ButtonElement& ok()
    {
        build(u"ButtonTest", 100, 60);
        auto& button = find<ButtonElement>(u"ok");
        button.set_handler(&handler);
        return button;
    }

    bool shows(WStringView id) { return find<Element>(id).is_visible(); }

    RecordingHandler handler;
};

} // namespace

// Press and release on the button click once; the pressed image shows only while pressed; the
// text reaches "#text". Releasing outside, or a button disabled while pressed, does not click.
TEST_F(Buttons, OnlyAReleaseOnTheEnabledButtonClicks)
{
    ButtonElement& button = ok();
    EXPECT_EQ(find<TextElement>(u"#text").text(), u"Okay");
    EXPECT_TRUE(shows(u"#normal"));
    ASSERT_TRUE(root->pointer_event(press_at(50, 30)));
    EXPECT_TRUE(button.is_pressed());
    EXPECT_TRUE(shows(u"#pressed"));
    EXPECT_FALSE(shows(u"#normal"));
    root->pointer_event(release_at(50, 30));
    EXPECT_EQ(handler.clicks, 1);
    EXPECT_EQ(handler.cancels, (std::vector<bool> { false, false }));
    EXPECT_TRUE(shows(u"#normal"));

    // Released outside: the state change but no click. Disabled while pressed: "#disabled",
    // a cancelled release and no click.
    handler.clicks = 0;
    handler.cancels.clear();
    root->pointer_event(press_at(50, 30));
    root->pointer_event(release_at(95, 5)); // the capture brings the release to the button
    EXPECT_EQ(handler.clicks, 0);
    EXPECT_EQ(handler.cancels.size(), 2u);

    root->pointer_event(press_at(50, 30));
    button.set_enabled(false);
    button.tick(0.04);
    EXPECT_TRUE(shows(u"#disabled"));
    root->pointer_event(release_at(50, 30));
    EXPECT_EQ(handler.clicks, 0);
    ASSERT_EQ(handler.cancels.size(), 4u);
    EXPECT_TRUE(handler.cancels[3]);
    EXPECT_TRUE(shows(u"#disabled"));

    // The bound key clicks on its release; a hidden button never hears it; an unknown key word
    // binds nothing.
    button.set_enabled(true);
    auto enter = static_cast<std::int32_t>(KeyCode::Enter);
    EXPECT_EQ(button.bound_key(), enter);
    EXPECT_EQ(find<ButtonElement>(u"nokey").bound_key(), 0);
    EXPECT_TRUE(root->key_event({ enter, true, true }));
    EXPECT_TRUE(shows(u"#pressed"));
    root->key_event({ enter, false, true });
    EXPECT_EQ(handler.clicks, 1);
    button.set_visible(false);
    EXPECT_FALSE(root->key_event({ enter, true, true }));
    root->key_event({ enter, false, true });
    EXPECT_EQ(handler.clicks, 1);
}

// A drag over a pressed button reports the movement since the last point the handler took.
TEST_F(Buttons, DragReportsMovementLessWhatWasConsumed)
{
    struct Slider : RecordingHandler {
        std::vector<std::int32_t> dxs;
        void dragged(ButtonElement&, ButtonDrag& drag) override
        {
            dxs.push_back(drag.dx);
            drag.consumed_x = drag.dx / 2;
        }
    } slider;
    ok().set_handler(&slider);
    root->pointer_event(press_at(20, 30));
    root->pointer_moved(move_to(40, 30));
    root->pointer_moved(move_to(40, 30));
    EXPECT_EQ(slider.dxs, (std::vector<std::int32_t> { 0, 20, 10 }));
}

using Movies = WidgetTest;

// A movie with a default delay of 0.5 s shows each child for half a second, the child with its
// own delay for its own time, and cycles.
TEST_F(Movies, StepsThroughItsChildrenOnTime)
{
    build(u"Movie");
    auto& movie = find<MultiNodeElement>(u"movie");
    EXPECT_EQ(movie.current(), 0u);
    EXPECT_TRUE(find<Element>(u"f0").is_visible());
    EXPECT_FALSE(find<Element>(u"f1").is_visible());
    run_for(*root, 0.45, 0.05);
    EXPECT_EQ(movie.current(), 0u);
    run_for(*root, 0.1, 0.05);
    EXPECT_EQ(movie.current(), 1u);
    run_for(*root, 0.5, 0.05);
    EXPECT_EQ(movie.current(), 2u);
    run_for(*root, 1.4, 0.05);
    EXPECT_EQ(movie.current(), 2u);
    run_for(*root, 0.1, 0.05);
    EXPECT_EQ(movie.current(), 0u);
    EXPECT_TRUE(find<Element>(u"f0").is_visible());
    EXPECT_FALSE(find<Element>(u"f2").is_visible());
    movie.set_visible(false);
    run_for(*root, 2, 0.05);
    EXPECT_EQ(movie.current(), 0u);
}

using Progress = WidgetTest;

// At 0.5 a 100-pixel track gets a 50-pixel bar as high as the track minus its borders.
TEST_F(Progress, BarFollowsTheFraction)
{
    build(u"Progress", 100, 20);
    auto& bar = find<ProgressElement>(u"bar");
    bar.set_fraction(0.5);
    layout();
    Element& line = find<Element>(u"#line");
    EXPECT_EQ(std::tuple(line.width(), line.height(), line.x()), std::tuple(50, 16, bar.x()));
    bar.set_fraction(0.001);
    layout();
    EXPECT_EQ(line.width(), 0);
    bar.set_fraction(7);
    layout();
    EXPECT_EQ(line.width(), 100);
}

using Pictures = WidgetTest;

// A mask of the picture's size lets the picture through where the mask is blue and keeps the
// background elsewhere; "grow" gives the element the picture's size.
TEST_F(Pictures, MaskBlendsThePicture)
{
    build(u"Picture", 100, 100);
    auto& masked = find<ImageElement>(u"masked");
    EXPECT_EQ(masked.size(), (Size { 8, 8 }));
    ASSERT_NE(masked.blender(), nullptr);
    RenderSurface surface;
    ASSERT_TRUE(surface.recreate(40, 10));
    Pixel white = Color { 255, 255, 255, 255 }.to_565();
    surface.fill_color({}, surface.size(), Color { 255, 255, 255, 255 });
    root->paint(surface, {});
    Pixel red = surface.surface()->pixel(1, 1);
    EXPECT_EQ(red_of(red), 0xF8);
    EXPECT_EQ(blue_of(red), 0);
    EXPECT_EQ(surface.surface()->pixel(6, 1), white);
    // The alpha-0 image uses the colour key: its opaque red pixels are drawn.
    EXPECT_EQ(red_of(surface.surface()->pixel(21, 1)), 0xF8);
}
