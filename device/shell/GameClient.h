#pragma once

#include "common/base/Text.h"
#include "device/skin/skin/InputEvents.h"

namespace corvane {

class ApplicationListener;
class RenderSurface;

// What the window object drives: the application object with its screen stack. Main thread.
class GameClient {
public:
    virtual ~GameClient() = default;
    virtual void advance(double seconds) = 0;
    virtual void draw_frame(RenderSurface& surface) = 0;
    virtual bool needs_frame(bool include_previous) = 0;
    virtual bool on_key(const KeyEvent& event) = 0;
    virtual bool on_char(WStringView text) = 0;
    virtual void on_pointer_move(const PointerEvent& event) = 0;
    virtual bool on_pointer_button(const PointerEvent& event) = 0;
    // May be absent.
    virtual ApplicationListener* listener() const = 0;
    // Something changed behind the client's back: the next frame must be drawn.
    virtual void set_redraw() = 0;
    // The window leaves painting for direct drawing: `screen` is what is on the display now,
    // which the client keeps as its background while it has no screen of its own.
    virtual void keep_screen_as_background(const RenderSurface& screen) = 0;
};

} // namespace corvane
