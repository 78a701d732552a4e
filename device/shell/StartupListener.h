#pragma once

#include "device/shell/ApplicationListener.h"

namespace corvane {

class Application;

// The listener the entry point installs for the whole run: a command line from a second
// instance brings the window to the front, the window may always close, and a changed display
// makes the window follow its rotation. Main thread.
class StartupListener final : public ApplicationListener {
public:
    // The application must outlive the listener.
    explicit StartupListener(Application& application)
        : m_application(application)
    {
    }

    void on_command_line(const WString& command_line) override;
    bool may_close() override { return true; }
    void on_screen_shown(Element&) override { }
    void on_screen_closed(Element&) override { }
    void on_resolution_changed() override;
    void on_help() override { }
    void on_deactivate() override { }
    void on_activate() override { }
    bool on_key_event(const KeyEvent&) override { return false; }

private:
    Application& m_application;
};

} // namespace corvane
