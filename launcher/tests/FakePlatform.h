#pragma once

#include "launcher/Platform.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace lumbra::test {

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
    void set_caption(const std::u16string& caption) override;
    void set_view_tooltip(const std::u16string& text) override;
    void remove_frame_and_move_to_origin() override { m_log.push_back("frameless at origin"); }
    void set_size(int width, int height) override;
    void set_shape(const WindowShape& s) override;
    void set_instance_property(const std::string& name) override;
    void load(const std::string& uri) override { m_log.push_back("load " + uri); }
    void show() override { m_log.push_back("show"); }
    void minimise() override { m_log.push_back("minimise"); }
    void close() override { m_log.push_back("close"); }

    ClickHandler click_handler;
    WindowShape shape;

private:
    EventLog& m_log;
};

class FakePlatform final : public Platform {
public:
    void set_registry(
        RegistryRoot root, std::u16string key, std::u16string name, std::u16string value);

    std::u16string read_registry_string(
        RegistryRoot root, std::u16string_view key, std::u16string_view name) const override;
    std::string default_language_name() const override { return language_name; }
    bool set_current_folder(const std::string& folder) override;
    bool open(const OpenRequest& request) override;
    std::optional<TopLevelWindow> find_window_with_property(const std::string& name) override;
    bool is_window_visible(TopLevelWindow window) override;
    void bring_to_front(TopLevelWindow window) override;
    std::unique_ptr<StartWindowView> create_start_window() override;

    EventLog log;
    std::string language_name { "English" };
    bool open_succeeds { true };
    // A launcher already running, found under `running_property`.
    std::string running_property;
    std::optional<TopLevelWindow> running_window;
    bool running_visible { true };
    FakeStartWindow* window { nullptr }; // The last window created; owned by the launcher.

private:
    std::map<std::pair<RegistryRoot, std::u16string>, std::u16string> m_registry;
};

} // namespace lumbra::test
