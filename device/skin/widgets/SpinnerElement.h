#pragma once

#include "device/skin/skin/Element.h"
#include "device/skin/widgets/VelocityTracker.h"

#include <map>
#include <memory>

namespace corvane {

class SpinnerElement;

// What one change of a drum did: the whole turns it made (0 without wrap) and, for drags and
// coasting, the new position.
struct SpinnerChange {
    std::int32_t turns { 0 };
    double position { 0 };
};

// The owner of a drum: supplies its value elements and hears its changes. Not owned.
class SpinnerProvider {
public:
    virtual ~SpinnerProvider() = default;
    // The position changed, from any cause.
    virtual void position_set(SpinnerElement& spinner, const SpinnerChange& change) = 0;
    // The user moved the drum, by finger or by its coast.
    virtual void position_dragged(SpinnerElement& spinner, const SpinnerChange& change) = 0;
    // The finger let go; the provider may choose where the drum comes to rest.
    virtual void released(SpinnerElement& spinner) = 0;
    virtual std::unique_ptr<Element> create_item(SpinnerElement& spinner, std::int32_t index) = 0;
};

// "spinner": a vertical drum of values turned by the finger. It follows the drag, coasts with
// a fixed deceleration after a flick, glides to rest on a whole value and may wrap around.
// Main thread.
class SpinnerElement : public Element {
public:
    static constexpr double deceleration = 40; // values per second squared
    static constexpr double glide_speed = 6; // values per second when coming to rest

    void load(Properties& properties, const Node& node) override;
    void tick(double seconds) override;
    void draw(RenderSurface& surface, Point origin) override;
    void pointer_moved(const PointerEvent& event) override;
    bool pointer_event(const PointerEvent& event) override;

    // Also stops the drum at 0 and drops every kept value element.
    void set_count(std::int32_t count, bool wrap);
    std::int32_t count() const { return m_count; }
    bool wraps() const { return m_wrap; }
    double position() const { return m_position; }
    void set_position(double position);
    void set_provider(SpinnerProvider* provider) { m_provider = provider; }
    std::int32_t element_size() const { return m_element_size; }
    void set_element_size(std::int32_t size) { m_element_size = std::max(1, size); }

    // Where the drum stops once its coast ends (kept consistent across wraps).
    double rest() const { return m_rest; }
    void set_rest(double rest)
    {
        m_rest = rest;
        m_resting = true;
    }
    bool is_coasting() const { return m_remaining != 0; }
    bool is_moving() const { return m_remaining != 0 || (m_resting && m_position != m_rest); }
    double target() const { return m_target; }
    double remaining() const { return m_remaining; }
    std::int32_t current_index() const;
    // The kept value element of an index, or null.
    Element* item(std::int32_t index) const;

private:
    void drag_by(double dy);
    void report_drag(std::int32_t turns);
    double over_top() const { return -m_position * m_element_size; }
    double over_bottom() const { return (m_position - (m_count - 1)) * m_element_size; }

    std::int32_t m_element_size { 60 };
    std::int32_t m_count { 0 };
    bool m_wrap { false };
    double m_position { 0 };
    double m_target { 0 };
    double m_remaining { 0 };
    std::int32_t m_direction { 0 };
    double m_rest { 0 };
    bool m_resting { false };
    std::int32_t m_last_turns { 0 };
    bool m_finger_down { false };
    Point m_finger;
    SpinnerProvider* m_provider { nullptr };
    VelocityTracker m_tracker;
    std::map<std::int32_t, std::unique_ptr<Element>> m_items;
};

} // namespace corvane
