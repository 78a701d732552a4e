#include "device/skin/layout/Anchor.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/skin/GeometryObserver.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace corvane;

namespace {

// An element whose own content asks for a fixed range along each axis.
class Box : public Element {
public:
    Box(MeasuredRange x, MeasuredRange y = {})
        : m_x(x)
        , m_y(y)
    {
    }
    void measure_content_x(MeasuredRange& range) override
    {
        range.preferred = std::max(range.preferred, m_x.preferred);
        range.minimum = std::max(range.minimum, m_x.minimum);
        ++measures;
    }
    void measure_content_y(MeasuredRange& range) override
    {
        range.preferred = std::max(range.preferred, m_y.preferred);
        range.minimum = std::max(range.minimum, m_y.minimum);
    }
    void layout_children_x() override
    {
        ++x_layouts;
        Element::layout_children_x();
    }
    MeasuredRange m_x, m_y;
    int measures { 0 };
    int x_layouts { 0 };
};

Box& add_box(Element& parent, MeasuredRange x, MeasuredRange y = {})
{
    return static_cast<Box&>(parent.add_child(std::make_unique<Box>(x, y)));
}

void lay_out(Element& root, std::int32_t width, std::int32_t height)
{
    root.set_x(0, width);
    root.set_y(0, height);
}

} // namespace

// The anchor table at its edges: clamping at 0, MAX_SIDE below 1, the halved remainder.
TEST(Anchor, sizes_and_positions_follow_the_table)
{
    // CENTER, preferred 30 in 100 with borders 10 and 20: at 30, 30 wide; preferred 90: 70 at 10.
    EXPECT_EQ(anchor_size(AnchorMode::Center, 30, 100, 10, 20), 30);
    EXPECT_EQ(anchor_position(AnchorMode::Center, 30, 100, 10, 20), 30);
    EXPECT_EQ(anchor_size(AnchorMode::Center, 90, 100, 10, 20), 70);
    EXPECT_EQ(anchor_position(AnchorMode::Center, 70, 100, 10, 20), 10);
    // MAX_SIDE wider than its space sits at 0.
    EXPECT_EQ(anchor_size(AnchorMode::MaxSide, 150, 100, 0, 5), 95);
    EXPECT_EQ(anchor_position(AnchorMode::MaxSide, 120, 100, 0, 5), 0);
    EXPECT_EQ(anchor_position(AnchorMode::MaxSideNoSize, 20, 100, 0, 5), 75);
    EXPECT_EQ(anchor_size(AnchorMode::MinSide, 50, 30, 10, 99), 20);
    EXPECT_EQ(anchor_size(AnchorMode::BothSide, 1, 10, 8, 8), 0); // never negative
    EXPECT_EQ(anchor_size(AnchorMode::Ratio, 50, 100, 10, 10), 50);
    EXPECT_EQ(anchor_size(AnchorMode::MinSideNoSize, 500, 100, 0, 0), 500);
    EXPECT_EQ(anchor_size(AnchorMode::BothSideNoSize, 5, 100, 10, 20), 70);
    // A negative remainder truncates toward zero, then counts as 0.
    EXPECT_EQ(anchor_position(AnchorMode::CenterNoSize, 103, 100, 2, 0), 2);
    EXPECT_EQ(anchor_position(AnchorMode::Center, 7, 10, 0, 0), 1);
    EXPECT_EQ(required_extent(AnchorMode::CenterNoSize, 3, 40, 4), 0);
    EXPECT_EQ(required_extent(AnchorMode::Center, 3, 40, 4), 47);
    EXPECT_EQ(parse_anchor_mode(u"CENTER_NO_SIZE"), AnchorMode::CenterNoSize);
    EXPECT_EQ(parse_anchor_mode(u"MAX_SIDE "), AnchorMode::BothSide);
    EXPECT_EQ(parse_anchor_mode(u"min_side"), AnchorMode::BothSide);
}

// Base measure: the design size floors both values; a *_NO_SIZE child adds nothing to the
// preferred extent but its minimum side contributes m - p.
TEST(Layout, base_measure_takes_design_size_and_children)
{
    Element root;
    root.set_design_size(20, 5);
    Box& ordinary = add_box(root, { 30, 10 });
    ordinary.set_borders(2, 0, 3, 0);
    EXPECT_EQ(root.measured_range_x(), (MeasuredRange { 35, 20 }));
    Box& free = add_box(root, { 100, 90 });
    free.set_anchors(AnchorMode::CenterNoSize, AnchorMode::BothSide);
    EXPECT_EQ(root.measured_range_x(), (MeasuredRange { 35, 20 }));
    Box& shrinking = add_box(root, { 100, 140 });
    shrinking.set_anchors(AnchorMode::MinSideNoSize, AnchorMode::BothSide);
    EXPECT_EQ(root.measured_range_x(), (MeasuredRange { 35, 40 }));
    EXPECT_EQ(root.measured_range_y().preferred, 5);
}

// Ranges are cached until something below changes; set_x only re-lays a dirty subtree.
TEST(Layout, measures_are_cached_and_set_x_returns_early)
{
    Element root;
    Box& a = add_box(root, { 10, 10 });
    Box& b = add_box(a, { 5, 5 });
    lay_out(root, 100, 50);
    int measures = b.measures;
    int layouts = a.x_layouts;
    root.measured_range_x();
    lay_out(root, 100, 50);
    EXPECT_EQ(b.measures, measures);
    EXPECT_EQ(a.x_layouts, layouts);

    // Twice the same set_x does nothing the second time only if a set_y came between.
    a.set_x(0, 100);
    EXPECT_EQ(a.x_layouts, layouts);
    b.invalidate_measures();
    EXPECT_TRUE(root.is_layout_dirty());
    root.set_x(0, 100);
    EXPECT_EQ(a.x_layouts, layouts + 1);
    root.set_x(0, 100);
    EXPECT_EQ(a.x_layouts, layouts + 2);
    root.set_y(0, 50);
    root.set_x(0, 100);
    EXPECT_EQ(a.x_layouts, layouts + 2);
    EXPECT_FALSE(root.is_layout_dirty());
}

// Observers hear of every effective change of place, along each axis separately.
TEST(Layout, observer_hears_effective_changes)
{
    struct Recorder : GeometryObserver {
        void geometry_changed_x(Element&, std::int32_t width) override { widths.push_back(width); }
        void geometry_changed_y(Element&, std::int32_t height) override
        {
            heights.push_back(height);
        }
        std::vector<std::int32_t> widths, heights;
    } recorder;
    Element root;
    Box& child = add_box(root, { 10, 10 }, { 10, 10 });
    child.set_anchors(AnchorMode::BothSide, AnchorMode::MinSide);
    child.set_geometry_observer(&recorder);
    lay_out(root, 100, 50);
    lay_out(root, 100, 50);
    lay_out(root, 200, 50);
    EXPECT_EQ(recorder.widths, (std::vector<std::int32_t> { 100, 200 }));
    // A new width leaves the element layout-dirty, so the y pass that follows is effective
    // (and reported) even though the height stays the same.
    EXPECT_EQ(recorder.heights, (std::vector<std::int32_t> { 10, 10 }));
    EXPECT_EQ(child.size(), (Size { 200, 10 }));
}

// Table sharing, case by case.
TEST(TableShare, shares_room_as_the_rules_say)
{
    using Cells = std::vector<TableCell>;
    // No room beyond the margins: nothing to share.
    EXPECT_FALSE(share_table_space(Cells { { 10, 5, 30, 0 }, { 10, 5, 30, 0 } }, 59).has_room);
    // 5 spare pixels between two children that each need 10 more: 2 then 3.
    EXPECT_EQ(share_table_space(Cells { { 10, 0, 0, 0 }, { 10, 0, 0, 0 } }, 5).extents,
        (std::vector<std::int32_t> { 2, 3 }));
    // Room for every preferred size and no ratio: the rest stays unused.
    EXPECT_EQ(share_table_space(Cells { { 10, 5, 0, 0 }, { 20, 20, 0, 0 } }, 100).extents,
        (std::vector<std::int32_t> { 10, 20 }));
    // Three ratio-1 children share 10 spare pixels 3, 3, 4.
    EXPECT_EQ(share_table_space(Cells { { 10, 10, 0, 1 }, { 10, 10, 0, 1 }, { 10, 10, 0, 1 } }, 40)
                  .extents,
        (std::vector<std::int32_t> { 13, 13, 14 }));
    // Ratios 2 and 1: the first gets all of L, the second half of L again (divisor = count).
    EXPECT_EQ(share_table_space(Cells { { 0, 0, 0, 2 }, { 0, 0, 0, 1 } }, 20).extents,
        (std::vector<std::int32_t> { 20, 10 }));
    // A child that fills up hands its unused offer to the next pass.
    EXPECT_EQ(
        share_table_space(Cells { { 1, 0, 0, 0 }, { 20, 0, 0, 0 }, { 20, 0, 0, 0 } }, 21).extents,
        (std::vector<std::int32_t> { 1, 10, 10 }));
    // Not even the minimums fit: scaled in proportion, the rounding spread in order.
    EXPECT_EQ(share_table_space(Cells { { 30, 10, 0, 0 }, { 30, 10, 0, 0 }, { 30, 10, 0, 0 } }, 20)
                  .extents,
        (std::vector<std::int32_t> { 6, 7, 7 }));
    // Huge ratios do not overflow.
    auto huge = share_table_space(Cells { { 0, 0, 0, 0x7FFFFFFF }, { 0, 0, 0, 0x7FFFFFFF } }, 1000);
    EXPECT_GT(huge.extents[0], 0);
}

// An htable places its visible children side by side with their margins; a table narrower
// than the margins sets every visible child to width 0 at its own x; hidden children leave
// their place to the others.
TEST(Table, tables_place_their_visible_children)
{
    Element root;
    auto& table = static_cast<TableElement&>(root.add_child(std::make_unique<HTableElement>()));
    table.set_borders(10, 0, 0, 0);
    Box& a = add_box(table, { 20, 10 });
    Box& b = add_box(table, { 30, 30 });
    a.set_borders(2, 0, 3, 0);
    b.set_anchors(AnchorMode::Center, AnchorMode::BothSide);
    lay_out(root, 110, 40);
    EXPECT_EQ(table.measured_range_x(), (MeasuredRange { 55, 45 }));
    auto placed = [&] { return std::tuple(a.x(), a.width(), b.x(), b.width()); };
    EXPECT_EQ(placed(), std::tuple(12, 20, 35, 30));
    EXPECT_EQ(b.height(), 40); // along y the table stacks like the base element
    lay_out(root, 14, 40);
    EXPECT_EQ(placed(), std::tuple(10, 0, 10, 0));

    // Hiding a vtable child makes the others close up on the next layout, and the hidden one
    // keeps its last geometry.
    Element column;
    Element& stack = column.add_child(std::make_unique<VTableElement>());
    Box& top = add_box(stack, {}, { 10, 10 });
    Box& middle = add_box(stack, {}, { 10, 10 });
    Box& bottom = add_box(stack, {}, { 10, 10 });
    lay_out(column, 50, 100);
    EXPECT_EQ(bottom.y(), 20);
    middle.set_visible(false);
    lay_out(column, 50, 100);
    EXPECT_EQ(std::tuple(top.y(), middle.y(), bottom.y()), std::tuple(0, 10, 10));
    EXPECT_EQ(stack.measured_range_y().preferred, 20);
    middle.set_visible(true);
    lay_out(column, 50, 100);
    EXPECT_EQ(bottom.y(), 20);
}
