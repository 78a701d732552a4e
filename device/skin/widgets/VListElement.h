#pragma once

#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Blender.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Element.h"
#include "device/skin/widgets/VelocityTracker.h"

#include <cstdint>
#include <deque>
#include <memory>

namespace corvane {

class VListElement;

// Implemented by screens; not owned by the list.
class ListItemProvider {
public:
    virtual ~ListItemProvider() = default;
    virtual void activated(VListElement& list, std::int32_t index) = 0;
    // The element of one item; nothing gives an empty item.
    virtual std::unique_ptr<Element> create_item(VListElement& list, std::int32_t index) = 0;
};

// Item elements that show data of their own implement this; the list binds them to their
// index when created and when rebuilt.
class BindableItem {
public:
    virtual ~BindableItem() = default;
    virtual void bind(std::int32_t index) = 0;
};

// "vlist": a vertical list of provider-made items that scrolls by finger with momentum,
// rubber-band ends and spring-back, and by Up and Down with a highlight bar. Only the items in
// view exist. Main thread.
class VListElement : public Element {
public:
    struct LiveItem {
        std::unique_ptr<Element> element;
        std::int32_t index { -1 }; // -1: leaving
        double height { 0 }; // as drawn; moves towards target
        double target { 0 }; // the item's preferred height at the list's width
        bool appearing { false };
        // The item as last painted; scrolling only moves it, so it is blitted from here until
        // its content or size changes.
        std::unique_ptr<RenderSurface> cache;
        bool cache_valid { false };
        // False for rows that blend with what lies under them (soft edges over nothing, shadows):
        // those draw themselves every time.
        bool cache_usable { false };
    };

    VListElement();
    ~VListElement() override;

    void load(Properties& properties, const Node& node) override;
    void tick(double seconds) override;
    void draw(RenderSurface& surface, Point origin) override;
    void layout_children_x() override;
    void layout_children_y() override;
    void measure_content_y(MeasuredRange& range) override;
    void pointer_moved(const PointerEvent& event) override;
    bool pointer_event(const PointerEvent& event) override;
    bool key_event(const KeyEvent& event) override;

    void set_provider(ListItemProvider* provider);
    ListItemProvider* provider() const { return m_provider; }
    std::int32_t count() const { return m_count; }
    void set_count(std::int32_t count);
    void reset() override;
    std::int32_t selected_index() const { return m_selected; }
    void set_selected_index(std::int32_t index);
    void insert_item(std::int32_t index);
    void remove_item(std::int32_t index);
    void rebuild_item(std::int32_t index);
    void rebuild_all_items();
    // The live item under a screen point, or null.
    Element* item_at(Point point, std::int32_t* index = nullptr) const;

    // State, for screens, the script driver and tests.
    double scroll_offset() const { return m_offset; }
    void set_scroll_offset(double offset);
    double speed() const { return m_speed; }
    void set_speed(double speed) { m_speed = speed; }
    double cursor() const { return m_cursor; }
    void set_cursor(double cursor) { m_cursor = cursor; }
    double cursor_speed() const { return m_cursor_speed; }
    bool is_finger_down() const { return m_finger_down; }
    std::int32_t pressed_index() const;
    std::int32_t scroll_border_min() const { return m_border_min; }
    std::int32_t scroll_border_max() const { return m_border_max; }
    bool is_grow() const { return m_grow; }
    void set_grow(bool grow)
    {
        m_grow = grow;
        invalidate_measures();
    }
    bool is_locked() const { return m_locked; }
    double content_height() const;
    const std::deque<LiveItem>& live_items() const { return m_items; }
    // The element of a live item by index, or null when it is not in view.
    Element* live_item(std::int32_t index) const;
    const VelocityTracker& tracker() const { return m_tracker; }
    // The offset at which the last item's bottom meets the end of the list.
    double end_offset() const;
    bool first_is_top() const;
    bool last_is_loaded() const;

private:
    // How fast the keyboard cursor moves per step of a held key, in pixels per second.
    static constexpr double s_cursor_step = 200;

    void clear_items();
    void cancel_press();
    void update_state_images(LiveItem& item);
    // Paints the row into its cache; false when the row blends with what lies under it.
    bool paint_item_cache(LiveItem& item);
    void advance_heights(double seconds);
    void fill_items();
    std::unique_ptr<Element> make_item(std::int32_t index);
    double measure_item(Element& element);
    void place_items();
    void advance_cursor(double seconds);
    void keep_cursor_in_view();
    void clamp_for_grow();
    double item_height_at(std::int32_t index) const;
    double item_top(std::int32_t index) const;
    LiveItem* find_live(std::int32_t index);
    void sync_first_index();
    std::int32_t last_index() const;
    std::int32_t first_visible_index() const;
    std::int32_t last_visible_index() const;

    std::int32_t m_border_min { 0 };
    std::int32_t m_border_max { 0 };
    bool m_locked { false };
    bool m_grow { false };
    ImageRef m_highlight;
    std::unique_ptr<Blender> m_highlight_blender;
    ListItemProvider* m_provider { nullptr }; // Not owned.
    std::int32_t m_count { 0 };
    std::int32_t m_selected { -1 };
    std::deque<LiveItem> m_items;
    std::int32_t m_first_index { 0 }; // index of the first live item that has one
    double m_offset { 0 };
    double m_speed { 0 };
    Element* m_pressed { nullptr }; // Not owned: one of the live items.
    bool m_finger_down { false };
    Point m_finger;
    double m_cursor { -1 };
    double m_cursor_speed { 0 };
    VelocityTracker m_tracker;
    double m_last_content_height { 0 };
    RenderSurface m_scratch; // the second paint of paint_item_cache
};

} // namespace corvane
