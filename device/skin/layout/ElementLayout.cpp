// The two layout passes of Element: measuring bottom-up, then placing top-down.
#include "device/skin/layout/Anchor.h"
#include "device/skin/skin/Element.h"
#include "device/skin/skin/GeometryObserver.h"

#include <algorithm>

namespace corvane {

namespace {

    enum class Axis { X, Y };

    // An element's anchoring along one axis.
    struct AxisAnchor {
        AnchorMode mode;
        std::int32_t border_min;
        std::int32_t border_max;
    };

    AxisAnchor anchor_along(const Element& element, Axis axis)
    {
        if (axis == Axis::X)
            return { element.anchor_x(), element.border_min_x(), element.border_max_x() };
        return { element.anchor_y(), element.border_min_y(), element.border_max_y() };
    }

    // The extent the element's design and its children ask for along one axis. Hidden children
    // count too, so showing one does not change the parent's extent.
    void measure_children(Element& element, Axis axis, MeasuredRange& range)
    {
        std::int32_t design = axis == Axis::X ? element.design_width() : element.design_height();
        range.preferred = std::max(range.preferred, design);
        range.minimum = std::max(range.minimum, design);
        for (const auto& child : element.children()) {
            MeasuredRange c
                = axis == Axis::X ? child->measured_range_x() : child->measured_range_y();
            AxisAnchor anchor = anchor_along(*child, axis);
            std::int32_t required
                = required_extent(anchor.mode, anchor.border_min, c.preferred, anchor.border_max);
            range.preferred = std::max(range.preferred, required);
            range.minimum = std::max(range.minimum, c.minimum - c.preferred + required);
        }
    }

    struct Span {
        std::int32_t position;
        std::int32_t size;
    };

    // Where the child's anchoring puts it in a space of the parent, relative to the space.
    Span span_in_space(const Element& child, Axis axis, std::int32_t space, std::int32_t preferred)
    {
        AxisAnchor anchor = anchor_along(child, axis);
        std::int32_t size
            = anchor_size(anchor.mode, preferred, space, anchor.border_min, anchor.border_max);
        std::int32_t position
            = anchor_position(anchor.mode, size, space, anchor.border_min, anchor.border_max);
        return { position, size };
    }

} // namespace

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
    measure_children(*this, Axis::X, range);
    measure_content_x(range);
}

void Element::measure_y(MeasuredRange& range)
{
    measure_children(*this, Axis::Y, range);
    measure_content_y(range);
}

void Element::measure_content_x(MeasuredRange&) { }

void Element::measure_content_y(MeasuredRange&) { }

void Element::place_child_x(
    Element& child, std::int32_t space_position, std::int32_t space, std::int32_t preferred)
{
    Span span = span_in_space(child, Axis::X, space, preferred);
    child.set_x(space_position + span.position, span.size);
}

void Element::place_child_y(
    Element& child, std::int32_t space_position, std::int32_t space, std::int32_t preferred)
{
    Span span = span_in_space(child, Axis::Y, space, preferred);
    child.set_y(space_position + span.position, span.size);
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
