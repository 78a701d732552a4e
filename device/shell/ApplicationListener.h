#pragma once

#include "common/base/Text.h"
#include "device/skin/skin/InputEvents.h"

namespace corvane {

class Element;

// What the program as a whole hears from the window and the screen stack. One listener per
// program, installed by the entry point; it may be absent. Main thread.
class ApplicationListener {
public:
    // A command line handed over by a second instance.
    virtual void on_command_line(const WString& command_line) = 0;
    // The window is asked to close; false keeps it open.
    virtual bool may_close() = 0;
    // After show_screen pushed a screen.
    virtual void on_screen_shown(Element& screen) = 0;
    // At the start of close_screen for a screen on the stack.
    virtual void on_screen_closed(Element& screen) = 0;
    // After the display description changed.
    virtual void on_resolution_changed() = 0;
    virtual void on_help() = 0;
    virtual void on_deactivate() = 0;
    virtual void on_activate() = 0;
    // Before a key press or release goes to the screens; true when the listener took it.
    virtual bool on_key_event(const KeyEvent& event) = 0;
    virtual ~ApplicationListener() = default;
};

} // namespace corvane
