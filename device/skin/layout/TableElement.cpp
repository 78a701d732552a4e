#include "device/skin/layout/TableElement.h"

#include "device/skin/layout/Anchor.h"

#include <algorithm>

namespace corvane {

namespace {

    // floor(a * b / c) without overflow for the non-negative values the table works with.
    std::int64_t scaled(std::int64_t a, std::int64_t b, std::int64_t c)
    {
        return static_cast<std::int64_t>(static_cast<__int128>(a) * b / c);
    }

    // Offers the spare pixels E round the children that can still grow, in passes, each child
    // offered an equal share with the rounding spread in order; a child that fills up hands the
    // rest of its offer on to the next pass.
    void share_spare(const std::vector<TableCell>& cells, std::vector<std::int32_t>& sizes,
        std::int64_t spare, std::int64_t growable)
    {
        while (spare > 0 && growable > 0) {
            std::int64_t total = 0;
            std::int64_t offered_before = 0;
            std::int64_t leftover = 0;
            std::int64_t still_growable = 0;
            for (std::size_t i = 0; i < cells.size(); ++i) {
                if (sizes[i] >= cells[i].preferred)
                    continue;
                total += spare;
                std::int64_t offered_now = total / growable;
                std::int64_t offer = offered_now - offered_before;
                offered_before = offered_now;
                std::int64_t room = cells[i].preferred - sizes[i];
                if (room > offer) {
                    sizes[i] += static_cast<std::int32_t>(offer);
                    ++still_growable;
                } else {
                    sizes[i] = cells[i].preferred;
                    leftover += offer - room;
                }
            }
            // Offers only reach children that can grow; what a divisor counting others left
            // unoffered is not shared again.
            growable = still_growable;
            spare = leftover;
        }
    }

} // namespace

TableShare share_table_space(const std::vector<TableCell>& cells, std::int32_t space)
{
    TableShare share;
    share.extents.assign(cells.size(), 0);
    std::int64_t margins = 0, sum_preferred = 0, sum_minimum = 0, ratio_children = 0, growable = 0;
    for (const TableCell& cell : cells) {
        margins += cell.margins;
        sum_preferred += cell.preferred;
        sum_minimum += cell.minimum;
        ratio_children += cell.ratio > 0;
        growable += cell.preferred != cell.minimum;
    }
    std::int64_t available = std::int64_t(space) - margins;
    if (available < 1) {
        share.has_room = false;
        return share;
    }
    if (available > sum_minimum) {
        std::int64_t spare, rest;
        if (available <= sum_preferred) {
            spare = available - sum_minimum;
            rest = 0;
        } else {
            spare = sum_preferred - sum_minimum;
            rest = available - sum_preferred;
        }
        std::vector<std::int32_t> sizes;
        for (const TableCell& cell : cells)
            sizes.push_back(cell.minimum);
        share_spare(cells, sizes, spare, growable);
        // The rest goes to the ratio children; the divisor is their number, not the sum of
        // their ratios, so ratios above 1 hand out more than the rest.
        std::int64_t running = 0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            std::int64_t extent = sizes[i];
            if (cells[i].ratio > 0) {
                extent += scaled(running + cells[i].ratio, rest, ratio_children)
                    - scaled(running, rest, ratio_children);
                running += cells[i].ratio;
            }
            share.extents[i]
                = static_cast<std::int32_t>(std::min<std::int64_t>(extent, INT32_MAX / 2));
        }
        return share;
    }
    // Not even the minimums fit: scale them down in proportion.
    std::int64_t accumulated = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        share.extents[i] = static_cast<std::int32_t>(
            scaled(accumulated + cells[i].minimum, available, sum_minimum)
            - scaled(accumulated, available, sum_minimum));
        accumulated += cells[i].minimum;
    }
    return share;
}

void TableElement::child_changed(ChildChange, std::int32_t)
{
    invalidate_measures();
}

void TableElement::measure_x(MeasuredRange& range)
{
    if (m_axis == Axis::X)
        measure_along(range, Axis::X);
    else
        Element::measure_x(range);
}

void TableElement::measure_y(MeasuredRange& range)
{
    if (m_axis == Axis::Y)
        measure_along(range, Axis::Y);
    else
        Element::measure_y(range);
}

void TableElement::measure_along(MeasuredRange& range, Axis axis)
{
    bool x = axis == Axis::X;
    // The design size floors the preferred extent only: a table may still shrink below it.
    range.preferred = std::max(range.preferred, x ? design_width() : design_height());
    std::int64_t sum = 0, shrink = 0;
    for (const auto& child : children()) {
        if (!child->is_visible())
            continue;
        MeasuredRange c = x ? child->measured_range_x() : child->measured_range_y();
        sum += x ? required_extent(
                   child->anchor_x(), child->border_min_x(), c.preferred, child->border_max_x())
                 : required_extent(
                     child->anchor_y(), child->border_min_y(), c.preferred, child->border_max_y());
        shrink += c.preferred - c.minimum;
    }
    auto clamp32 = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    range.preferred = std::max(range.preferred, clamp32(sum));
    range.minimum = std::max(range.minimum, clamp32(sum - shrink));
    if (x)
        measure_content_x(range);
    else
        measure_content_y(range);
}

void TableElement::layout_children_x()
{
    if (m_axis == Axis::X)
        arrange_along(Axis::X);
    else
        Element::layout_children_x();
}

void TableElement::layout_children_y()
{
    if (m_axis == Axis::Y)
        arrange_along(Axis::Y);
    else
        Element::layout_children_y();
}

void TableElement::arrange_along(Axis axis)
{
    bool x = axis == Axis::X;
    std::vector<Element*> visible;
    std::vector<TableCell> cells;
    for (const auto& child : children()) {
        if (!child->is_visible())
            continue;
        MeasuredRange c = x ? child->measured_range_x() : child->measured_range_y();
        std::int32_t margins = x ? child->border_min_x() + child->border_max_x()
                                 : child->border_min_y() + child->border_max_y();
        visible.push_back(child.get());
        cells.push_back({ c.preferred, c.minimum, margins, child->table_ratio() });
    }
    std::int32_t start = x ? this->x() : this->y();
    std::int32_t space = x ? width() : height();
    TableShare share = share_table_space(cells, space);
    // Extents from large ratios may add up past 32 bits; positions saturate instead.
    std::int64_t cursor = start;
    auto clamp32 = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    for (std::size_t i = 0; i < visible.size(); ++i) {
        Element& child = *visible[i];
        if (!share.has_room) {
            x ? child.set_x(start, 0) : child.set_y(start, 0);
            continue;
        }
        std::int32_t cell = clamp32(std::int64_t(share.extents[i]) + cells[i].margins);
        if (x)
            place_child_x(child, clamp32(cursor), cell, share.extents[i]);
        else
            place_child_y(child, clamp32(cursor), cell, share.extents[i]);
        cursor += cell;
    }
}

} // namespace corvane
