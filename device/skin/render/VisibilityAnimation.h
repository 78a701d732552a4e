#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Blender.h"
#include "device/skin/render/Geometry.h"

#include <cstdint>
#include <memory>

namespace corvane {

class RenderSurface;

// A short show or hide effect of an element, also copied by the screen stack to make its page
// transitions. It draws an "after" image (the element's render cache, or the screen being shown)
// over or beside a "before" image (nothing, or the background snapshot). Progress runs from 0
// (hidden) to 1 (shown) at speed * 5 per second, so an animation lasts 0.2 s at speed 1.
// Main thread only.
class VisibilityAnimation {
public:
    enum class Kind {
        Scale, // grow from the centre by progress^2
        Pop, // grow from the centre with overshoot, at half speed
        Slide, // slide in from one side; see slide_direction()
        Flip, // turn about the horizontal axis, the before image on the front face
    };

    // The animation a skin's "visibility_animation" word names ("scale", "pop", "right",
    // "bottom", "left", "top", "flip"), or nothing for any other word.
    static std::unique_ptr<VisibilityAnimation> create(WStringView word);

    VisibilityAnimation(Kind kind, std::int32_t slide_direction = 0);
    ~VisibilityAnimation();
    VisibilityAnimation(const VisibilityAnimation&) = delete;
    VisibilityAnimation& operator=(const VisibilityAnimation&) = delete;

    // An idle animation of the same kind, speed and blender.
    std::unique_ptr<VisibilityAnimation> clone() const;

    // The blender the "after" image is drawn with (initially the colour key).
    void set_blender(std::unique_ptr<Blender> blender);
    const Blender& blender() const { return *m_blender; }

    // Takes the images (either may be null) and starts showing (+1, progress 0) or hiding
    // (-1, progress 1).
    void start(std::shared_ptr<const RenderSurface> before,
        std::shared_ptr<const RenderSurface> after, std::int32_t direction);
    // Advances by `seconds`. Answers true when this tick finished the animation: it is then idle
    // and has released both images.
    bool tick(double seconds);
    // Turns a running animation round (a hide that becomes a show again, and back).
    void reverse() { m_direction = -m_direction; }
    void set_direction(std::int32_t direction) { m_direction = direction; }

    // Draws the current frame with the after image's top-left corner at `origin`.
    void draw(RenderSurface& target, Point origin) const;

    Kind kind() const { return m_kind; }
    std::int32_t slide_direction() const { return m_slide_direction; } // 0 right .. 3 top
    std::int32_t direction() const { return m_direction; } // +1 showing, -1 hiding, 0 idle
    bool is_running() const { return m_direction != 0; }
    double progress() const { return m_progress; }
    double speed() const { return m_speed; }
    const RenderSurface* before() const { return m_before.get(); }
    const RenderSurface* after() const { return m_after.get(); }

private:
    void draw_scaled(RenderSurface& target, Point origin, double factor) const;
    void draw_slide(RenderSurface& target, Point origin) const;
    void draw_flip(RenderSurface& target, Point origin) const;

    Kind m_kind;
    std::int32_t m_slide_direction { 0 };
    std::int32_t m_direction { 0 };
    double m_progress { 0.0 };
    double m_speed { 1.0 };
    std::shared_ptr<const RenderSurface> m_before;
    std::shared_ptr<const RenderSurface> m_after;
    std::unique_ptr<Blender> m_blender;
};

} // namespace corvane
