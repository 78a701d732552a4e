#include "device/app/ScriptDriver.h"

#include "device/app/PngFile.h"
#include "device/app/PreviewScreen.h"
#include "device/core/Clipboard.h"
#include "device/core/KeyCode.h"
#include "device/platform/Clock.h"
#include "device/shell/Application.h"
#include "device/shell/Screen.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/EditElement.h"
#include "device/skin/widgets/TextElement.h"
#include "device/skin/widgets/VListElement.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace corvane {

namespace {

    constexpr std::uint32_t step_ms = 20;
    // Two frames of the 40 ms frame timer: what a command changed is ticked, laid out and
    // drawn before the next command looks at it.
    constexpr std::uint32_t settle_ms = 80;
    constexpr std::uint32_t start_delay_ms = 200;
    constexpr double wait_for_timeout = 5;
    constexpr int wait_file_timeout = 60; // seconds of real time

    struct Syntax {
        const char* verb;
        std::size_t min_words;
        std::size_t max_words; // SIZE_MAX: the rest of the line is text
    };

    constexpr std::size_t text = static_cast<std::size_t>(-1);

    const Syntax s_syntax[] = {
        { "tap", 1, 1 },
        { "tap_text", 1, text },
        { "press", 1, 1 },
        { "release", 1, 1 },
        { "type", 1, text },
        { "drag", 4, 4 },
        { "fling", 2, 2 },
        { "wait", 1, 1 },
        { "wait_for", 1, 2 },
        { "wait_file", 1, 1 },
        { "expect_text", 1, text },
        { "expect_visible", 1, 1 },
        { "expect_screen", 1, 1 },
        { "shot", 1, 1 },
        { "clipboard", 0, text },
        { "quit", 0, 0 },
    };

    bool parse_number(const std::string& word, double& out)
    {
        const char* end = word.data() + word.size();
        auto [stop, failure] = std::from_chars(word.data(), end, out);
        return failure == std::errc() && stop == end && std::isfinite(out);
    }

    Point centre_of(const Element& element)
    {
        return { element.x() + element.width() / 2, element.y() + element.height() / 2 };
    }

    // Children and, for lists, their live items, in that order.
    std::vector<Element*> parts_of(Element& element)
    {
        std::vector<Element*> parts;
        for (const auto& child : element.children())
            parts.push_back(child.get());
        if (auto* list = dynamic_cast<VListElement*>(&element)) {
            for (const auto& item : list->live_items()) {
                if (item.index >= 0)
                    parts.push_back(item.element.get());
            }
        }
        return parts;
    }

    Element* find_id(Element& root, const std::string& id)
    {
        if (id.size() > 1 && id[0] == '@') {
            if (auto* list = dynamic_cast<VListElement*>(&root)) {
                double index = 0;
                if (parse_number(id.substr(1), index))
                    return list->live_item(static_cast<std::int32_t>(index));
            }
            return nullptr;
        }
        WString wide = from_utf8(id);
        std::vector<Element*> parts = parts_of(root);
        for (Element* part : parts) {
            if (part->id() == wide)
                return part;
        }
        for (Element* part : parts) {
            if (Element* found = find_id(*part, id))
                return found;
        }
        return nullptr;
    }

    // Shown, with a size, and not in the middle of an animation of its own or an ancestor's:
    // what a person would call on screen.
    bool is_displayed_chain(const Element& element)
    {
        if (!element.is_displayed() || element.width() <= 0 || element.height() <= 0)
            return false;
        for (const Element* at = &element; at; at = at->parent()) {
            if (at->is_animating())
                return false;
        }
        return true;
    }

    // The first element on screen, depth first, that shows exactly `text`: a text element or a
    // button.
    Element* find_showing(Element& root, const WString& text)
    {
        for (Element* part : parts_of(root)) {
            if (!is_displayed_chain(*part))
                continue;
            const auto* button = dynamic_cast<const ButtonElement*>(part);
            const auto* shown = dynamic_cast<const TextElement*>(part);
            if ((button && button->text() == text) || (shown && shown->text() == text))
                return part;
            if (Element* found = find_showing(*part, text))
                return found;
        }
        return nullptr;
    }

} // namespace

ScriptDriver::ScriptDriver(Application& application, const Clock& clock, std::string path)
    : m_application(application)
    , m_clock(clock)
    , m_path(std::move(path))
    , m_timer(*this)
{
}

ScriptDriver::~ScriptDriver() = default;

bool ScriptDriver::parse(const std::string& source, std::vector<Command>& out, std::string& error)
{
    std::istringstream lines(source);
    std::string line;
    std::size_t number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Command command;
        command.line = number;
        std::istringstream words(line.substr(first));
        words >> command.verb;
        for (std::string word; words >> word;)
            command.words.push_back(word);
        const Syntax* syntax = nullptr;
        for (const Syntax& candidate : s_syntax) {
            if (command.verb == candidate.verb)
                syntax = &candidate;
        }
        if (!syntax) {
            error = std::to_string(number) + ": unknown command \"" + command.verb + "\"";
            return false;
        }
        if (command.words.size() < syntax->min_words
            || (syntax->max_words != text && command.words.size() > syntax->max_words)) {
            error = std::to_string(number) + ": wrong number of arguments for " + command.verb;
            return false;
        }
        // Texts keep their spaces: everything after the verb, or after the id.
        std::size_t after_verb = line.find(command.verb, first) + command.verb.size();
        std::string rest = after_verb < line.size() ? line.substr(after_verb + 1) : "";
        if (command.verb == "expect_text") {
            std::size_t id_end = rest.find(command.words[0]) + command.words[0].size();
            rest = id_end < rest.size() ? rest.substr(id_end + 1) : "";
        }
        command.rest = rest;
        double number_value = 0;
        bool numbers_ok = true;
        if (command.verb == "drag")
            for (std::size_t i = 1; i < 4; ++i)
                numbers_ok = numbers_ok && parse_number(command.words[i], number_value);
        if (command.verb == "fling")
            numbers_ok = parse_number(command.words[1], number_value);
        if (command.verb == "wait")
            numbers_ok = parse_number(command.words[0], number_value) && number_value >= 0;
        if (command.verb == "wait_for" && command.words.size() == 2)
            numbers_ok = command.words[1] == "visible" || command.words[1] == "hidden";
        if ((command.verb == "press" || command.verb == "release")
            && !key_from_name(command.words[0]))
            numbers_ok = false;
        if (!numbers_ok) {
            error = std::to_string(number) + ": cannot read the arguments of " + command.verb;
            return false;
        }
        out.push_back(std::move(command));
    }
    return true;
}

bool ScriptDriver::load(std::string& error)
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        error = m_path + ": cannot read the script";
        return false;
    }
    std::stringstream content;
    content << in.rdbuf();
    std::string at;
    if (!parse(content.str(), m_commands, at)) {
        error = m_path + ":" + at;
        return false;
    }
    return true;
}

void ScriptDriver::start()
{
    m_timer.start(start_delay_ms / 1000.0);
}

PointerEvent ScriptDriver::pointer(Point point, bool pressed) const
{
    return { point.x, point.y, m_clock.tick_count_ms(), 0, pressed, false };
}

Element* ScriptDriver::find(const Command& command, const std::string& path)
{
    Screen* screen = m_application.top_screen();
    if (!screen) {
        fail(command, "no screen is shown");
        return nullptr;
    }
    std::string missing;
    Element* found = find_path(*screen, path, missing);
    if (!found)
        fail(command, "no element \"" + missing + "\" (path " + path + ")");
    return found;
}

Element* ScriptDriver::find_path(Element& root, const std::string& path, std::string& missing)
{
    Element* at = &root;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        std::string id
            = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        at = find_id(*at, id);
        if (!at) {
            missing = id;
            return nullptr;
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return at;
}

void ScriptDriver::fail(const Command& command, const std::string& why)
{
    m_failure = m_path + ":" + std::to_string(command.line) + ": " + command.verb + ": " + why;
    std::fprintf(stderr, "corvane: %s\n", m_failure.c_str());
    finish(3);
}

void ScriptDriver::finish(int code)
{
    if (m_finished)
        return;
    m_finished = true;
    m_exit_code = code;
    m_steps.clear();
    m_timer.cancel();
    m_application.quit();
}

void ScriptDriver::timer_fired(ActiveTimer&, int)
{
    next();
}

void ScriptDriver::next()
{
    while (!m_finished) {
        if (m_steps.empty()) {
            if (m_next_command >= m_commands.size()) {
                finish(0);
                return;
            }
            m_current = &m_commands[m_next_command++];
            expand(*m_current);
            continue;
        }
        Step& front = m_steps.front();
        if (front.delay_ms > 0) {
            // Go on after the delay, on the program's clock.
            std::uint32_t delay = front.delay_ms;
            front.delay_ms = 0;
            m_timer.start(delay / 1000.0);
            return;
        }
        Step step = std::move(front);
        m_steps.pop_front();
        if (step.action && !step.action())
            return;
    }
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

void ScriptDriver::expand(const Command& command)
{
    const std::vector<std::string>& w = command.words;
    auto now = [this](std::function<bool()> action) {
        m_steps.push_back({ 0, std::move(action) });
    };
    auto later = [this](std::uint32_t delay, std::function<bool()> action) {
        m_steps.push_back({ delay, std::move(action) });
    };
    const Command* c = &command;
    if (command.verb == "tap") {
        now([this, c] {
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
    } else if (command.verb == "press" || command.verb == "release") {
        bool down = command.verb == "press";
        auto code = static_cast<std::int32_t>(*key_from_name(w[0]));
        now([this, code, down] {
            m_application.on_key({ code, down, true });
            return true;
        });
    } else if (command.verb == "type") {
        WString typed = from_utf8(command.rest);
        now([this, typed] {
            for (char16_t unit : typed)
                m_application.on_char(WString(1, unit));
            return true;
        });
    } else if (command.verb == "drag" || command.verb == "fling") {
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
        now([this, c, start] {
            Element* element = find(*c, c->words[0]);
            if (!element)
                return false;
            *start = centre_of(*element);
            m_application.on_pointer_button(pointer(*start, true));
            return true;
        });
        for (std::uint32_t i = 1; i <= steps; ++i) {
            double f = static_cast<double>(i) / steps;
            later(step_ms, [this, start, f, dx, dy] {
                Point at { start->x + static_cast<std::int32_t>(std::lround(dx * f)),
                    start->y + static_cast<std::int32_t>(std::lround(dy * f)) };
                m_application.on_pointer_move(pointer(at, true));
                return true;
            });
        }
        now([this, start, dx, dy] {
            Point at { start->x + static_cast<std::int32_t>(std::lround(dx)),
                start->y + static_cast<std::int32_t>(std::lround(dy)) };
            m_application.on_pointer_button(pointer(at, false));
            return true;
        });
    } else if (command.verb == "wait") {
        double seconds = 0;
        parse_number(w[0], seconds);
        later(static_cast<std::uint32_t>(std::lround(seconds * 1000)), [] { return true; });
    } else if (command.verb == "wait_for") {
        bool want_visible = w.size() < 2 || w[1] == "visible";
        now(make_poll(c, want_visible, std::make_shared<std::uint32_t>(0)));
    } else if (command.verb == "tap_text") {
        auto deadline = std::make_shared<std::uint32_t>(0);
        now(make_text_tap(c, deadline));
    } else if (command.verb == "wait_file") {
        auto deadline = std::make_shared<std::chrono::steady_clock::time_point>(
            std::chrono::steady_clock::now() + std::chrono::seconds(wait_file_timeout));
        now(make_file_poll(c, deadline));
    } else if (command.verb == "expect_text") {
        std::string expected = command.rest;
        now([this, c, expected] {
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
    } else if (command.verb == "expect_visible") {
        now([this, c] {
            Element* element = find(*c, c->words[0]);
            if (!element)
                return false;
            if (!is_displayed_chain(*element)) {
                fail(*c, "\"" + c->words[0] + "\" is not visible");
                return false;
            }
            return true;
        });
    } else if (command.verb == "expect_screen") {
        now([this, c] {
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
    } else if (command.verb == "shot") {
        now([this, c] {
            if (!take_shot(c->words[0])) {
                fail(*c, "cannot write " + c->words[0]);
                return false;
            }
            return true;
        });
    } else if (command.verb == "clipboard") {
        WString content = from_utf8(command.rest);
        now([content] {
            write_clipboard_text(content);
            return true;
        });
    } else if (command.verb == "quit") {
        now([this] {
            finish(0);
            return false;
        });
    }
    later(settle_ms, [] { return true; });
}

} // namespace corvane
