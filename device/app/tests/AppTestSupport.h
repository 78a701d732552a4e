#pragma once

#include "common/base/Text.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/testing/LogFile.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/platform/VirtualClock.h"
#include "device/platform/linux/HeadlessWindow.h"
#include "device/platform/linux/LinuxClock.h"
#include "device/shell/ApplicationListener.h"
#include "device/shell/GameClient.h"
#include "device/skin/render/RenderSurface.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane::test {

// A private temporary folder that is also the runtime folder (where the start-up lock and the
// instance socket live), so tests never meet a real instance of the program.
class AppTestEnvironment : public TestEnvironment {
public:
    AppTestEnvironment()
    {
        if (const char* previous = std::getenv("XDG_RUNTIME_DIR"))
            m_previous_runtime = previous;
        setenv("XDG_RUNTIME_DIR", folder().c_str(), 1);
    }
    ~AppTestEnvironment()
    {
        if (m_previous_runtime)
            setenv("XDG_RUNTIME_DIR", m_previous_runtime->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::optional<std::string> m_previous_runtime;
};

// A headless window on a virtual clock, with the debug log of a private environment on.
struct HeadlessRig {
    HeadlessRig() { environment.enable_log(); }
    // The window for the object under test, which owns it; `window` stays a view of it.
    std::unique_ptr<HeadlessWindow> make_window()
    {
        WindowOptions options;
        options.headless = true;
        options.virtual_clock = &clock;
        auto made = std::make_unique<HeadlessWindow>(options);
        window = made.get();
        return made;
    }

    AppTestEnvironment environment;
    LinuxClock real_clock;
    VirtualClock clock { real_clock };
    HeadlessWindow* window { nullptr };
};

// Whether the debug log holds `text` exactly `times` times (at least once when `times` is 0);
// a failure shows the log.
inline ::testing::AssertionResult logged(std::u16string_view text, std::size_t times = 0)
{
    std::u16string log = read_log();
    std::size_t found = 0;
    for (std::size_t at = log.find(text); at != std::u16string::npos; at = log.find(text, at + 1))
        ++found;
    if (times == 0 ? found > 0 : found == times)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << found << " times \"" << to_utf8(WString(text)) << "\" in:\n"
        << to_utf8(log);
}

// Records what the window object hands to its client.
class RecordingClient : public GameClient {
public:
    void advance(double seconds) override
    {
        advances.push_back(seconds);
        if (on_advance)
            on_advance();
    }
    void draw_frame(RenderSurface& surface) override
    {
        ++draws;
        surface.fill_color({ 0, 0 }, surface.size(), { 0, 0, 255, 255 });
        wanted = false;
    }
    bool needs_frame(bool) override { return wanted; }
    bool on_key(const KeyEvent& event) override
    {
        keys.push_back(event);
        return true;
    }
    bool on_char(WStringView text) override
    {
        chars.emplace_back(text);
        return true;
    }
    void on_pointer_move(const PointerEvent&) override { }
    bool on_pointer_button(const PointerEvent& event) override
    {
        buttons.push_back(event);
        return true;
    }
    ApplicationListener* listener() const override { return installed_listener; }
    void set_redraw() override { wanted = true; }
    void keep_screen_as_background(const RenderSurface&) override { ++kept_backgrounds; }

    std::vector<double> advances;
    std::function<void()> on_advance;
    int draws { 0 };
    bool wanted { true };
    std::vector<KeyEvent> keys;
    std::vector<WString> chars;
    std::vector<PointerEvent> buttons;
    ApplicationListener* installed_listener { nullptr };
    int kept_backgrounds { 0 };
};

class RecordingListener : public ApplicationListener {
public:
    void on_command_line(const WString& command_line) override
    {
        command_lines.push_back(command_line);
    }
    bool may_close() override
    {
        ++close_requests;
        return allow_close;
    }
    void on_screen_shown(Element&) override { }
    void on_screen_closed(Element&) override { }
    void on_resolution_changed() override { ++resolution_changes; }
    void on_help() override { }
    void on_deactivate() override { ++deactivations; }
    void on_activate() override { }
    bool on_key_event(const KeyEvent& event) override
    {
        listener_keys.push_back(event);
        return take_keys;
    }

    std::vector<WString> command_lines;
    bool allow_close { true };
    int close_requests { 0 };
    int resolution_changes { 0 };
    int deactivations { 0 };
    std::vector<KeyEvent> listener_keys;
    bool take_keys { false };
};

} // namespace corvane::test
