#include "device/skin/widgets/ProgressElement.h"

#include "device/skin/layout/Anchor.h"

#include <cmath>

namespace corvane {

void ProgressElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    m_line = find_descendant(u"#line");
    if (m_line)
        m_line->set_geometry_observer(nullptr);
}

void ProgressElement::set_fraction(double fraction)
{
    if (!(fraction > 0))
        fraction = 0;
    if (fraction > 1)
        fraction = 1;
    if (fraction == m_fraction)
        return;
    m_fraction = fraction;
    invalidate_measures();
    mark_redraw();
}

std::int32_t ProgressElement::bar_extent(std::int32_t space, std::int32_t required) const
{
    double wanted = (space - required) * m_fraction;
    if (wanted < 1)
        return 0;
    return static_cast<std::int32_t>(wanted);
}

void ProgressElement::layout_children_x()
{
    for (const auto& child : children()) {
        if (child.get() != m_line) {
            place_child_x(*child, x(), width(), child->measured_range_x().preferred);
            continue;
        }
        std::int32_t required
            = required_extent(child->anchor_x(), child->border_min_x(), 0, child->border_max_x());
        place_child_x(*child, x(), width(), bar_extent(width(), required));
    }
}

void ProgressElement::layout_children_y()
{
    for (const auto& child : children()) {
        if (child.get() != m_line) {
            place_child_y(*child, y(), height(), child->measured_range_y().preferred);
            continue;
        }
        std::int32_t required
            = required_extent(child->anchor_y(), child->border_min_y(), 0, child->border_max_y());
        place_child_y(*child, y(), height(), bar_extent(height(), required));
    }
}

} // namespace corvane
