#pragma once

#include "device/skin/skin/Element.h"

#include <memory>

namespace corvane {

class VisibilityAnimation;

enum class ScreenState {
    Inactive,
    Active,
    ActiveOverlay, // on top, over the dimmed screens below
};

// A form on the application's screen stack: an element tree built from a top-level skin node.
// The stack does not own its screens; their creator does, and must close a screen before
// destroying it. Main thread.
class Screen : public Element {
public:
    // The stack tells the screen whether it is on top; kinds that hold timers or focus react.
    virtual void set_active(ScreenState state) { m_state = state; }
    ScreenState state() const { return m_state; }

    // The screen wants frames while its visibility animation runs or something in its tree
    // asked for a redraw.
    bool wants_frames() const { return is_animating() || needs_redraw(); }

    // The page transition that opens and closes the screen: an idle copy of its visibility
    // animation, or nothing when it has none.
    virtual std::unique_ptr<VisibilityAnimation> create_transition() const;

private:
    ScreenState m_state { ScreenState::Inactive };
};

} // namespace corvane
