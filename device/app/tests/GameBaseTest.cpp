#include "device/shell/GameBase.h"
#include "device/app/tests/AppTestSupport.h"
#include "device/core/FatalFault.h"
#include "device/core/KeyCode.h"
#include "device/platform/MessageLoop.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Element.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

using namespace corvane;
using namespace corvane::test;
using ::testing::_;
using ::testing::DoubleEq;
using ::testing::ElementsAre;

namespace {

struct GameBaseTest : ::testing::Test, HeadlessRig {
    RecordingClient client;
    RecordingListener listener;
    std::unique_ptr<GameBase> game;

    void SetUp() override
    {
        game = std::make_unique<GameBase>(u"Corvane", make_window(), clock, client);
        client.installed_listener = &listener;
    }

    // Handles every message that is waiting now, without waiting for timers.
    void pump()
    {
        while (std::optional<Message> message = game->message_loop().peek_message())
            game->dispatch(*message);
    }

    void input(MessageKind kind, std::uint32_t wparam = 0, std::int32_t lparam = 0,
        std::int32_t x = 0, std::int32_t y = 0)
    {
        window->push_input(
            { .kind = kind, .wparam = wparam, .lparam = lparam, .x = x, .y = y, .text = {} });
        pump();
    }
    void copy_data(const std::u16string& text)
    {
        game->message_loop().post({ .kind = MessageKind::CopyData, .text = text });
    }

    // How frames are made: "direct" or "timer", " windowed" in a window, " ticking" while the
    // frame timer runs.
    std::string mode() const
    {
        return std::string(game->is_direct() ? "direct" : "timer")
            + (game->is_windowed() ? " windowed" : "")
            + (game->message_loop().has_timer(frame_timer_id) ? " ticking" : "");
    }

    // What the client heard, one event a line: keys as "<code> down|up [repeat]", buttons as
    // "down|up|cancelled x,y".
    std::string heard() const
    {
        std::string out;
        for (const KeyEvent& key : client.keys)
            out += "key " + std::to_string(key.code) + (key.pressed ? " down" : " up")
                + (key.first ? "" : " repeat") + "\n";
        for (const PointerEvent& button : client.buttons)
            out += std::string(button.cancelled ? "cancelled "
                           : button.pressed     ? "down "
                                                : "up ")
                + std::to_string(button.x) + "," + std::to_string(button.y) + "\n";
        return out;
    }
};

} // namespace

// The window is created at the display's size and starts in timer mode (the program's start-up
// test checks the stages it logs). The smartphone question is asked of the platform once and
// logged once.
// A second window object in one process is a broken invariant.
TEST_F(GameBaseTest, construction_creates_the_window_in_timer_mode)
{
    DisplayInfo display = game->display_info();
    EXPECT_EQ(mode(), "timer windowed ticking");
    EXPECT_EQ(
        std::tuple(window->has_window(), to_utf8(window->title()), window->geometry().width,
            window->geometry().height, game->menu_bar_height(), display.scale_shift, display.dpi),
        std::tuple(true, "Corvane", 480, 640, 0, 1, 192));
    EXPECT_FALSE(game->is_smartphone());
    EXPECT_FALSE(game->is_smartphone());
    EXPECT_TRUE(logged(u"static_capability_is_smartphone=PocketPC\n", 1));

    EXPECT_EXIT(
        {
            RecordingClient other;
            WindowOptions options;
            options.headless = true;
            GameBase second(u"Corvane", std::make_unique<HeadlessWindow>(options), clock, other);
        },
        ::testing::ExitedWithCode(corvane::test::fatal_exit_code()), "");
    EXPECT_TRUE(logged(u"Gluck: instance != 0 @ Application::Application\n"));
}

// In timer mode the loop advances every 40 ms and paints each step; a stall of two seconds
// advances by 0.1 s only.
// Time steps are the elapsed ticks in seconds, clamped to 0.001 .. 0.1, also across a wrap.
TEST_F(GameBaseTest, timer_mode_advances_and_paints)
{
    client.on_advance = [this] {
        if (client.advances.size() == 3)
            clock.advance(2000);
        if (client.advances.size() == 5)
            game->quit();
    };
    EXPECT_EQ(game->run(), 0);
    EXPECT_THAT(client.advances,
        ElementsAre(DoubleEq(0.04), DoubleEq(0.04), _, DoubleEq(0.1), DoubleEq(0.04)));
    EXPECT_GE(client.draws, 4);
    EXPECT_EQ(window->frame_width(), 480);
    EXPECT_EQ(window->frame()[0], 0x001F); // the client painted blue

    for (auto [now, before, seconds] :
        { std::tuple { 1000u, 1000u, 0.001 }, { 1040u, 1000u, 0.04 }, { 1100u, 1000u, 0.1 },
            { 9000u, 1000u, 0.1 }, { 990u, 1000u, 0.001 }, { 20u, 0xFFFFFFF0u, 0.036 } })
        EXPECT_DOUBLE_EQ(GameBase::frame_seconds(now, before), seconds) << now << " " << before;
}

// An inactive or suspended window does not advance; user input or activation resumes it.
// A close request asks the listener; a refusal keeps the window, consent ends the loop.
TEST_F(GameBaseTest, paused_and_suspended_windows_do_not_advance)
{
    input(MessageKind::Activate, 0);
    EXPECT_TRUE(game->is_paused());
    EXPECT_EQ(listener.deactivations, 1);
    clock.advance(40);
    pump();
    EXPECT_TRUE(client.advances.empty());
    input(MessageKind::Activate, 1);
    EXPECT_FALSE(game->is_paused());
    game->suspend();
    clock.advance(40);
    pump();
    EXPECT_TRUE(client.advances.empty());
    input(MessageKind::PointerMove, 0, 0, 5, 6);
    EXPECT_FALSE(game->is_suspended());
    clock.advance(40);
    pump();
    EXPECT_EQ(client.advances.size(), 1u);

    listener.allow_close = false;
    input(MessageKind::Close);
    EXPECT_TRUE(window->has_window());
    listener.allow_close = true;
    window->push_input({ .kind = MessageKind::Close, .text = {} });
    EXPECT_EQ(game->run(), 0);
    EXPECT_FALSE(window->has_window());
    EXPECT_EQ(listener.close_requests, 2);
}

// F1 gives SOFT_LEFT to the screens, an auto-repeat is not "first", a release is; each key
// message is logged with its virtual key, name, key data and ticks. Characters are logged, and
// only printable ones (32 and up) reach the screens. A listener that takes a key keeps it from
// the screens. A stylus press and release report the release position; a capture lost while
// pressed reports a cancelled release off the display, and the later button-up nothing more.
TEST_F(GameBaseTest, keys_characters_and_stylus_are_mapped_logged_and_routed)
{
    input(MessageKind::KeyDown, 112, make_key_data(59, false, false));
    input(MessageKind::KeyDown, 112, make_key_data(59, true, false));
    input(MessageKind::KeyUp, 112, make_key_data(59, true, true));
    input(MessageKind::KeyDown, 200, make_key_data(0, false, false));
    const std::string soft_left = std::to_string(static_cast<int>(KeyCode::SoftLeft));
    EXPECT_EQ(heard(),
        "key " + soft_left + " down\nkey " + soft_left + " down repeat\nkey " + soft_left
            + " up\nkey 0 down\n");
    EXPECT_TRUE(logged(u"WM_KEYDOWN = 112(SOFT_LEFT) lParam="
        + to_wstring(make_key_data(59, false, false)) + u" ticks="));
    EXPECT_TRUE(logged(u"WM_KEYUP = 112(SOFT_LEFT) lParam="
        + to_wstring(make_key_data(59, true, true)) + u" ticks="));
    EXPECT_TRUE(logged(u"WM_KEYDOWN = 200(None) lParam="));
    // Keys outside the table's window are no key, not a read past its ends.
    for (std::uint32_t key : { 0u, 7u, 0xFFFFFFFFu })
        EXPECT_EQ(map_virtual_key(key), KeyCode::None) << key;
    for (std::uint32_t key = 121; key < 70000; ++key)
        ASSERT_EQ(map_virtual_key(key), KeyCode::None) << key;
    EXPECT_STREQ(key_name(map_virtual_key(8)), "Backspace");
    EXPECT_STREQ(key_name(map_virtual_key(120)), "#");

    input(MessageKind::Char, 13, 1);
    input(MessageKind::Char, u'\u0416', 1);
    EXPECT_EQ(client.chars, (std::vector<WString> { u"\u0416" }));
    EXPECT_TRUE(logged(u"WM_CHAR=\r lParam=1 ticks="));
    EXPECT_TRUE(logged(u"WM_CHAR=\u0416 lParam=1 ticks="));

    std::size_t offered = listener.listener_keys.size();
    listener.take_keys = true;
    input(MessageKind::KeyDown, 65);
    EXPECT_EQ(listener.listener_keys.size(), offered + 1);
    EXPECT_EQ(client.keys.size(), 4u);

    client.keys.clear();
    input(MessageKind::ButtonDown, 0, 0, 10, 20);
    input(MessageKind::ButtonUp, 0, 0, 12, 22);
    EXPECT_FALSE(window->is_captured());
    input(MessageKind::ButtonDown, 0, 0, 30, 40);
    EXPECT_TRUE(window->is_captured());
    window->lose_capture();
    pump();
    input(MessageKind::ButtonUp, 0, 0, 31, 41);
    EXPECT_EQ(heard(), "down 10,20\nup 12,22\ndown 30,40\ncancelled -1000000,-1000000\n");
}

// Command lines handed over by other instances are delivered newest first; the empty marker
// becomes an empty command line.
// Turning the display is a resolution change: logged once, told to the listener once, and the
// window follows; a setting change that changes nothing is not reported.
TEST_F(GameBaseTest, command_lines_are_delivered_last_in_first_out)
{
    copy_data(u"first");
    copy_data(u"%CommandLineEmpty%");
    copy_data(u"third");
    pump();
    EXPECT_EQ(listener.command_lines, (std::vector<WString> { u"third", u"", u"first" }));
    EXPECT_EQ(game->queued_command_lines(), 0u);
    EXPECT_TRUE(logged(u"GameBase WM_COPYDATA cmd_line=first\n"));

    window->rotate();
    pump();
    EXPECT_EQ(listener.resolution_changes, 1);
    DisplayInfo display = game->display_info();
    EXPECT_EQ(std::tuple(display.width, display.height, display.rotation, window->geometry().width),
        std::tuple(640, 480, 1, 640));
    input(MessageKind::SettingChange, 47);
    input(MessageKind::SettingChange, 12);
    EXPECT_EQ(listener.resolution_changes, 1);
    EXPECT_TRUE(logged(u"Application::ResolutionChanged 2\n", 1));
}

// set_rotation switches to direct mode (frames drawn by the loop only when needed), keeping
// what is on the display as the background; set_windowed switches back to timer mode.
// Editing forces timer mode and ending it returns to direct mode and stores the SIP preference.
TEST_F(GameBaseTest, direct_mode_draws_only_needed_frames)
{
    input(MessageKind::Paint);
    EXPECT_EQ(client.draws, 1);
    game->set_windowed(false);
    game->set_rotation(0);
    EXPECT_EQ(mode(), "direct");
    EXPECT_EQ(client.kept_backgrounds, 1);
    DisplayInfo area = game->client_area();
    EXPECT_EQ(std::pair(area.work_width, area.work_height), std::pair(480, 640));

    int draws_before = client.draws;
    std::uint64_t presented_before = window->frames_presented();
    client.on_advance = [this] {
        if (client.advances.size() == 10)
            game->quit();
    };
    client.wanted = true;
    EXPECT_EQ(game->run(), 0);
    // Only the first frame was wanted: the client answers no once it has drawn.
    EXPECT_EQ(client.draws, draws_before + 1);
    EXPECT_EQ(window->frames_presented(), presented_before + 1);
    // Nothing waited before the first frame; after that the loop idles 10 ms between frames.
    EXPECT_DOUBLE_EQ(client.advances.at(0), 0.001);
    for (std::size_t i = 1; i < client.advances.size(); ++i)
        EXPECT_DOUBLE_EQ(client.advances[i], 0.01);

    game->set_rotation(0);
    EXPECT_EQ(mode(), "direct"); // same rotation in direct mode: nothing to do
    game->set_windowed(true);
    EXPECT_EQ(mode(), "timer windowed ticking");

    game->set_rotation(0);
    ASSERT_EQ(mode(), "direct");
    Element edited;
    game->set_edit(&edited, true);
    EXPECT_EQ(game->edited_element(), &edited);
    EXPECT_EQ(mode(), "timer ticking");
    game->set_edit(nullptr, false);
    EXPECT_EQ(mode(), "direct");
    auto stored
        = environment.settings().read(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"SIPPreference");
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::get<std::uint32_t>(*stored), 0u);
}
