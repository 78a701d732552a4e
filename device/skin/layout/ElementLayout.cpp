// The two layout passes of Element: measuring bottom-up, then placing top-down.
#include "device/skin/layout/Anchor.h"
#include "device/skin/skin/Element.h"
#include "device/skin/skin/GeometryObserver.h"

#include <algorithm>

namespace corvane {

MeasuredRange Element::measured_range_x()
{
    if (!m_range_x_valid) {
        MeasuredRange range;
        measure_x(range);
        m_range_x = range;
        m_range_x_valid = true;
    }
    return m_range_x;
}

MeasuredRange Element::measured_range_y()
{
    if (!m_range_y_valid) {
        MeasuredRange range;
        measure_y(range);
        m_range_y = range;
        m_range_y_valid = true;
    }
    return m_range_y;
}

void Element::measure_x(MeasuredRange& range)
{
    range.preferred = std::max(range.preferred, m_design_width);
    range.minimum = std::max(range.minimum, m_design_width);
    // Hidden children count too, so showing one does not change the parent's extent.
    for (const auto& child : m_children) {
        MeasuredRange c = child->measured_range_x();
        std::int32_t required = required_extent(
            child->m_anchor_x, child->m_border_min_x, c.preferred, child->m_border_max_x);
        range.preferred = std::max(range.preferred, required);
        range.minimum = std::max(range.minimum, c.minimum - c.preferred + required);
    }
    measure_content_x(range);
}

void Element::measure_y(MeasuredRange& range)
{
    range.preferred = std::max(range.preferred, m_design_height);
    range.minimum = std::max(range.minimum, m_design_height);
    for (const auto& child : m_children) {
        MeasuredRange c = child->measured_range_y();
        std::int32_t required = required_extent(
            child->m_anchor_y, child->m_border_min_y, c.preferred, child->m_border_max_y);
        range.preferred = std::max(range.preferred, required);
        range.minimum = std::max(range.minimum, c.minimum - c.preferred + required);
    }
    measure_content_y(range);
}

void Element::measure_content_x(MeasuredRange&) { }

void Element::measure_content_y(MeasuredRange&) { }

void Element::place_child_x(
    Element& child, std::int32_t space_position, std::int32_t space, std::int32_t preferred)
{
    std::int32_t size = anchor_size(
        child.m_anchor_x, preferred, space, child.m_border_min_x, child.m_border_max_x);
    std::int32_t position = anchor_position(
        child.m_anchor_x, size, space, child.m_border_min_x, child.m_border_max_x);
    child.set_x(space_position + position, size);
}

void Element::place_child_y(
    Element& child, std::int32_t space_position, std::int32_t space, std::int32_t preferred)
{
    std::int32_t size = anchor_size(
        child.m_anchor_y, preferred, space, child.m_border_min_y, child.m_border_max_y);
    std::int32_t position = anchor_position(
        child.m_anchor_y, size, space, child.m_border_min_y, child.m_border_max_y);
    child.set_y(space_position + position, size);
}

void Element::layout_children_x()
{
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        place_child_x(child, m_x, m_width, child.measured_range_x().preferred);
    }
}

void Element::layout_children_y()
{
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        place_child_y(child, m_y, m_height, child.measured_range_y().preferred);
    }
}

void Element::set_x(std::int32_t position, std::int32_t width)
{
    if (m_x == position && m_width == width && !m_layout_dirty)
        return;
    m_x = position;
    m_width = width;
    m_layout_dirty = true;
    // Wrapping text grows or shrinks in height when its width changes.
    m_range_y_valid = false;
    mark_redraw();
    if (m_observer)
        m_observer->geometry_changed_x(*this, width);
    layout_children_x();
}

void Element::set_y(std::int32_t position, std::int32_t height)
{
    if (m_y == position && m_height == height && !m_layout_dirty)
        return;
    m_y = position;
    m_height = height;
    m_layout_dirty = false;
    mark_redraw();
    if (m_observer)
        m_observer->geometry_changed_y(*this, height);
    layout_children_y();
}

void Element::invalidate_measures()
{
    for (Element* element = this; element; element = element->m_parent) {
        element->m_range_x_valid = false;
        element->m_range_y_valid = false;
        element->m_layout_dirty = true;
    }
}

void Element::relayout_root()
{
    Element& top = root();
    top.set_x(top.m_x, top.m_width);
    top.set_y(top.m_y, top.m_height);
}

} // namespace corvane
