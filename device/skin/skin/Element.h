#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Geometry.h"
#include "device/skin/skin/InputEvents.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

class GeometryObserver;
class Node;
class Properties;
class RenderSurface;
class VisibilityAnimation;
struct ElementRenderState;

// How a child takes its place along one axis inside the slot its parent gives it.
enum class AnchorMode : std::uint8_t {
    MinSide = 0,
    BothSide = 1,
    MaxSide = 2,
    Ratio = 3,
    Center = 4,
    MinSideNoSize = 5,
    MaxSideNoSize = 6,
    BothSideNoSize = 7,
    CenterNoSize = 8,
};

// The extents an element asks for along one axis; both only ever grow during a measure.
struct MeasuredRange {
    std::int32_t preferred { 0 };
    std::int32_t minimum { 0 };
    friend bool operator==(const MeasuredRange&, const MeasuredRange&) = default;
};

// What a child tells its parent through child_changed.
enum class ChildChange : std::uint32_t {
    Visibility = 1, // the child was shown or hidden; the argument is 1 when shown
    Content = 2, // the child's content changed in a way that may change its extents
};

// The live UI object built from a skin node. Every element kind derives from it; the parent
// owns its children. Positions are absolute screen coordinates. Main thread only.
class Element {
public:
    Element();
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    // The overridable operations, in the order the kinds rely on.
    // Removes the child at `index` (which must be `child`) and hands it back; callers that do
    // not keep it let it be destroyed.
    virtual std::unique_ptr<Element> remove_child(Element& child, std::size_t index);
    // Takes ownership of the child and inserts it at `index` (clamped to the child count).
    virtual Element& insert_child(std::unique_ptr<Element> child, std::size_t index);
    // A child reports a change; the base ignores it, containers re-lay themselves out.
    virtual void child_changed(ChildChange change, std::int32_t argument);
    // One log line for this element, then its children one level deeper.
    virtual void dump(int depth) const;
    // Texts are handed down by id; text-bearing kinds take the text when the id is theirs.
    virtual void assign_text(WStringView id, WStringView text);
    // Reads the element from a skin node. May throw NodeNotRegistered.
    virtual void load(Properties& properties, const Node& node);
    virtual ~Element();
    // Resets the children, then marks this element and its ancestors for redraw.
    virtual void reset();
    // The element became shown (parent chain visible) or stopped being shown.
    virtual void visibility_changed(bool shown);
    // Advances animations by `seconds`.
    virtual void tick(double seconds);
    // Draws the element with its top-left corner at `origin` of the surface.
    virtual void draw(RenderSurface& surface, Point origin);
    virtual void layout_children_x();
    virtual void layout_children_y();
    // Raises `range` to what this element needs along x (design size, children, content).
    virtual void measure_x(MeasuredRange& range);
    // Content of the element itself along x, after the children; nothing in the base.
    virtual void measure_content_x(MeasuredRange& range);
    virtual void measure_y(MeasuredRange& range);
    virtual void measure_content_y(MeasuredRange& range);
    // True when the point lies in [x, x + width) x [y, y + height).
    virtual bool hit_test(Point point) const;
    // Pointer moves go to the child that captured the pointer.
    virtual void pointer_moved(const PointerEvent& event);
    // A press or release; answers whether some element took it.
    virtual bool pointer_event(const PointerEvent& event);
    // The pointer capture of this element ended (release or cancel); nothing in the base.
    virtual void pointer_capture_lost();
    // Keys go to the visible, usable children, last drawn first; answers whether one took it.
    virtual bool key_event(const KeyEvent& event);
    // Typed characters; the base takes none.
    virtual bool char_event(WStringView text);

    // Children.
    Element& add_child(std::unique_ptr<Element> child)
    {
        return insert_child(std::move(child), m_children.size());
    }
    std::unique_ptr<Element> remove_child(Element& child);
    void remove_all_children();
    std::size_t child_count() const { return m_children.size(); }
    Element& child(std::size_t index) const { return *m_children[index]; }
    const std::vector<std::unique_ptr<Element>>& children() const { return m_children; }
    Element* parent() const { return m_parent; }
    Element& root();
    // Direct children first, then each child's subtree in order; null when absent.
    Element* find_descendant(WStringView id) const;

    const WString& id() const { return m_id; }
    void set_id(WStringView id) { m_id = WString(id); }

    // Geometry, as last assigned by the layout.
    std::int32_t x() const { return m_x; }
    std::int32_t y() const { return m_y; }
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    Point position() const { return { m_x, m_y }; }
    Size size() const { return { m_width, m_height }; }

    // Layout parameters read from the skin.
    AnchorMode anchor_x() const { return m_anchor_x; }
    AnchorMode anchor_y() const { return m_anchor_y; }
    void set_anchors(AnchorMode x, AnchorMode y);
    std::int32_t border_min_x() const { return m_border_min_x; }
    std::int32_t border_min_y() const { return m_border_min_y; }
    std::int32_t border_max_x() const { return m_border_max_x; }
    std::int32_t border_max_y() const { return m_border_max_y; }
    std::int32_t design_width() const { return m_design_width; }
    std::int32_t design_height() const { return m_design_height; }
    void set_borders(
        std::int32_t min_x, std::int32_t min_y, std::int32_t max_x, std::int32_t max_y);
    void set_design_size(std::int32_t width, std::int32_t height);
    // The child's share of a table's spare room (integer "table_ratio").
    std::int32_t table_ratio() const { return m_table_ratio; }
    void set_table_ratio(std::int32_t ratio) { m_table_ratio = ratio; }

    // The two layout passes. The measured ranges are cached until invalidated.
    MeasuredRange measured_range_x();
    MeasuredRange measured_range_y();
    // Assigns the place along x and lays the children out; does nothing when nothing changed
    // since the last set_y.
    void set_x(std::int32_t position, std::int32_t width);
    void set_y(std::int32_t position, std::int32_t height);
    // Invalidates the measured ranges of this element and every ancestor.
    void invalidate_measures();
    bool is_layout_dirty() const { return m_layout_dirty; }
    // Lays the root of this element's tree out again with its current geometry.
    void relayout_root();

    GeometryObserver* geometry_observer() const { return m_observer; }
    void set_geometry_observer(GeometryObserver* observer) { m_observer = observer; }

    // Visibility: `visible` is the element's own flag, `shown` says the parent chain is visible.
    bool is_visible() const { return m_visible; }
    bool is_shown() const { return m_shown; }
    // Visible and shown: the element is on screen when its screen is.
    bool is_displayed() const { return m_visible && m_shown; }
    void set_visible(bool visible);
    // Shows or hides through the element's visibility animation, when it has one.
    void set_visible_animated(bool visible);
    bool is_enabled() const { return m_enabled; }
    bool is_usable() const { return m_usable; }
    bool is_active() const { return m_enabled && m_usable; }
    void set_enabled(bool enabled);

    // Redraw marks propagate upwards so unchanged subtrees can be blitted from their caches.
    bool needs_redraw() const { return m_needs_redraw; }
    void mark_redraw();

    // Pointer capture: the child that receives moves and the release of a press it took.
    Element* pointer_capture() const { return m_capture; }
    void set_pointer_capture(Element* child) { m_capture = child; }

    // Painting: runs the visibility animation, or blits the render cache, or draws.
    void paint(RenderSurface& surface, Point origin);
    // Paints every child at origin + (child position - this element's position).
    void paint_children(RenderSurface& surface, Point origin);
    bool has_cache() const { return m_cache; }
    // Turns the render cache on or off; `alpha` 0xFFFFFFFF blits it opaque.
    void set_cache(bool cache, std::uint32_t alpha = 0xFFFFFFFF);
    std::uint32_t cache_alpha() const { return m_cache_alpha; }
    // Brings the render cache up to date when it is on; null when there is none.
    RenderSurface* refresh_render_cache();
    VisibilityAnimation* visibility_animation() const;
    void set_visibility_animation(std::unique_ptr<VisibilityAnimation> animation);
    bool is_animating() const;

    // Number of elements constructed since the program started.
    static std::uint64_t construction_count();

protected:
    // Sets the place along an axis, for kinds that lay their children out themselves.
    void place_child_x(
        Element& child, std::int32_t space_position, std::int32_t space, std::int32_t preferred);
    void place_child_y(
        Element& child, std::int32_t space_position, std::int32_t space, std::int32_t preferred);

private:
    void update_shown(bool shown);
    void update_usable(bool usable);
    ElementRenderState& render_state();

    std::unique_ptr<ElementRenderState> m_render; // cache surface, blender, animation
    WString m_id;
    Element* m_parent { nullptr }; // Not owned: the parent owns us.
    GeometryObserver* m_observer { nullptr }; // Not owned; outlives the element or is cleared.
    AnchorMode m_anchor_x { AnchorMode::BothSide };
    AnchorMode m_anchor_y { AnchorMode::BothSide };
    std::int32_t m_border_min_x { 0 };
    std::int32_t m_border_min_y { 0 };
    std::int32_t m_design_width { 0 };
    std::int32_t m_design_height { 0 };
    std::int32_t m_border_max_x { 0 };
    std::int32_t m_border_max_y { 0 };
    std::int32_t m_table_ratio { 0 };
    MeasuredRange m_range_x;
    MeasuredRange m_range_y;
    bool m_range_x_valid { false };
    bool m_range_y_valid { false };
    bool m_visible { true };
    bool m_shown { true };
    bool m_enabled { true };
    bool m_usable { true };
    bool m_needs_redraw { true };
    bool m_layout_dirty { true };
    bool m_cache { false };
    std::uint32_t m_cache_alpha { 0xFFFFFFFF };
    Element* m_capture { nullptr }; // Not owned: one of our children.
    std::int32_t m_x { 0 };
    std::int32_t m_y { 0 };
    std::int32_t m_width { 0 };
    std::int32_t m_height { 0 };
    std::vector<std::unique_ptr<Element>> m_children;
};

} // namespace corvane
