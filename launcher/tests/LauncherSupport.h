#pragma once

#include "device/core/testing/TempFolder.h"
#include "launcher/Platform.h"
#include "launcher/Text.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace lumbra::test {

using corvane::test::read_file;
using corvane::test::TempFolder;

// Settings text with "\n" line ends turned into CR LF, as the launcher's files need.
inline std::string crlf(std::string_view text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Everything the launcher asked of its platform and window, in order, as short lines such as
// "open open|/bin/tool|\"a.ini\"|/medium" or "load file:///medium/index.html".
using EventLog = std::vector<std::string>;

class FakeStartWindow final : public StartWindowView {
public:
    explicit FakeStartWindow(EventLog& log)
        : m_log(log)
    {
    }

    void set_click_handler(ClickHandler handler) override { click_handler = std::move(handler); }
    void set_caption(const std::u16string& text) override { note("caption " + to_utf8(text)); }
    void set_view_tooltip(const std::u16string& text) override { note("tooltip " + to_utf8(text)); }
    void remove_frame_and_move_to_origin() override { note("frameless at origin"); }
    void set_size(int w, int h) override
    {
        note("size " + std::to_string(w) + "x" + std::to_string(h));
    }
    void set_shape(const WindowShape& s) override
    {
        shape = s;
        note("shape");
    }
    void set_instance_property(const std::string& name) override { note("property " + name); }
    void load(const std::string& uri) override { note("load " + uri); }
    void show() override { note("show"); }
    void minimise() override { note("minimise"); }
    void close() override { note("close"); }

    ClickHandler click_handler;
    WindowShape shape;

private:
    void note(std::string line) { m_log.push_back(std::move(line)); }
    EventLog& m_log;
};

class FakePlatform final : public Platform {
public:
    // Keys and names match whatever their case, as the system's registry does.
    void set_registry(
        RegistryRoot root, std::u16string key, std::u16string name, std::u16string value)
    {
        m_registry[{ root, registry_id(key, name) }] = std::move(value);
    }
    std::u16string read_registry_string(
        RegistryRoot root, std::u16string_view key, std::u16string_view name) const override
    {
        auto found = m_registry.find({ root, registry_id(key, name) });
        return found == m_registry.end() ? std::u16string() : found->second;
    }
    std::string default_language_name() const override { return language_name; }
    bool set_current_folder(const std::string& folder) override
    {
        log.push_back("cd " + folder);
        return true;
    }
    bool open(const OpenRequest& request) override
    {
        log.push_back("open " + request.verb + "|" + request.target + "|" + request.parameters + "|"
            + request.working_folder);
        return open_succeeds;
    }
    std::optional<TopLevelWindow> find_window_with_property(const std::string& name) override
    {
        log.push_back("find " + name);
        return name == running_property ? running_window : std::nullopt;
    }
    bool is_window_visible(TopLevelWindow) override { return running_visible; }
    void bring_to_front(TopLevelWindow window) override
    {
        log.push_back("raise " + std::to_string(window));
    }
    std::unique_ptr<StartWindowView> create_start_window() override
    {
        log.push_back("create window");
        auto created = std::make_unique<FakeStartWindow>(log);
        window = created.get();
        return created;
    }

    EventLog log;
    std::string language_name { "English" };
    bool open_succeeds { true };
    // A launcher already running, found under `running_property`.
    std::string running_property;
    std::optional<TopLevelWindow> running_window;
    bool running_visible { true };
    FakeStartWindow* window { nullptr }; // The last window created; owned by the launcher.

private:
    static std::u16string registry_id(std::u16string_view key, std::u16string_view name)
    {
        std::u16string id = std::u16string(key) + u'|' + std::u16string(name);
        for (char16_t& c : id)
            c = fold_case(c);
        return id;
    }

    std::map<std::pair<RegistryRoot, std::u16string>, std::u16string> m_registry;
};

} // namespace lumbra::test
