#pragma once

#include "device/core/ActiveTimer.h"
#include "device/skin/render/Geometry.h"
#include "device/skin/skin/InputEvents.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

class Application;
class Clock;
class Element;

// Plays a UI script against the running program, one command per line, as a person would:
// taps, keys, typing, drags and flings go in through the application's input operations, and
// expectations are checked against the top screen's elements. Time is program time (the
// virtual clock when headless). The commands are described in docs/script.md. Main thread.
class ScriptDriver final : private ActiveTimerListener {
public:
    struct Command {
        std::size_t line { 0 };
        std::string verb;
        std::vector<std::string> words; // the arguments split at spaces
        std::string rest; // everything after the verb, or after the first argument for texts
    };

    // The application and clock must outlive the driver.
    ScriptDriver(Application& application, const Clock& clock, std::string path);
    ~ScriptDriver() override;
    ScriptDriver(const ScriptDriver&) = delete;
    ScriptDriver& operator=(const ScriptDriver&) = delete;

    // Reads and checks the whole script; false with "FILE:LINE: why" in `error` otherwise.
    [[nodiscard]] bool load(std::string& error);
    // Parses script text; exposed for tests.
    [[nodiscard]] static bool parse(
        const std::string& text, std::vector<Command>& out, std::string& error_at_line);
    // Starts playing shortly after the first frames.
    void start();

    bool finished() const { return m_finished; }
    // 0 when every command ran and every expectation held.
    int exit_code() const { return m_exit_code; }
    const std::string& failure() const { return m_failure; }

    // The element at an id path from `root` ("list/row", "@3" for a list's live item 3).
    static Element* find_path(Element& root, const std::string& path, std::string& missing);

private:
    struct Step {
        std::uint32_t delay_ms { 0 };
        std::function<bool()> action; // false: the command failed (m_failure says why)
    };

    void timer_fired(ActiveTimer& timer, int reserved) override;
    // Turns a command into its steps: one queue_* per kind of command, then a pause that lets
    // the screen settle.
    void expand(const Command& command);
    void queue_step(std::uint32_t delay_ms, std::function<bool()> action);
    void queue_tap(const Command& command);
    void queue_key(const Command& command);
    void queue_typing(const Command& command);
    void queue_drag(const Command& command);
    void queue_wait(const Command& command);
    void queue_wait_for(const Command& command);
    void queue_tap_text(const Command& command);
    void queue_wait_file(const Command& command);
    void queue_expect_text(const Command& command);
    void queue_expect_visible(const Command& command);
    void queue_expect_screen(const Command& command);
    void queue_shot(const Command& command);
    void queue_clipboard(const Command& command);
    void queue_quit(const Command& command);
    void next();
    void fail(const Command& command, const std::string& why);
    void finish(int code);
    Element* find(const Command& command, const std::string& path);
    PointerEvent pointer(Point point, bool pressed) const;
    bool take_shot(const std::string& file);
    // A step that checks an element's visibility and polls again until the deadline.
    // A step that taps the first element showing the command's text, once one is on screen.
    std::function<bool()> make_text_tap(
        const Command* command, std::shared_ptr<std::uint32_t> deadline);
    // A step that waits, in real time, for a file that something outside the program makes.
    std::function<bool()> make_file_poll(
        const Command* command, std::shared_ptr<std::chrono::steady_clock::time_point> deadline);
    std::function<bool()> make_poll(
        const Command* command, bool want_visible, std::shared_ptr<std::uint32_t> deadline);

    Application& m_application;
    const Clock& m_clock;
    std::string m_path;
    std::vector<Command> m_commands;
    std::size_t m_next_command { 0 };
    const Command* m_current { nullptr };
    std::deque<Step> m_steps;
    ActiveTimer m_timer;
    bool m_finished { false };
    int m_exit_code { 0 };
    std::string m_failure;
};

} // namespace corvane
