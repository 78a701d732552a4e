#pragma once

#include "device/skin/render/Geometry.h"

#include <cstdint>
#include <memory>

namespace corvane {

class RenderSurface;
class Screen;
class VisibilityAnimation;

// An animated change of page on the screen stack: a copy of the incoming (or outgoing) screen's
// visibility animation, drawn from the background snapshot to the screen's rendered image.
// Main thread.
class PageTransition {
public:
    explicit PageTransition(std::unique_ptr<VisibilityAnimation> animation);
    ~PageTransition();
    PageTransition(const PageTransition&) = delete;
    PageTransition& operator=(const PageTransition&) = delete;

    // Renders `target` at `size` and starts: +1 opens the target over the snapshot, -1 closes it
    // down to the snapshot.
    void start(std::shared_ptr<const RenderSurface> snapshot, std::int32_t direction,
        Screen& target, Size size);
    // True when this step finished the transition.
    bool advance(double seconds);
    void draw(RenderSurface& surface, Point offset) const;

    std::int32_t direction() const { return m_direction; }
    // Plays the rest backwards: an opening becomes a closing and the other way round.
    void reverse();
    // The screen being opened or closed; not owned.
    Screen* target() const { return m_target; }

private:
    std::unique_ptr<VisibilityAnimation> m_animation;
    std::int32_t m_direction { 0 };
    Screen* m_target { nullptr };
};

} // namespace corvane
