#include "device/skin/widgets/VelocityTracker.h"

#include <cmath>

namespace corvane {

void VelocityTracker::press(double x, double y, std::uint32_t time)
{
    m_press = { x, y, time };
    m_samples.clear();
    m_dragging = false;
    m_velocity_x = 0;
    m_velocity_y = 0;
    m_samples.push_back(m_press);
}

void VelocityTracker::move(double x, double y, std::uint32_t time)
{
    if (!m_dragging) {
        if (std::fabs(x - m_press.x) < m_threshold && std::fabs(y - m_press.y) < m_threshold)
            return;
        m_dragging = true;
    }
    m_samples.push_back({ x, y, time });
    if (m_samples.size() > max_samples)
        m_samples.pop_front();
    // Unsigned arithmetic: a clock that wrapped between samples still measures the gap.
    while (m_samples.size() > 1 && time - m_samples.front().time > window_ms)
        m_samples.pop_front();
    update_velocity();
}

void VelocityTracker::update_velocity()
{
    const Sample& oldest = m_samples.front();
    const Sample& newest = m_samples.back();
    std::uint32_t span = newest.time - oldest.time;
    if (span < min_span_ms) {
        m_velocity_x = 0;
        m_velocity_y = 0;
        return;
    }
    m_velocity_x = (oldest.x - newest.x) * 1000.0 / span;
    m_velocity_y = (oldest.y - newest.y) * 1000.0 / span;
}

} // namespace corvane
