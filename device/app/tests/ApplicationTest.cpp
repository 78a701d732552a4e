#include "device/shell/Application.h"
#include "device/app/PreviewScreen.h"
#include "device/app/tests/AppTestSupport.h"
#include "device/core/FatalFault.h"
#include "device/core/KeyCode.h"
#include "device/shell/GameBase.h"
#include "device/shell/PageTransition.h"
#include "device/shell/Screen.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/skin/SkinErrors.h"
#include "device/skin/widgets/EditElement.h"
#include "device/skin/widgets/EditHost.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// A screen that fills itself with one colour and records what the stack tells it.
class TestScreen final : public Screen {
public:
    explicit TestScreen(Color color = { 255, 255, 255, 255 }, bool with_transition = false)
        : m_color(color)
    {
        if (with_transition)
            set_visibility_animation(VisibilityAnimation::create(u"right"));
    }
    void set_active(ScreenState state) override
    {
        Screen::set_active(state);
        states.push_back(state);
    }
    void draw(RenderSurface& surface, Point origin) override
    {
        // Like a list, which lays out its rows only when advanced.
        if (!lays_out_when_advanced || !ticks.empty())
            surface.fill_color(origin, size(), m_color);
    }
    void tick(double seconds) override
    {
        ticks.push_back(seconds);
        Screen::tick(seconds);
    }
    bool key_event(const KeyEvent& event) override
    {
        keys.push_back(event);
        return false;
    }

    std::vector<ScreenState> states;
    std::vector<double> ticks;
    std::vector<KeyEvent> keys;
    bool lays_out_when_advanced { false };

private:
    Color m_color;
};

struct ApplicationTest : ::testing::Test, HeadlessRig {
    std::unique_ptr<Application> application;
    RenderSurface frame;

    void SetUp() override
    {
        (void)environment.settings().write(u"HKEY_CURRENT_USER\\Software\\Ulmar",
            u"EmergencyNumbers", std::u16string(u"112; 911;;0"));
        application = std::make_unique<Application>(u"Corvane", make_window(), clock);
        ASSERT_TRUE(frame.recreate(480, 640));
    }

    Pixel draw() { return draw_at(240, 320); }
    Pixel draw_at(int x, int y)
    {
        application->draw_frame(frame);
        return frame.surface()->pixel(x, y);
    }

    static KeyEvent press(KeyCode code)
    {
        return { .code = static_cast<std::int32_t>(code), .pressed = true };
    }
};

} // namespace

// The built-in kinds are registered for the application's life and the emergency numbers are
// read from the platform, empty entries dropped. With no screen every routing answers true and
// a frame is the background colour.
TEST_F(ApplicationTest, construction_registers_kinds_and_reads_emergency_numbers)
{
    EXPECT_TRUE(application->on_key(press(KeyCode::Enter)));
    EXPECT_TRUE(application->on_char(u"x"));
    EXPECT_TRUE(application->on_pointer_button(PointerEvent {}));
    application->set_background_color({ 255, 0, 0, 255 });
    EXPECT_EQ(draw(), 0xF800);
    for (const char16_t* kind : { u"node", u"color", u"clip" })
        EXPECT_TRUE(is_element_kind_registered(kind)) << to_utf8(kind);
    EXPECT_EQ(application->emergency_numbers(), (std::vector<WString> { u"112", u"911", u"0" }));
    // A second application object in one process is a broken invariant.
    EXPECT_EXIT(
        {
            WindowOptions options;
            options.headless = true;
            Application second(u"Corvane", std::make_unique<HeadlessWindow>(options), clock);
        },
        ::testing::ExitedWithCode(corvane::test::fatal_exit_code()), "");
    EXPECT_TRUE(logged(u"Gluck: Singleton is already instantiated @ Singleton::Singleton()\n"));
    application.reset();
    EXPECT_FALSE(is_element_kind_registered(u"node"));
    EXPECT_THROW(create_element(u"node"), NodeNotRegistered);
}

// Opening an overlay fades what lies below to half brightness in eight frames; closing it
// brings full brightness back in eight frames. Overlays stack on overlays over one snapshot. A
// page covered in the frame it was shown is pictured laid out; before, a dialog shown at once
// over a fresh list showed an empty page under it.
TEST_F(ApplicationTest, overlay_dims_over_eight_frames)
{
    TestScreen page({ 255, 255, 255, 255 });
    page.lays_out_when_advanced = true;
    Screen overlay; // draws nothing, so the dimmed page shows
    application->show_screen(page, false, false);
    application->show_screen(overlay, true, false);
    EXPECT_EQ(page.state(), ScreenState::Inactive);
    EXPECT_EQ(overlay.state(), ScreenState::ActiveOverlay);
    std::vector<int> levels;
    for (int frame_number = 0; frame_number < 8; ++frame_number) {
        EXPECT_TRUE(application->needs_frame(false));
        draw();
        levels.push_back(application->dim_level());
    }
    EXPECT_EQ(levels, (std::vector<int> { 240, 224, 208, 192, 176, 160, 144, 128 }));
    // One more frame shows the half-bright picture, and then nothing is needed any more.
    EXPECT_EQ(draw(), 0x7BEF);
    EXPECT_FALSE(application->needs_frame(false));
    EXPECT_TRUE(application->needs_frame(true));
    draw();
    EXPECT_FALSE(application->needs_frame(true));

    // An overlay over the overlay shares its snapshot; closing it leaves the lower one an
    // active overlay and the page below it inactive.
    const RenderSurface* snapshot = application->background_snapshot();
    ASSERT_NE(snapshot, nullptr);
    TestScreen second({ 0, 255, 0, 255 });
    application->show_screen(second, true, false);
    EXPECT_EQ(application->background_snapshot(), snapshot);
    EXPECT_EQ(overlay.state(), ScreenState::Inactive);
    ASSERT_TRUE(application->close_screen(second, false));
    EXPECT_EQ(overlay.state(), ScreenState::ActiveOverlay);
    EXPECT_EQ(second.state(), ScreenState::Inactive);
    EXPECT_EQ(page.state(), ScreenState::Inactive);
    EXPECT_TRUE(application->is_top_overlay());

    ASSERT_TRUE(application->close_screen(overlay, false));
    EXPECT_EQ(page.state(), ScreenState::Active);
    EXPECT_EQ(application->background_snapshot(), nullptr);
    for (int frame_number = 0; frame_number < 8; ++frame_number)
        draw();
    EXPECT_EQ(application->dim_level(), 256);
    EXPECT_EQ(draw(), 0xFFFF);

    // While the debug log is on, the corner of every frame is darkened for the diagnostic line;
    // with the log off it is not.
    clock.advance(40);
    EXPECT_NE(draw_at(149, 19), 0xFFFF);
    EXPECT_EQ(draw_at(151, 21), 0xFFFF);
    (void)environment.settings().write(
        u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", std::uint32_t(0));
    EXPECT_EQ(draw_at(149, 19), 0xFFFF);
}

// Without animation, or for a screen without a visibility animation, no transition runs.
// Closing a screen while its opening transition runs turns that transition round instead of
// starting another; showing it again while it closes turns it round once more; showing a
// screen without animation ends a running transition. A page sliding in is pictured laid out.
// Closing a screen that is not on top removes it silently: the top stays active and no transition
// starts; closing a screen that is not on the stack answers false.
TEST_F(ApplicationTest, transitions_reverse_and_run_only_when_animated_and_on_top)
{
    TestScreen home({ 0, 0, 255, 255 }, true);
    TestScreen plain({ 0, 0, 255, 255 });
    TestScreen page({ 255, 255, 255, 255 }, true);
    page.lays_out_when_advanced = true;
    TestScreen stranger;
    application->show_screen(home, false, false);
    application->show_screen(plain, false, true);
    EXPECT_EQ(application->transition(), nullptr);
    application->show_screen(page, false, true);
    const PageTransition* opening = application->transition();
    ASSERT_NE(opening, nullptr);
    EXPECT_EQ(std::pair(opening->direction(), opening->target() == &page), std::pair(+1, true));
    EXPECT_TRUE(application->needs_frame(false));
    application->advance(0.05);
    EXPECT_EQ(draw_at(470, 320), 0xFFFF);

    ASSERT_TRUE(application->close_screen(page, true));
    EXPECT_EQ(application->transition(), opening);
    EXPECT_EQ(opening->direction(), -1);
    EXPECT_EQ(std::pair(plain.state(), page.state()),
        std::pair(ScreenState::Active, ScreenState::Inactive));
    EXPECT_EQ(application->screen_count(), 2u);

    application->show_screen(page, false, true);
    EXPECT_EQ(application->transition(), opening);
    EXPECT_EQ(opening->direction(), +1);
    EXPECT_EQ(std::pair(plain.state(), page.state()),
        std::pair(ScreenState::Inactive, ScreenState::Active));

    // While the transition runs the screens are not advanced; it ends within 0.2 s of play.
    for (int i = 0; i < 10 && application->transition(); ++i)
        application->advance(0.04);
    EXPECT_EQ(application->transition(), nullptr);
    EXPECT_EQ(page.ticks, (std::vector<double> { 0 })); // laid out for its picture
    application->advance(0.04);
    EXPECT_EQ(page.ticks, (std::vector<double> { 0, 0.04 }));
    EXPECT_EQ(std::pair(page.width(), page.height()), std::pair(480, 640)); // the client's size
    EXPECT_EQ(draw(), 0xFFFF);

    std::size_t page_states = page.states.size();
    ASSERT_TRUE(application->close_screen(home, true));
    EXPECT_EQ(application->screen_count(), 2u);
    EXPECT_EQ(application->top_screen(), &page);
    EXPECT_EQ(page.states.size(), page_states);
    EXPECT_EQ(home.state(), ScreenState::Inactive);
    EXPECT_EQ(application->transition(), nullptr);
    EXPECT_FALSE(application->close_screen(stranger, true));
    EXPECT_FALSE(application->close_screen(home, true));
    EXPECT_EQ(application->screen_count(), 2u);

    ASSERT_TRUE(application->close_screen(page, true));
    ASSERT_NE(application->transition(), nullptr);
    EXPECT_EQ(std::pair(application->transition()->direction(),
                  application->transition()->target() == &page),
        std::pair(-1, true));
    application->show_screen(page, false, false);
    EXPECT_EQ(application->transition(), nullptr);
}

// The call key after digits that end with an emergency number dials it, suspends drawing and
// keeps the key from the screens; a letter clears the digits; releases are not counted.
TEST_F(ApplicationTest, call_key_dials_emergency_numbers)
{
    TestScreen page;
    application->show_screen(page, false, false);
    for (KeyCode code : { KeyCode(46 + 5), KeyCode(46 + 1), KeyCode(46 + 1), KeyCode(46 + 2) })
        application->on_key(press(code));
    application->on_key({ .code = static_cast<std::int32_t>(KeyCode::A), .pressed = false });
    EXPECT_EQ(application->dialled_digits(), u"5112");
    EXPECT_TRUE(application->on_key(press(KeyCode::CallMake)));
    EXPECT_TRUE(application->window().is_suspended());
    EXPECT_TRUE(application->dialled_digits().empty());
    EXPECT_EQ(page.keys.size(), 5u); // the four digits and the release, not the call key
    EXPECT_TRUE(logged(u"try call 5112\nemergency call 112\n"));

    for (KeyCode code : { KeyCode(46 + 9), KeyCode(46 + 1), KeyCode(21) })
        application->on_key(press(code));
    EXPECT_TRUE(application->dialled_digits().empty());
    for (KeyCode code : { KeyCode(46 + 9), KeyCode(46 + 1) })
        application->on_key(press(code));
    EXPECT_FALSE(application->on_key(press(KeyCode::CallMake)));
    EXPECT_EQ(page.keys.back().code, static_cast<std::int32_t>(KeyCode::CallMake));
    EXPECT_TRUE(application->dialled_digits().empty());
    EXPECT_TRUE(logged(u"try call 91\n"));
}

// Keys and typing belong to the top screen. A message box over a field being edited takes
// Backspace (Esc on many keypads) and typed text itself; the hidden field keeps its text and
// does not take typing again when the box closes, only after a new tap. Closing the field's
// screen ends its editing too, so nothing typed later lands in it unseen.
TEST_F(ApplicationTest, covered_or_closed_edit_takes_no_input)
{
    ApplicationEditHost host(*application);
    set_edit_host(&host);
    struct HostReset {
        ~HostReset() { set_edit_host(nullptr); }
    } reset_host;
    TestScreen login;
    auto& email = static_cast<EditElement&>(login.add_child(std::make_unique<EditElement>()));
    application->show_screen(login, false, false);
    PointerEvent tap;
    tap.pressed = true;
    email.pointer_event(tap);
    EXPECT_TRUE(application->on_char(u"bob"));
    EXPECT_EQ(email.value(), u"bob");

    TestScreen box;
    application->show_screen(box, true, false);
    EXPECT_EQ(application->edited_element(), nullptr);
    EXPECT_FALSE(email.is_current());
    EXPECT_FALSE(application->on_char(u"xyz"));
    application->on_key(press(KeyCode::Backspace));
    EXPECT_EQ(email.value(), u"bob");
    ASSERT_EQ(box.keys.size(), 1u);
    EXPECT_EQ(box.keys[0].code, static_cast<std::int32_t>(KeyCode::Backspace));

    application->close_screen(box, false);
    application->on_char(u"x");
    EXPECT_EQ(email.value(), u"bob");
    email.pointer_event(tap);
    application->on_char(u"!");
    EXPECT_EQ(email.value(), u"bob!");

    // Left with the caret in the field: the next screen's typing stays out of it.
    TestScreen next;
    application->close_screen(login, false);
    EXPECT_EQ(application->edited_element(), nullptr);
    application->show_screen(next, false, false);
    application->on_char(u"q");
    application->on_key(press(KeyCode::Backspace));
    EXPECT_EQ(email.value(), u"bob!");
    EXPECT_EQ(next.keys.size(), 1u);
}
