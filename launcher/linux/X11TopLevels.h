#pragma once

#include "launcher/WindowShape.h"

#include <X11/Xlib.h>

#include <optional>
#include <string>

// Top-level windows of any client on an X display, for the launcher's single-instance check.
// Calls go to the display given; X errors from windows that vanish meanwhile are ignored.
// Main thread only (the display is GDK's).
namespace lumbra::x11 {

// The topmost top-level window that carries property `name` with the value 1. Looks at the
// root's children and, for window managers that put clients into frames, at their children.
std::optional<Window> find_window_with_property(Display* display, const std::string& name);

// Mapped, or minimised by a window manager; hidden (withdrawn) windows are not visible.
bool is_visible(Display* display, Window window);

// Maps and raises the window and asks the window manager, if any, to activate it.
void bring_to_front(Display* display, Window window);

// Puts property `name` with the 32-bit value 1 on `window`.
void set_marker_property(Display* display, Window window, const std::string& name);

// Sets the window's bounding shape at once. GTK applies a shape only after it has mapped the
// window, which shows the unshaped rectangle for a moment.
void set_bounding_shape(Display* display, Window window, const WindowShape& shape);

} // namespace lumbra::x11
