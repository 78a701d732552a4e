#include "device/platform/linux/SdlWindow.h"
#include "device/platform/Platform.h"
#include "device/platform/linux/SdlKeys.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <thread>
#include <tuple>

// The sanitizer build checks for leaks at exit; the font-matching and desktop-bus libraries keep
// allocations of their own until then, which are not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

using namespace corvane;

namespace {

// A real SDL window on the test display (Xvfb in the test script).
struct SdlWindowFixture : ::testing::Test {
    std::unique_ptr<SdlWindow> window;

    void SetUp() override
    {
        if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        WindowOptions options;
        options.width = 240;
        options.height = 320;
        options.dpi = 96;
        std::string error;
        window = SdlWindow::create(options, error);
        if (!window)
            GTEST_SKIP() << "SDL video unavailable: " << error;
        ASSERT_TRUE(window->create_window(u"Corvane", 240, 320));
    }

    void push_key(SDL_Keycode key, bool down, Uint16 modifiers = KMOD_NONE, Uint8 repeat = 0)
    {
        SDL_Event event {};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = window->window_id();
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        event.key.keysym.mod = modifiers;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void push_window_event(Uint8 what)
    {
        SDL_Event event {};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = window->window_id();
        event.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    // Everything of these kinds the window has translated so far, ignoring window-system
    // chatter.
    std::vector<Message> drain(std::initializer_list<MessageKind> kinds)
    {
        std::deque<Message> out;
        window->wait_input(0, out);
        std::vector<Message> picked;
        for (const Message& message : out) {
            if (std::find(kinds.begin(), kinds.end(), message.kind) != kinds.end())
                picked.push_back(message);
        }
        return picked;
    }
};

} // namespace

using SdlWindowTest = SdlWindowFixture;

// The soft, call and volume keys sit on F1..F9 (the key scenario presses F1); keypad digits keep
// their own virtual keys; keys the device lacks give 0.
TEST(SdlKeys, desktop_keys_map_to_device_virtual_keys)
{
    EXPECT_EQ(virtual_key_for_sdl_key(SDLK_F9), 120u);
    EXPECT_EQ(virtual_key_for_sdl_key(SDLK_KP_0), 96u);
    EXPECT_EQ(virtual_key_for_sdl_key(SDLK_KP_7), 103u);
    EXPECT_EQ(virtual_key_for_sdl_key(SDLK_KP_ENTER), virtual_key_for_sdl_key(SDLK_RETURN));
    EXPECT_EQ(virtual_key_for_sdl_key(SDLK_CAPSLOCK), 0u);
}

// Key presses become key messages with repeat and release bits; keys that type control
// characters also give the character, as on the device. Ctrl+R turns the display: the
// resolution swaps, the rotation steps, and the loop hears of it as a setting change; R itself
// is not typed, even when Ctrl is let go first, while a plain R is a key again.
TEST_F(SdlWindowTest, keys_become_key_messages_and_ctrl_r_rotates)
{
    push_key(SDLK_F1, true);
    push_key(SDLK_F1, true, KMOD_NONE, 1);
    push_key(SDLK_F1, false);
    push_key(SDLK_BACKSPACE, true);
    push_key(SDLK_r, true, KMOD_LCTRL);
    push_key(SDLK_r, false);
    push_key(SDLK_r, true);
    using K = MessageKind;
    std::vector<Message> heard = drain({ K::KeyDown, K::KeyUp, K::Char, K::SettingChange });
    // Kind, key, and the repeat (30) and release (31) bits of each.
    std::vector<std::tuple<MessageKind, std::uint32_t, bool, bool>> seen;
    for (const Message& m : heard)
        seen.emplace_back(m.kind, m.wparam, (m.lparam & (1 << 30)) != 0, m.lparam < 0);
    EXPECT_EQ(seen,
        (decltype(seen) { { K::KeyDown, 112, false, false }, { K::KeyDown, 112, true, false },
            { K::KeyUp, 112, true, true }, { K::KeyDown, 8, false, false },
            { K::Char, 8, false, false }, { K::SettingChange, 47, false, false },
            { K::KeyDown, 82, false, false } }));
    DisplayState display = window->display();
    EXPECT_EQ(std::tuple(display.width, display.height, display.rotation), std::tuple(320, 240, 1));
}

// Only a window out of sight stops being active: losing the focus leaves it drawing news, but
// takes the stylus capture.
TEST_F(SdlWindowTest, focus_and_visibility_changes)
{
    drain({ MessageKind::Activate }); // whatever the window system said at creation
    const struct {
        Uint8 event;
        std::vector<std::uint32_t> activations;
    } cases[] = {
        { SDL_WINDOWEVENT_FOCUS_LOST, {} },
        { SDL_WINDOWEVENT_MINIMIZED, { 0 } },
        { SDL_WINDOWEVENT_RESTORED, { 1 } },
        { SDL_WINDOWEVENT_HIDDEN, { 0 } },
        { SDL_WINDOWEVENT_SHOWN, { 1 } },
    };
    for (const auto& c : cases) {
        push_window_event(c.event);
        std::vector<std::uint32_t> activations;
        for (const Message& message : drain({ MessageKind::Activate }))
            activations.push_back(message.wparam);
        EXPECT_EQ(activations, c.activations) << int(c.event);
    }

    // Losing the focus while the stylus holds the capture reports the lost capture once.
    window->capture_pointer();
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(drain({ MessageKind::CaptureChanged }).size(), 1u);
    EXPECT_FALSE(window->release_pointer());
}

// A wake-up from another thread ends a wait that has no time limit; a lost wake-up fails the
// test after ten seconds instead of hanging it.
TEST_F(SdlWindowTest, wake_from_another_thread_ends_the_wait)
{
    std::deque<Message> out;
    window->wait_input(0, out); // take what the window system said so far
    std::promise<void> returned;
    bool rescued = false;
    std::thread other([&, done = returned.get_future()] {
        window->wake();
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            rescued = true;
            SDL_Event rescue {};
            rescue.type = SDL_RegisterEvents(1);
            SDL_PushEvent(&rescue);
        }
    });
    window->wait_input(std::nullopt, out);
    returned.set_value();
    other.join();
    EXPECT_FALSE(rescued) << "the wait ended only on the rescue event";
}

// Presenting a frame puts its pixels on the window; the desktop clipboard carries text.
TEST_F(SdlWindowTest, frames_show_and_clipboard_carries_text)
{
    std::vector<std::uint16_t> pixels(240 * 320, 0xF800);
    window->present({ pixels.data(), 240, 320, 480 });
    SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(window->window_id()));
    ASSERT_NE(renderer, nullptr);
    Uint32 read = 0;
    SDL_Rect one { 5, 5, 1, 1 };
    // Read back before the next present; the back buffer holds the frame.
    window->present({ pixels.data(), 240, 320, 480 });
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ARGB8888, &read, 4), 0);
    EXPECT_EQ(read & 0x00FFFFFF, 0x00FF0000u);

    Clipboard& clipboard = platform_clipboard();
    std::vector<std::uint8_t> ticket = { 'h', 0, 0x16, 0x04, 0, 0 }; // "h\u0416"
    ASSERT_TRUE(clipboard.set(13, ticket, true));
    auto back = clipboard.get(13);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, ticket);
    auto narrow = clipboard.get(1);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(narrow->data())), "h\xD0\x96");
}
