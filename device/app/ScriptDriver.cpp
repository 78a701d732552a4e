#include "device/app/ScriptDriver.h"

#include "device/app/ScriptElements.h"
#include "device/core/KeyCode.h"
#include "device/platform/Clock.h"
#include "device/shell/Application.h"
#include "device/shell/Screen.h"
#include "device/skin/widgets/VListElement.h"

#include <fstream>
#include <sstream>

namespace corvane {

namespace {

    constexpr std::uint32_t start_delay_ms = 200;

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

    using script::parse_number;
    using script::parts_of;

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

} // namespace corvane
