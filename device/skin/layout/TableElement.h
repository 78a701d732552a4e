#pragma once

#include "device/skin/skin/Element.h"

#include <vector>

namespace corvane {

// "htable" and "vtable": lines the visible children up along one axis and shares the room
// between them (minimums first, then up to the preferred extents, then the rest by
// "table_ratio"). Along the other axis it behaves like the base element. Hidden children are
// neither measured nor placed along the table's axis and keep their last geometry.
class TableElement : public Element {
public:
    enum class Axis { X, Y };
    explicit TableElement(Axis axis)
        : m_axis(axis)
    {
    }

    Axis axis() const { return m_axis; }

    void child_changed(ChildChange change, std::int32_t argument) override;
    void measure_x(MeasuredRange& range) override;
    void measure_y(MeasuredRange& range) override;
    void layout_children_x() override;
    void layout_children_y() override;

private:
    void measure_along(MeasuredRange& range, Axis axis);
    void arrange_along(Axis axis);

    Axis m_axis;
};

class HTableElement final : public TableElement {
public:
    HTableElement()
        : TableElement(Axis::X)
    {
    }
};

class VTableElement final : public TableElement {
public:
    VTableElement()
        : TableElement(Axis::Y)
    {
    }
};

// How a table shares `space` between children; exposed so the arithmetic can be tested alone.
struct TableCell {
    std::int32_t preferred { 0 };
    std::int32_t minimum { 0 };
    std::int32_t margins { 0 }; // border_min + border_max
    std::int32_t ratio { 0 }; // "table_ratio"
};
// The extent, margins excluded, that each cell gets out of `space`.
struct TableShare {
    std::vector<std::int32_t> extents;
    bool has_room { true }; // false: every child is set to size 0 at the table's start
};
TableShare share_table_space(const std::vector<TableCell>& cells, std::int32_t space);

} // namespace corvane
