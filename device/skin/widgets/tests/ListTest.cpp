#include "WidgetTestSupport.h"

#include "device/core/KeyCode.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// Rows built from the skin's "ListRow" node (40 pixels high), each showing its index.
struct RowProvider : ListItemProvider {
    explicit RowProvider(Properties& properties)
        : properties(properties)
    {
    }
    void activated(VListElement&, std::int32_t index) override { activations.push_back(index); }
    std::unique_ptr<Element> create_item(VListElement&, std::int32_t index) override
    {
        auto row = std::make_unique<Element>();
        build_from_node_or_throw(*row, properties, u"ListRow");
        row->assign_text(u"#text", to_wstring(index));
        ++created;
        return row;
    }
    Properties& properties;
    std::vector<std::int32_t> activations;
    int created = 0;
};

class Lists : public WidgetTest {
protected:
    VListElement& make(std::int32_t count)
    {
        build(u"Widgets");
        VListElement& found = find<VListElement>(u"list");
        found.set_provider(&provider);
        found.set_count(count);
        found.tick(0.01);
        return found;
    }

    RowProvider provider { properties };
};

} // namespace

// The tracker (whose 9- and 10-pixel thresholds the list's tap test holds): samples under 50 ms
// apart give no velocity; only the last 250 ms count.
TEST(Tracker, ThresholdsAndWindow)
{
    VelocityTracker tracker;
    tracker.press(0, 0, 1000);
    tracker.move(0, 10, 1110);
    EXPECT_TRUE(tracker.is_dragging());
    EXPECT_NEAR(tracker.velocity_y(), -10 * 1000.0 / 110, 1e-9); // from the press: 110 ms
    tracker.press(0, 0, 2000);
    tracker.move(0, 20, 2020);
    tracker.move(0, 40, 2040);
    EXPECT_EQ(tracker.velocity_y(), 0); // a 40 ms jab does not coast
    tracker.move(0, 100, 2100);
    EXPECT_DOUBLE_EQ(tracker.velocity_y(), -1000.0); // 100 pixels down in 100 ms
    tracker.move(0, 100, 2400); // the old samples fall out of the window
    EXPECT_EQ(tracker.velocity_y(), 0);
    VelocityTracker doubled(1);
    doubled.press(0, 0, 0);
    doubled.move(15, 15, 10);
    EXPECT_FALSE(doubled.is_dragging());
}

// Only the rows in view exist: 160 pixels of 40-pixel rows make four. A move of 9 pixels and a
// release activate the pressed row; 10 pixels start a drag and cancel the press.
TEST_F(Lists, VisibleRowsAndTheTapThreshold)
{
    VListElement& list = make(1000);
    EXPECT_EQ(list.live_items().size(), 4u);
    EXPECT_EQ(provider.created, 4);
    EXPECT_NE(list.live_item(3), nullptr);
    EXPECT_EQ(list.live_item(4), nullptr);
    list.pointer_event(press_at(50, 50, 0));
    EXPECT_EQ(list.pressed_index(), 0);
    EXPECT_TRUE(list.live_item(0)->find_descendant(u"#vlist_pressed")->is_visible());
    list.pointer_moved(move_to(50, 59, 100));
    list.pointer_event(release_at(50, 59, 150));
    EXPECT_EQ(provider.activations, (std::vector<std::int32_t> { 0 }));

    list.tick(0.02);
    list.pointer_event(press_at(50, 50, 1000));
    list.pointer_moved(move_to(50, 60, 1100));
    EXPECT_EQ(list.pressed_index(), -1);
    EXPECT_TRUE(list.live_item(0)->find_descendant(u"#vlist_normal")->is_visible());
    list.pointer_event(release_at(50, 60, 1150));
    EXPECT_EQ(provider.activations.size(), 1u);
}

// A flick faster than 2000 pixels per second coasts at 2000; friction stops it, and the list
// settles exactly on an end when it coasted past one.
TEST_F(Lists, FlickClampsAndSettlesExactlyAtTheEnd)
{
    VListElement& list = make(20); // 640 pixels to scroll: a full-speed coast passes the end
    list.pointer_event(press_at(50, 150, 0));
    list.pointer_moved(move_to(50, 140, 10));
    list.pointer_moved(move_to(50, 100, 60));
    list.pointer_event(release_at(50, -100, 100)); // 2500 px/s upwards
    EXPECT_EQ(list.speed(), -2000);
    run_for(list, 10);
    EXPECT_EQ(list.speed(), 0);
    EXPECT_TRUE(list.last_is_loaded());
    EXPECT_DOUBLE_EQ(list.scroll_offset(), list.end_offset());
    EXPECT_NE(list.live_item(19), nullptr);
    EXPECT_LE(list.live_items().size(), 6u);

    // And back: a downward flick ends exactly at the top.
    list.pointer_event(press_at(50, 40, 20000));
    list.pointer_moved(move_to(50, 60, 20010));
    list.pointer_moved(move_to(50, 200, 20060));
    list.pointer_event(release_at(50, 300, 20100));
    EXPECT_EQ(list.speed(), 2000);
    run_for(list, 10);
    EXPECT_TRUE(list.first_is_top());
    EXPECT_DOUBLE_EQ(list.scroll_offset(), list.scroll_border_min());
}

// Dragging the first row down meets growing resistance and stops following at half the
// list's height; the release starts no coast and the content springs back.
TEST_F(Lists, RubberBandAtTheTop)
{
    VListElement& list = make(30);
    list.pointer_event(press_at(50, 40, 0));
    std::uint32_t time = 0;
    for (int y = 50; y <= 300; y += 10)
        list.pointer_moved(move_to(50, y, time += 10));
    EXPECT_GT(list.scroll_offset(), 60);
    EXPECT_LT(list.scroll_offset(), list.height() / 2.0);
    list.pointer_moved(move_to(50, 400, time += 10));
    double pulled = list.scroll_offset();
    EXPECT_LT(pulled, list.height() / 2.0 + 5);
    list.pointer_moved(move_to(50, 500, time += 10)); // beyond half the height: factor 0
    EXPECT_DOUBLE_EQ(list.scroll_offset(), pulled);
    list.pointer_event(release_at(50, 500, time += 10));
    EXPECT_EQ(list.speed(), 0);
    run_for(list, 2);
    EXPECT_DOUBLE_EQ(list.scroll_offset(), 0);
}

// The keyboard cursor moves one row per key press and rests exactly on a row; Enter with the
// cursor between rows activates the nearer one (2.6 -> 3).
TEST_F(Lists, KeyboardCursor)
{
    VListElement& list = make(30);
    auto key = [&](KeyCode code, bool down) {
        return list.key_event({ static_cast<std::int32_t>(code), down, true });
    };
    EXPECT_TRUE(key(KeyCode::Down, true));
    key(KeyCode::Down, false);
    EXPECT_EQ(list.cursor(), 0);
    run_for(list, 1);
    EXPECT_DOUBLE_EQ(list.cursor(), 1);
    key(KeyCode::Down, true);
    key(KeyCode::Down, true); // the release clamps the speed: one row
    key(KeyCode::Down, false);
    run_for(list, 2);
    EXPECT_DOUBLE_EQ(list.cursor(), 2);
    list.set_cursor(2.6);
    key(KeyCode::Enter, true);
    EXPECT_EQ(provider.activations, (std::vector<std::int32_t> { 3 }));
    // Far down: the list scrolls so that the cursor row stays in view.
    list.set_cursor(0);
    for (int i = 0; i < 10; ++i) {
        key(KeyCode::Down, true);
        key(KeyCode::Down, false);
        run_for(list, 0.5);
    }
    EXPECT_DOUBLE_EQ(list.cursor(), 10);
    ASSERT_NE(list.live_item(10), nullptr);
    EXPECT_GE(list.live_item(10)->y(), list.y());
    EXPECT_LE(list.live_item(10)->y() + 40, list.y() + list.height());
}

// An inserted row grows in at 200 pixels per second; a removed one shrinks away and is gone.
TEST_F(Lists, InsertedAndRemovedRowsAnimateTheirHeight)
{
    VListElement& list = make(3);
    list.insert_item(1);
    list.tick(0.1); // the new row is made with no height
    const auto& items = list.live_items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].index, 1);
    EXPECT_EQ(items[1].height, 0);
    EXPECT_EQ(items[2].index, 2);
    list.tick(0.1);
    EXPECT_NEAR(items[1].height, 20, 1e-9);
    list.tick(0.1);
    EXPECT_NEAR(items[1].height, 40, 1e-9);
    list.remove_item(0);
    list.tick(0.05);
    EXPECT_EQ(items[0].index, -1);
    EXPECT_NEAR(items[0].height, 30, 1e-9);
    run_for(list, 0.2);
    EXPECT_EQ(list.live_items().front().index, 0);
    EXPECT_EQ(list.count(), 3);
}

// A growing list takes the height of all its rows and never scrolls past either end.
TEST_F(Lists, GrowModeFollowsTheContent)
{
    auto holder = std::make_unique<Element>();
    auto owned = std::make_unique<VListElement>();
    VListElement& grown = *owned;
    holder->add_child(std::move(owned));
    grown.set_anchors(AnchorMode::MinSide, AnchorMode::MinSide);
    grown.set_grow(true);
    grown.set_provider(&provider);
    grown.set_count(6);
    holder->set_x(0, 240);
    holder->set_y(0, 320);
    grown.tick(0.01);
    holder->relayout_root();
    EXPECT_EQ(grown.live_items().size(), 6u);
    EXPECT_EQ(grown.height(), 240);
    grown.pointer_event(press_at(50, 10, 0));
    grown.pointer_moved(move_to(50, 60, 50));
    EXPECT_EQ(grown.scroll_offset(), 0);
    grown.pointer_moved(move_to(50, 0, 100));
    EXPECT_EQ(grown.scroll_offset(), 0);
}

// Rows that only moved are blitted from their painted images: after a scroll the list looks
// exactly as if every row had been drawn afresh at its new place.
TEST_F(Lists, MovedRowsLookAsIfDrawnAfresh)
{
    VListElement& list = make(30);
    RenderSurface cached;
    ASSERT_TRUE(cached.recreate(240, 320));
    root->paint(cached, {});
    list.set_scroll_offset(-53);
    list.tick(0.01);
    root->paint(cached, {});

    RenderSurface fresh;
    ASSERT_TRUE(fresh.recreate(240, 320));
    root->paint(fresh, {});
    Rect clip = fresh.push_clip(list.position(), list.size());
    list.paint_children(fresh, list.position());
    for (const auto& item : list.live_items()) {
        Rect own = fresh.push_clip(item.element->position(), item.element->size());
        item.element->paint(fresh, item.element->position());
        fresh.pop_clip(own);
    }
    fresh.pop_clip(clip);
    int differences = 0;
    for (std::int32_t y = list.y(); y < list.y() + list.height(); ++y) {
        for (std::int32_t x = 0; x < 240; ++x)
            differences += cached.surface()->pixel(x, y) != fresh.surface()->pixel(x, y);
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(list.live_items().front().index, 1);
}
