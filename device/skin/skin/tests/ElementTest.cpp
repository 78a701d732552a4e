#include "SkinTestSupport.h"

#include "device/core/testing/TestEnvironment.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/ReloadListener.h"
#include "device/skin/skin/SkinErrors.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// A skin of `nodes` loaded, and `form` built from its node "Form".
class Elements : public ::testing::Test {
protected:
    void load(const std::string& nodes)
    {
        std::string errors;
        std::string skin
            = compile_skin(env.folder(), "elements", R"({"nodes": {)" + nodes + "}}", &errors);
        ASSERT_FALSE(skin.empty()) << errors;
        ASSERT_TRUE(properties.load_skin(from_utf8(skin), DisplayInfo::make(240, 320, 0, 96)));
        ASSERT_TRUE(build_from_node(form, properties, u"Form"));
    }

    TestEnvironment env;
    CoreKinds kinds;
    Properties properties;
    Element form;
};

// Records visibility notifications.
class Probe : public Element {
public:
    void visibility_changed(bool shown) override
    {
        changes.push_back(shown);
        Element::visibility_changed(shown);
    }
    void child_changed(ChildChange change, std::int32_t argument) override
    {
        child_changes.emplace_back(change, argument);
    }
    bool pointer_event(const PointerEvent& event) override
    {
        events.push_back(event.pressed);
        return true;
    }
    std::vector<bool> changes;
    std::vector<std::pair<ChildChange, std::int32_t>> child_changes;
    std::vector<bool> events;
};

struct Observer : GeometryObserver {
    void geometry_changed_x(Element&, std::int32_t) override { }
    void geometry_changed_y(Element&, std::int32_t) override { }
};

} // namespace

// Registering a name twice, creating an unknown kind, and unregistering.
TEST(ElementRegistry, names_are_unique_and_unknown_kinds_raise)
{
    ScopedElementKind node(u"node", element_factory<Element>());
    try {
        register_element_kind(u"node", element_factory<Element>());
        FAIL() << "registered twice";
    } catch (const NodeAlreadyRegistered& error) {
        EXPECT_EQ(error.kind(), u"node");
    }
    EXPECT_THROW(create_element(u"no_such_kind"), NodeNotRegistered);
    unregister_element_kind(u"node");
    EXPECT_FALSE(is_element_kind_registered(u"node"));
    register_element_kind(u"node", element_factory<Element>());
    EXPECT_TRUE(create_element(u"node"));
}

// Building reads the base properties and the children in order; a node without points keeps
// the borders the element had; a missing top-level node answers false, a child without a
// type asks for the empty kind.
TEST_F(Elements, build_reads_base_properties_and_children)
{
    form.set_borders(5, 6, 7, 8);
    load(
        R"("Form": {"id": "form", "anchor_x": "MAX_SIDE", "anchor_y": "center", "cache": 1, "cache_alpha": 128,
                      "visibility_animation": "pop",
                      "children": [{"type": "color", "id": "a", "border_min": [1, 2], "table_ratio": 3},
                                   {"type": "node", "id": "b"}]},
            "Untyped": {"children": [{"id": "untyped"}]})");
    EXPECT_EQ(form.id(), u"form");
    EXPECT_EQ(form.anchor_x(), AnchorMode::MaxSide);
    EXPECT_EQ(form.anchor_y(), AnchorMode::BothSide); // words are case-sensitive
    EXPECT_EQ(form.border_min_x(), 5); // no point property: kept
    EXPECT_TRUE(form.has_cache());
    EXPECT_EQ(form.cache_alpha(), 128u);
    ASSERT_NE(form.visibility_animation(), nullptr);
    EXPECT_EQ(form.visibility_animation()->kind(), VisibilityAnimation::Kind::Pop);
    ASSERT_EQ(form.child_count(), 2u);
    EXPECT_NE(dynamic_cast<ColorElement*>(&form.child(0)), nullptr);
    EXPECT_EQ(form.child(0).border_min_y(), 2);
    EXPECT_EQ(form.child(0).border_max_x(), 0); // points present: missing ones read 0
    EXPECT_EQ(form.child(0).table_ratio(), 3);
    EXPECT_EQ(form.child(1).id(), u"b");

    // Rebuilding replaces the children rather than adding to them.
    ASSERT_TRUE(build_from_node(form, properties, u"Form"));
    EXPECT_EQ(form.child_count(), 2u);
    EXPECT_FALSE(build_from_node(form, properties, u"Missing"));
    EXPECT_THROW(build_from_node_or_throw(form, properties, u"Missing"), NodeNotFoundInSkin);
    // A child without "type" asks for the empty kind name.
    try {
        (void)build_from_node(form, properties, u"Untyped");
        FAIL() << "no exception";
    } catch (const NodeNotRegistered& error) {
        EXPECT_EQ(error.kind(), u"");
    }
}

// A direct child wins over a deeper element with the same id that comes first depth-first.
TEST_F(Elements, find_prefers_direct_children_and_bind_checks_the_kind)
{
    load(
        R"("Form": {"children": [{"type": "node", "id": "outer", "children": [{"type": "node", "id": "x", "design_size": [1, 1]}]},
                                  {"type": "node", "id": "x", "design_size": [2, 2]},
                                  {"type": "color", "id": "swatch"}]})");
    Element* x = find_descendant(form, u"x");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->design_width(), 2);
    EXPECT_EQ(find_descendant(form.child(0), u"x")->design_width(), 1);
    EXPECT_EQ(find_descendant(form, u"nothing"), nullptr);
    try {
        require_descendant(form, u"nothing");
        FAIL();
    } catch (const NodeNotFound& error) {
        EXPECT_EQ(error.sought_id(), u"nothing");
    }
    // bind stores the element and installs the observer only for a match of the right kind.
    Observer observer;
    ColorElement* slot = nullptr;
    EXPECT_FALSE(bind(slot, form, u"outer", observer));
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(form.child(0).geometry_observer(), nullptr);
    ASSERT_TRUE(bind(slot, form, u"swatch", observer));
    EXPECT_EQ(slot, &form.child(2));
    EXPECT_EQ(slot->geometry_observer(), &observer);
}

// Hiding an element hides its subtree once, tells the parent, and showing restores it.
TEST(Element, visibility_propagates_down_and_reports_up)
{
    Probe parent;
    Probe& child = static_cast<Probe&>(parent.add_child(std::make_unique<Probe>()));
    Probe& grandchild = static_cast<Probe&>(child.add_child(std::make_unique<Probe>()));
    parent.set_visible(false);
    EXPECT_EQ(parent.changes, std::vector<bool> { false });
    EXPECT_EQ(grandchild.changes, std::vector<bool> { false });
    EXPECT_TRUE(grandchild.is_visible());
    EXPECT_FALSE(grandchild.is_shown());

    // Hiding the child while the parent is hidden changes nothing on screen.
    child.set_visible(false);
    EXPECT_EQ(grandchild.changes.size(), 1u);
    EXPECT_EQ(parent.child_changes.back(), std::make_pair(ChildChange::Visibility, 0));
    parent.set_visible(true);
    EXPECT_FALSE(grandchild.is_shown());
    child.set_visible(true);
    EXPECT_TRUE(grandchild.is_shown());
    EXPECT_EQ(grandchild.changes, (std::vector<bool> { false, true }));

    // A child inserted under a hidden parent starts unshown; disabling makes it unusable.
    parent.set_visible(false);
    Probe& late = static_cast<Probe&>(parent.add_child(std::make_unique<Probe>()));
    EXPECT_FALSE(late.is_shown());
    parent.set_enabled(false);
    EXPECT_FALSE(grandchild.is_usable());
    EXPECT_FALSE(grandchild.is_active());
}

// The child that took a press gets the release even off its rectangle; a hidden or disabled
// child gets nothing; the topmost child under the point is asked first.
TEST(Element, pointer_press_captures_until_release)
{
    Element root;
    Probe& below = static_cast<Probe&>(root.add_child(std::make_unique<Probe>()));
    Probe& above = static_cast<Probe&>(root.add_child(std::make_unique<Probe>()));
    root.set_x(0, 100);
    root.set_y(0, 100);
    ASSERT_EQ(above.width(), 100);

    EXPECT_TRUE(root.pointer_event({ 10, 10, 0, 0, true, false }));
    EXPECT_EQ(root.pointer_capture(), &above);
    EXPECT_TRUE(root.pointer_event({ 500, 500, 0, 0, false, false }));
    EXPECT_EQ(above.events, (std::vector<bool> { true, false }));
    EXPECT_EQ(root.pointer_capture(), nullptr);
    EXPECT_TRUE(below.events.empty());

    above.set_visible(false);
    EXPECT_TRUE(root.pointer_event({ 10, 10, 0, 0, true, false }));
    EXPECT_EQ(below.events.size(), 1u);
    below.set_enabled(false);
    root.pointer_event({ 10, 10, 0, 0, false, false });
    EXPECT_FALSE(root.pointer_event({ 10, 10, 0, 0, true, false }));
    EXPECT_FALSE(root.hit_test({ 100, 5 }));
    EXPECT_TRUE(root.hit_test({ 99, 99 }));

    // Removing the capturing child clears the capture.
    below.set_enabled(true);
    root.pointer_event({ 10, 10, 0, 0, true, false });
    ASSERT_EQ(root.pointer_capture(), &below);
    root.remove_child(below);
    EXPECT_EQ(root.pointer_capture(), nullptr);
}

// Reload listeners run in registration order; one removed meanwhile is skipped.
TEST(Properties, reload_broadcast_runs_in_order)
{
    struct Listener : ReloadListener {
        Listener(std::vector<int>& log, int id)
            : log(log)
            , id(id)
        {
        }
        void reload_skin(Properties& properties) override
        {
            log.push_back(id);
            if (victim)
                properties.remove_reload_listener(*victim);
        }
        std::vector<int>& log;
        int id;
        ReloadListener* victim { nullptr };
    };
    std::vector<int> log;
    Properties properties;
    Listener one(log, 1), two(log, 2), three(log, 3);
    properties.add_reload_listener(one);
    properties.add_reload_listener(two);
    properties.add_reload_listener(three);
    one.victim = &two;
    properties.send_reload_skin();
    EXPECT_EQ(log, (std::vector<int> { 1, 3 }));
}

// Painting: colour fills its rectangle, a clip cuts its children, a hidden child is not drawn.
TEST_F(Elements, paint_draws_colours_inside_clips)
{
    load(R"("Form": {"children": [
        {"type": "color", "color": {"color": "#FFFFFF"}},
        {"type": "clip", "border_min": [2, 2], "border_max": [4, 4], "children": [
            {"type": "color", "border_min": [-10, -10], "color": {"color": "#FF0000"}}]},
        {"type": "color", "id": "hidden", "color": {"color": "#0000FF"}}]})");
    find_descendant(form, u"hidden")->set_visible(false);
    form.set_x(0, 10);
    form.set_y(0, 10);
    RenderSurface surface;
    ASSERT_TRUE(surface.recreate(10, 10));
    form.paint(surface, {});
    const Surface& pixels = *surface.surface();
    EXPECT_EQ(pixels.pixel(1, 1), 0xFFFF);
    EXPECT_EQ(pixels.pixel(2, 2), 0xF800);
    EXPECT_EQ(pixels.pixel(5, 5), 0xF800);
    EXPECT_EQ(pixels.pixel(6, 6), 0xFFFF);
    EXPECT_EQ(pixels.pixel(9, 0), 0xFFFF);
    EXPECT_FALSE(form.needs_redraw());
}

// Hiding with an animation and showing again before it ends turns the running animation round
// from where it is: a hide of 0.2 s shown again half way is back in another 0.1 s.
TEST_F(Elements, animated_hide_then_show_reverses)
{
    load(
        R"("Form": {"children": [{"type": "color", "id": "panel", "visibility_animation": "scale"}]})");
    form.set_x(0, 20);
    form.set_y(0, 20);
    Element& panel = *find_descendant(form, u"panel");
    const VisibilityAnimation* animation = panel.visibility_animation();
    panel.set_visible_animated(false);
    EXPECT_FALSE(panel.is_visible());
    ASSERT_TRUE(panel.is_animating());
    EXPECT_EQ(animation->direction(), -1);
    form.tick(0.1);
    EXPECT_DOUBLE_EQ(animation->progress(), 0.5);
    panel.set_visible_animated(true);
    EXPECT_TRUE(panel.is_visible());
    EXPECT_EQ(animation->direction(), 1);
    form.tick(0.05);
    EXPECT_DOUBLE_EQ(animation->progress(), 0.75);
    form.tick(0.05 + 1e-9);
    EXPECT_FALSE(panel.is_animating());
}
