#include "device/app/ScriptDriver.h"

#include "device/app/PngFile.h"
#include "device/app/PreviewScreen.h"
#include "device/app/ScriptElements.h"
#include "device/core/Clipboard.h"
#include "device/core/KeyCode.h"
#include "device/platform/Clock.h"
#include "device/shell/Application.h"
#include "device/shell/Screen.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/TextElement.h"

#include <cmath>
#include <filesystem>
#include <string_view>
#include <thread>
#include <utility>

// The steps each script command turns into, and the polls that wait for the screen.
namespace corvane {

using script::centre_of;
using script::find_showing;
using script::is_displayed_chain;
using script::parse_number;

namespace {

    constexpr std::uint32_t step_ms = 20;
    // Two frames of the 40 ms frame timer: what a command changed is ticked, laid out and
    // drawn before the next command looks at it.
    constexpr std::uint32_t settle_ms = 80;
    constexpr double wait_for_timeout = 5;
    constexpr int wait_file_timeout = 60; // seconds of real time

} // namespace

void ScriptDriver::expand(const Command& command)
{
    using Queue = void (ScriptDriver::*)(const Command&);
    static const std::pair<std::string_view, Queue> verbs[] = {
        { "tap", &ScriptDriver::queue_tap },
        { "press", &ScriptDriver::queue_key },
        { "release", &ScriptDriver::queue_key },
        { "type", &ScriptDriver::queue_typing },
        { "drag", &ScriptDriver::queue_drag },
        { "fling", &ScriptDriver::queue_drag },
        { "wait", &ScriptDriver::queue_wait },
        { "wait_for", &ScriptDriver::queue_wait_for },
        { "tap_text", &ScriptDriver::queue_tap_text },
        { "wait_file", &ScriptDriver::queue_wait_file },
        { "expect_text", &ScriptDriver::queue_expect_text },
        { "expect_visible", &ScriptDriver::queue_expect_visible },
        { "expect_screen", &ScriptDriver::queue_expect_screen },
        { "shot", &ScriptDriver::queue_shot },
        { "clipboard", &ScriptDriver::queue_clipboard },
        { "quit", &ScriptDriver::queue_quit },
    };
    for (const auto& [verb, queue] : verbs) {
        if (verb == command.verb) {
            (this->*queue)(command);
            break;
        }
    }
    queue_step(settle_ms, [] { return true; });
}

void ScriptDriver::queue_step(std::uint32_t delay_ms, std::function<bool()> action)
{
    m_steps.push_back({ delay_ms, std::move(action) });
}

void ScriptDriver::queue_tap(const Command& command)
{
    const Command* c = &command;
    queue_step(0, [this, c] {
        Element* element = find(*c, c->words[0]);
        if (!element)
            return false;
        // A hidden element has no place on screen: a tap would land on whatever is there.
        if (!element->is_displayed() || element->width() <= 0 || element->height() <= 0) {
            fail(*c, "\"" + c->words[0] + "\" is not shown");
            return false;
        }
        Point at = centre_of(*element);
        m_application.on_pointer_button(pointer(at, true));
        m_application.on_pointer_button(pointer(at, false));
        return true;
    });
}

void ScriptDriver::queue_key(const Command& command)
{
    bool down = command.verb == "press";
    auto code = static_cast<std::int32_t>(*key_from_name(command.words[0]));
    queue_step(0, [this, code, down] {
        m_application.on_key({ code, down, true });
        return true;
    });
}

void ScriptDriver::queue_typing(const Command& command)
{
    WString typed = from_utf8(command.rest);
    queue_step(0, [this, typed] {
        for (char16_t unit : typed)
            m_application.on_char(WString(1, unit));
        return true;
    });
}

// A press on the element, moves along the way every step, and the release at its end.
void ScriptDriver::queue_drag(const Command& command)
{
    const std::vector<std::string>& w = command.words;
    double dx = 0, dy = 0, seconds = 0.08;
    if (command.verb == "drag") {
        parse_number(w[1], dx);
        parse_number(w[2], dy);
        parse_number(w[3], seconds);
    } else {
        parse_number(w[1], dy);
    }
    auto steps = std::max<std::uint32_t>(
        1, static_cast<std::uint32_t>(std::lround(seconds * 1000 / step_ms)));
    auto start = std::make_shared<Point>();
    const Command* c = &command;
    queue_step(0, [this, c, start] {
        Element* element = find(*c, c->words[0]);
        if (!element)
            return false;
        *start = centre_of(*element);
        m_application.on_pointer_button(pointer(*start, true));
        return true;
    });
    for (std::uint32_t i = 1; i <= steps; ++i) {
        double f = static_cast<double>(i) / steps;
        queue_step(step_ms, [this, start, f, dx, dy] {
            Point at { start->x + static_cast<std::int32_t>(std::lround(dx * f)),
                start->y + static_cast<std::int32_t>(std::lround(dy * f)) };
            m_application.on_pointer_move(pointer(at, true));
            return true;
        });
    }
    queue_step(0, [this, start, dx, dy] {
        Point at { start->x + static_cast<std::int32_t>(std::lround(dx)),
            start->y + static_cast<std::int32_t>(std::lround(dy)) };
        m_application.on_pointer_button(pointer(at, false));
        return true;
    });
}

void ScriptDriver::queue_wait(const Command& command)
{
    double seconds = 0;
    parse_number(command.words[0], seconds);
    queue_step(static_cast<std::uint32_t>(std::lround(seconds * 1000)), [] { return true; });
}

void ScriptDriver::queue_wait_for(const Command& command)
{
    const std::vector<std::string>& w = command.words;
    bool want_visible = w.size() < 2 || w[1] == "visible";
    queue_step(0, make_poll(&command, want_visible, std::make_shared<std::uint32_t>(0)));
}

void ScriptDriver::queue_tap_text(const Command& command)
{
    queue_step(0, make_text_tap(&command, std::make_shared<std::uint32_t>(0)));
}

void ScriptDriver::queue_wait_file(const Command& command)
{
    auto deadline = std::make_shared<std::chrono::steady_clock::time_point>(
        std::chrono::steady_clock::now() + std::chrono::seconds(wait_file_timeout));
    queue_step(0, make_file_poll(&command, deadline));
}

void ScriptDriver::queue_expect_text(const Command& command)
{
    const Command* c = &command;
    std::string expected = command.rest;
    queue_step(0, [this, c, expected] {
        Element* element = find(*c, c->words[0]);
        if (!element)
            return false;
        WString actual;
        if (auto* shown = dynamic_cast<TextElement*>(element))
            actual = shown->text();
        else if (auto* button = dynamic_cast<ButtonElement*>(element))
            actual = button->text();
        else {
            fail(*c, "\"" + c->words[0] + "\" shows no text");
            return false;
        }
        if (actual != from_utf8(expected)) {
            fail(*c, "expected \"" + expected + "\", found \"" + to_utf8(actual) + "\"");
            return false;
        }
        return true;
    });
}

void ScriptDriver::queue_expect_visible(const Command& command)
{
    const Command* c = &command;
    queue_step(0, [this, c] {
        Element* element = find(*c, c->words[0]);
        if (!element)
            return false;
        if (!is_displayed_chain(*element)) {
            fail(*c, "\"" + c->words[0] + "\" is not visible");
            return false;
        }
        return true;
    });
}

void ScriptDriver::queue_expect_screen(const Command& command)
{
    const Command* c = &command;
    queue_step(0, [this, c] {
        Screen* screen = m_application.top_screen();
        WString node;
        if (auto* preview = dynamic_cast<PreviewScreen*>(screen))
            node = preview->node();
        else if (screen)
            node = screen->id();
        if (node != from_utf8(c->words[0])) {
            fail(*c, "the top screen is \"" + to_utf8(node) + "\"");
            return false;
        }
        return true;
    });
}

void ScriptDriver::queue_shot(const Command& command)
{
    const Command* c = &command;
    queue_step(0, [this, c] {
        if (!take_shot(c->words[0])) {
            fail(*c, "cannot write " + c->words[0]);
            return false;
        }
        return true;
    });
}

void ScriptDriver::queue_clipboard(const Command& command)
{
    WString content = from_utf8(command.rest);
    queue_step(0, [content] {
        write_clipboard_text(content);
        return true;
    });
}

void ScriptDriver::queue_quit(const Command&)
{
    queue_step(0, [this] {
        finish(0);
        return false;
    });
}

std::function<bool()> ScriptDriver::make_text_tap(
    const Command* c, std::shared_ptr<std::uint32_t> deadline)
{
    return [this, c, deadline] {
        std::uint32_t now_ms = m_clock.tick_count_ms();
        if (*deadline == 0)
            *deadline = now_ms + static_cast<std::uint32_t>(wait_for_timeout * 1000);
        Screen* screen = m_application.top_screen();
        Element* element = screen && !m_application.transition()
            ? find_showing(*screen, from_utf8(c->rest))
            : nullptr;
        if (element) {
            Point at = centre_of(*element);
            m_application.on_pointer_button(pointer(at, true));
            m_application.on_pointer_button(pointer(at, false));
            return true;
        }
        if (static_cast<std::int32_t>(now_ms - *deadline) >= 0) {
            fail(*c, "nothing on screen shows \"" + c->rest + "\"");
            return false;
        }
        m_steps.push_front({ step_ms, make_text_tap(c, deadline) });
        return true;
    };
}

std::function<bool()> ScriptDriver::make_file_poll(
    const Command* c, std::shared_ptr<std::chrono::steady_clock::time_point> deadline)
{
    return [this, c, deadline] {
        std::error_code ignored;
        if (std::filesystem::exists(c->words[0], ignored))
            return true;
        if (std::chrono::steady_clock::now() >= *deadline) {
            fail(*c, "no such file after " + std::to_string(wait_file_timeout) + " s");
            return false;
        }
        // The file comes from outside the program, in real time: do not spin through the
        // virtual clock while waiting for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        m_steps.push_front({ step_ms, make_file_poll(c, deadline) });
        return true;
    };
}

std::function<bool()> ScriptDriver::make_poll(
    const Command* c, bool want_visible, std::shared_ptr<std::uint32_t> deadline)
{
    return [this, c, want_visible, deadline] {
        std::uint32_t now_ms = m_clock.tick_count_ms();
        if (*deadline == 0)
            *deadline = now_ms + static_cast<std::uint32_t>(wait_for_timeout * 1000);
        Screen* screen = m_application.top_screen();
        std::string missing;
        Element* element = screen ? find_path(*screen, c->words[0], missing) : nullptr;
        // While the screens change, nothing counts as settled on screen yet.
        bool visible = element && is_displayed_chain(*element) && !m_application.transition();
        if (visible == want_visible)
            return true;
        if (static_cast<std::int32_t>(now_ms - *deadline) >= 0) {
            fail(*c,
                "still " + std::string(want_visible ? "not visible" : "visible") + " after "
                    + std::to_string(static_cast<int>(wait_for_timeout)) + " s");
            return false;
        }
        m_steps.push_front({ step_ms, make_poll(c, want_visible, deadline) });
        return true;
    };
}

bool ScriptDriver::take_shot(const std::string& file)
{
    DisplayInfo area = m_application.client_area();
    RenderSurface surface;
    if (!surface.recreate(area.work_width, area.work_height) || !surface.surface())
        return false;
    m_application.set_redraw();
    m_application.draw_frame(surface);
    const Surface& pixels = *surface.surface();
    return write_png_565(file, pixels.row(0), pixels.width(), pixels.height(), pixels.stride() / 2);
}

} // namespace corvane
