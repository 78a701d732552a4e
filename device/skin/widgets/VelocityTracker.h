#pragma once

#include <cstdint>
#include <deque>

namespace corvane {

// Follows a finger: decides when a press turns into a drag and how fast the finger moved over
// the last quarter second. Main thread.
class VelocityTracker {
public:
    struct Sample {
        double x { 0 };
        double y { 0 };
        std::uint32_t time { 0 }; // milliseconds
    };

    static constexpr std::size_t max_samples = 25;
    static constexpr std::uint32_t window_ms = 250;
    static constexpr std::uint32_t min_span_ms = 50;

    // Movements below 10 << scale shift pixels on both axes keep the gesture a tap.
    explicit VelocityTracker(std::int32_t scale_shift = 0) { set_scale_shift(scale_shift); }
    void set_scale_shift(std::int32_t shift) { m_threshold = 10 << (shift < 0 ? 0 : shift); }

    void press(double x, double y, std::uint32_t time);
    // A move or the release.
    void move(double x, double y, std::uint32_t time);

    bool is_dragging() const { return m_dragging; }
    // Pixels per second; positive when the finger moves towards smaller coordinates.
    double velocity_x() const { return m_velocity_x; }
    double velocity_y() const { return m_velocity_y; }
    std::size_t sample_count() const { return m_samples.size(); }

private:
    void update_velocity();

    std::deque<Sample> m_samples;
    Sample m_press;
    bool m_dragging { false };
    double m_velocity_x { 0 };
    double m_velocity_y { 0 };
    std::int32_t m_threshold { 10 };
};

} // namespace corvane
