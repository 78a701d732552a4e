// The moving side of the list: item heights, the items in view, momentum and springs, and the
// keyboard cursor's motion.
#include "device/core/KeyCode.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/widgets/VListElement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane {

namespace {

    constexpr double height_rate = 200; // pixels per second
    constexpr double settle_rate = 400;
    constexpr double spring = 50;

    double move_toward(double value, double target, double step)
    {
        if (value < target)
            return std::min(target, value + step);
        return std::max(target, value - step);
    }

} // namespace

void VListElement::advance_heights(double seconds)
{
    double step = height_rate * seconds;
    double top = m_offset;
    for (std::size_t i = 0; i < m_items.size();) {
        LiveItem& item = m_items[i];
        if (item.index >= 0 && item.element->is_layout_dirty())
            item.target = measure_item(*item.element);
        double target = item.index >= 0 ? item.target : 0;
        double before = std::trunc(item.height);
        bool above = top + before <= 0;
        item.height = move_toward(item.height, target, step);
        double delta = std::trunc(item.height) - before;
        // Content above the view must not push the visible items around.
        if (above)
            m_offset -= delta;
        if (delta != 0)
            mark_redraw();
        if (item.index < 0 && item.height <= 0) {
            if (item.element.get() == m_pressed)
                m_pressed = nullptr;
            m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
            mark_redraw();
            continue;
        }
        if (item.height == target)
            item.appearing = false;
        top += std::trunc(item.height);
        ++i;
    }
}

void VListElement::fill_items()
{
    if (m_count == 0) {
        bool had = std::any_of(
            m_items.begin(), m_items.end(), [](const LiveItem& item) { return item.index >= 0; });
        if (had) {
            cancel_press();
            std::erase_if(m_items, [](const LiveItem& item) { return item.index >= 0; });
        }
        return;
    }
    double limit = m_grow ? std::numeric_limits<double>::infinity() : height();
    auto add = [&](std::int32_t index, bool front, bool appearing) -> LiveItem& {
        LiveItem item;
        item.element = make_item(index);
        item.index = index;
        item.target = measure_item(*item.element);
        item.height = appearing ? 0 : item.target;
        item.appearing = appearing;
        LiveItem& placed = front ? m_items.emplace_front(std::move(item))
                                 : m_items.emplace_back(std::move(item));
        update_state_images(placed);
        mark_redraw();
        return placed;
    };
    if (last_index() < 0) {
        m_first_index = std::clamp(m_first_index, 0, m_count - 1);
        add(m_first_index, false, false);
    }
    // Drop items that scrolled out, keeping at least one with an index.
    while (m_items.size() > 1 && m_offset + std::trunc(m_items.front().height) <= 0
        && !(m_items.front().index >= 0 && last_index() == m_items.front().index)) {
        if (m_items.front().element.get() == m_pressed)
            cancel_press();
        m_offset += std::trunc(m_items.front().height);
        m_items.pop_front();
        mark_redraw();
    }
    sync_first_index();
    while (m_items.size() > 1
        && m_offset + content_height() - std::trunc(m_items.back().height) >= limit
        && !(m_items.back().index >= 0 && m_first_index == m_items.back().index)) {
        if (m_items.back().element.get() == m_pressed)
            cancel_press();
        m_items.pop_back();
        mark_redraw();
    }
    // Items inserted between live ones grow in from nothing.
    for (std::size_t i = 0; i + 1 < m_items.size(); ++i) {
        std::int32_t here = m_items[i].index;
        if (here < 0)
            continue;
        std::size_t j = i + 1;
        while (j < m_items.size() && m_items[j].index < 0)
            ++j;
        if (j < m_items.size() && m_items[j].index > here + 1) {
            LiveItem item;
            item.element = make_item(here + 1);
            item.index = here + 1;
            item.target = measure_item(*item.element);
            item.appearing = true;
            auto placed = m_items.insert(
                m_items.begin() + static_cast<std::ptrdiff_t>(i + 1), std::move(item));
            update_state_images(*placed);
            mark_redraw();
        }
    }
    while (m_offset > 0 && m_first_index > 0) {
        LiveItem& item = add(m_first_index - 1, true, false);
        m_offset -= std::trunc(item.height);
        m_first_index = item.index;
    }
    while (m_offset + content_height() < limit && last_index() >= 0 && last_index() < m_count - 1)
        add(last_index() + 1, false, false);
}

void VListElement::clamp_for_grow()
{
    if (!m_grow)
        return;
    if (last_is_loaded() && m_offset < end_offset()) {
        m_offset = end_offset();
        m_speed = 0;
    }
    if (first_is_top() && m_offset > m_border_min) {
        m_offset = m_border_min;
        m_speed = 0;
    }
}

void VListElement::tick(double seconds)
{
    Element::tick(seconds);
    double offset_before = m_offset;
    double cursor_before = m_cursor;
    advance_heights(seconds);
    fill_items();
    m_offset += m_speed * seconds;

    double friction = 2 * std::fabs(m_speed) + 9;
    if (m_finger_down && !m_pressed)
        friction *= 5;
    double gap = end_offset() - m_offset;
    if (m_speed < 0) {
        m_speed = std::min(0.0, m_speed + friction * seconds);
        if (m_speed < 0 && last_is_loaded() && gap > 0)
            m_speed = std::min(0.0, m_speed + (gap + 1) * spring * seconds);
    }
    double over = m_offset - m_border_min;
    if (m_speed > 0) {
        m_speed = std::max(0.0, m_speed - friction * seconds);
        if (m_speed > 0 && first_is_top() && over > 0)
            m_speed = std::max(0.0, m_speed - (over + 1) * spring * seconds);
    }
    if (!m_finger_down && m_speed == 0 && !m_items.empty()) {
        if (first_is_top() && over >= 0)
            m_offset = move_toward(m_offset, m_border_min, settle_rate * seconds);
        else if (last_is_loaded() && gap >= 0)
            m_offset = move_toward(m_offset, end_offset(), settle_rate * seconds);
    }
    if (m_finger_down && m_pressed && item_at(m_finger) != m_pressed)
        cancel_press();
    advance_cursor(seconds);
    clamp_for_grow();
    fill_items();
    if (m_grow && content_height() != m_last_content_height) {
        m_last_content_height = content_height();
        invalidate_measures();
    }
    for (LiveItem& item : m_items) {
        item.element->tick(seconds);
        if (item.element->needs_redraw())
            mark_redraw();
    }
    if (m_offset != offset_before || m_cursor != cursor_before)
        mark_redraw();
    if (needs_redraw())
        place_items();
}

std::int32_t VListElement::first_visible_index() const
{
    double top = m_offset;
    for (const LiveItem& item : m_items) {
        double bottom = top + std::trunc(item.height);
        if (item.index >= 0 && bottom > 0)
            return item.index;
        top = bottom;
    }
    return m_count > 0 ? 0 : -1;
}

std::int32_t VListElement::last_visible_index() const
{
    double top = m_offset;
    std::int32_t last = -1;
    for (const LiveItem& item : m_items) {
        if (item.index >= 0 && top < height())
            last = item.index;
        top += std::trunc(item.height);
    }
    return last >= 0 ? last : (m_count > 0 ? 0 : -1);
}

double VListElement::item_top(std::int32_t index) const
{
    double top = m_offset;
    for (const LiveItem& item : m_items) {
        if (item.index == index)
            return top;
        top += std::trunc(item.height);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

double VListElement::item_height_at(std::int32_t index) const
{
    for (const LiveItem& item : m_items) {
        if (item.index == index)
            return std::max(1.0, std::trunc(item.height));
    }
    return m_items.empty() ? 1.0 : std::max(1.0, std::trunc(m_items.front().height));
}

void VListElement::advance_cursor(double seconds)
{
    if (m_cursor < 0 || m_cursor_speed == 0)
        return;
    double sign = m_cursor_speed > 0 ? 1 : -1;
    // The speed is in pixels per second of the item under the cursor; every whole item passed
    // uses up one step of it, and the last step stops exactly on an item.
    double remaining
        = std::fabs(m_cursor_speed) * seconds / item_height_at(static_cast<std::int32_t>(m_cursor));
    while (remaining > 0 && m_cursor_speed != 0) {
        double to_boundary
            = sign > 0 ? std::floor(m_cursor) + 1 - m_cursor : m_cursor - (std::ceil(m_cursor) - 1);
        if (to_boundary > 1)
            to_boundary = 1;
        if (remaining < to_boundary) {
            m_cursor += sign * remaining;
            break;
        }
        m_cursor = std::round(m_cursor + sign * to_boundary);
        remaining -= to_boundary;
        double magnitude = std::fabs(m_cursor_speed) - s_cursor_step;
        m_cursor_speed = magnitude <= 0 ? 0 : sign * magnitude;
    }
    if (m_cursor < 0) {
        m_cursor = first_visible_index();
        m_cursor_speed = 0;
    } else if (m_cursor > m_count - 1) {
        m_cursor = last_visible_index();
        m_cursor_speed = 0;
    }
    keep_cursor_in_view();
}

void VListElement::keep_cursor_in_view()
{
    if (m_cursor < 0)
        return;
    auto k = static_cast<std::int32_t>(std::floor(m_cursor));
    for (std::int32_t index : { k, m_cursor > k ? k + 1 : k }) {
        double top = item_top(index);
        if (std::isnan(top)) {
            // Not in view yet: move towards it; the next tick creates it.
            m_offset += index < m_first_index ? height() / 2.0 : -height() / 2.0;
            m_speed = 0;
            return;
        }
        double bottom = top + item_height_at(index);
        if (top < 0)
            m_offset -= top;
        else if (bottom > height())
            m_offset -= bottom - height();
    }
}

} // namespace corvane
