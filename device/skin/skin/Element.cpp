#include "device/skin/skin/Element.h"

#include "device/core/Log.h"
#include "device/skin/layout/Anchor.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/skin/ElementRenderState.h"
#include "device/skin/skin/Properties.h"

namespace corvane {

namespace {

    std::uint64_t s_construction_count = 0;

} // namespace

Element::Element()
{
    ++s_construction_count;
}

Element::~Element() = default;

std::uint64_t Element::construction_count()
{
    return s_construction_count;
}

ElementRenderState& Element::render_state()
{
    if (!m_render)
        m_render = std::make_unique<ElementRenderState>();
    return *m_render;
}

std::unique_ptr<Element> Element::remove_child(Element& child, std::size_t index)
{
    if (index >= m_children.size() || m_children[index].get() != &child)
        return remove_child(child);
    if (m_capture == &child)
        m_capture = nullptr;
    invalidate_measures();
    std::unique_ptr<Element> removed = std::move(m_children[index]);
    m_children.erase(m_children.begin() + static_cast<std::ptrdiff_t>(index));
    removed->m_parent = nullptr;
    mark_redraw();
    return removed;
}

std::unique_ptr<Element> Element::remove_child(Element& child)
{
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        if (m_children[i].get() == &child)
            return remove_child(child, i);
    }
    return nullptr;
}

void Element::remove_all_children()
{
    while (!m_children.empty())
        remove_child(*m_children.back(), m_children.size() - 1);
}

Element& Element::insert_child(std::unique_ptr<Element> child, std::size_t index)
{
    Element& inserted = *child;
    inserted.m_parent = this;
    index = std::min(index, m_children.size());
    m_children.insert(m_children.begin() + static_cast<std::ptrdiff_t>(index), std::move(child));
    inserted.update_shown(m_visible && m_shown);
    inserted.update_usable(m_enabled && m_usable);
    invalidate_measures();
    mark_redraw();
    return inserted;
}

void Element::child_changed(ChildChange, std::int32_t) { }

void Element::dump(int depth) const
{
    LogStream& log = get_log();
    for (int i = 0; i < depth; ++i)
        log << u"\t";
    Size cache_size = m_render && m_render->cache ? m_render->cache->size() : Size {};
    log << u"{" << m_id << u"} position=(" << m_x << u"," << m_y << u") size=(" << m_width << u","
        << m_height << u") design_size=(" << m_design_width << u"," << m_design_height
        << u") rs.size=(" << cache_size.width << u"," << cache_size.height << u")\n";
    for (const auto& child : m_children)
        child->dump(depth + 1);
}

void Element::assign_text(WStringView id, WStringView text)
{
    for (const auto& child : m_children)
        child->assign_text(id, text);
}

void Element::load(Properties& properties, const Node& node)
{
    const WString& empty = Properties::empty_string();
    m_id = properties.get_string(node, u"id", empty);
    m_anchor_x = parse_anchor_mode(properties.get_string(node, u"anchor_x", empty));
    m_anchor_y = parse_anchor_mode(properties.get_string(node, u"anchor_y", empty));
    if (properties.has_points(node)) {
        Point border_min = properties.get_point(node, u"border_min", {});
        Point design_size = properties.get_point(node, u"design_size", {});
        Point border_max = properties.get_point(node, u"border_max", {});
        set_borders(border_min.x, border_min.y, border_max.x, border_max.y);
        set_design_size(design_size.x, design_size.y);
    }
    if (properties.has_integers(node)) {
        bool cache = properties.get_integer(node, u"cache", 0) != 0;
        if (cache)
            set_cache(true, properties.get_integer(node, u"cache_alpha", 0xFFFFFFFF));
        else
            m_cache = false;
        m_table_ratio = static_cast<std::int32_t>(properties.get_integer(node, u"table_ratio", 0));
    }
    std::uint32_t count = properties.child_count(node);
    for (std::uint32_t i = 0; i < count; ++i) {
        Node child_node = properties.child(node, i);
        std::unique_ptr<Element> child
            = create_element(properties.get_string(child_node, u"type", empty));
        child->load(properties, child_node);
        add_child(std::move(child));
    }
    const WString& animation = properties.get_string(node, u"visibility_animation", empty);
    if (!animation.empty())
        set_visibility_animation(VisibilityAnimation::create(animation));
    invalidate_measures();
}

void Element::reset()
{
    for (const auto& child : m_children)
        child->reset();
    mark_redraw();
}

void Element::visibility_changed(bool shown)
{
    // A hidden element gives its cache back; a running hide animation keeps its own reference.
    if (!shown && m_render)
        m_render->cache.reset();
}

void Element::tick(double seconds)
{
    if (m_render && m_render->animation && m_render->animation->is_running()) {
        m_render->animation->tick(seconds);
        mark_redraw();
        return;
    }
    for (std::size_t i = 0; i < m_children.size(); ++i)
        m_children[i]->tick(seconds);
}

void Element::draw(RenderSurface& surface, Point origin)
{
    paint_children(surface, origin);
}

bool Element::hit_test(Point point) const
{
    return point.x >= m_x && point.x - m_x < m_width && point.y >= m_y && point.y - m_y < m_height;
}

void Element::pointer_moved(const PointerEvent& event)
{
    if (m_capture)
        m_capture->pointer_moved(event);
}

bool Element::pointer_event(const PointerEvent& event)
{
    if (Element* captured = m_capture) {
        // The child that took the press also gets its release, wherever the pointer is now.
        if (!event.pressed)
            m_capture = nullptr;
        bool taken = captured->pointer_event(event);
        if (!event.pressed)
            captured->pointer_capture_lost();
        return taken;
    }
    Point point { event.x, event.y };
    for (std::size_t i = m_children.size(); i-- > 0;) {
        Element& child = *m_children[i];
        if (!child.is_visible() || !child.is_active() || !child.hit_test(point))
            continue;
        if (child.pointer_event(event)) {
            if (event.pressed)
                m_capture = &child;
            return true;
        }
    }
    return false;
}

void Element::pointer_capture_lost() { }

bool Element::key_event(const KeyEvent& event)
{
    for (std::size_t i = m_children.size(); i-- > 0;) {
        Element& child = *m_children[i];
        if (child.is_visible() && child.is_active() && child.key_event(event))
            return true;
    }
    return false;
}

bool Element::char_event(WStringView)
{
    return false;
}

Element& Element::root()
{
    Element* element = this;
    while (element->m_parent)
        element = element->m_parent;
    return *element;
}

Element* Element::find_descendant(WStringView id) const
{
    for (const auto& child : m_children) {
        if (child->m_id == id)
            return child.get();
    }
    for (const auto& child : m_children) {
        if (Element* found = child->find_descendant(id))
            return found;
    }
    return nullptr;
}

void Element::set_anchors(AnchorMode x, AnchorMode y)
{
    m_anchor_x = x;
    m_anchor_y = y;
    invalidate_measures();
}

void Element::set_borders(
    std::int32_t min_x, std::int32_t min_y, std::int32_t max_x, std::int32_t max_y)
{
    m_border_min_x = min_x;
    m_border_min_y = min_y;
    m_border_max_x = max_x;
    m_border_max_y = max_y;
    invalidate_measures();
}

void Element::set_design_size(std::int32_t width, std::int32_t height)
{
    m_design_width = width;
    m_design_height = height;
    invalidate_measures();
}

void Element::update_shown(bool shown)
{
    if (m_shown == shown)
        return;
    bool was_displayed = is_displayed();
    m_shown = shown;
    for (const auto& child : m_children)
        child->update_shown(m_visible && m_shown);
    if (was_displayed != is_displayed())
        visibility_changed(is_displayed());
}

void Element::set_visible(bool visible)
{
    if (m_visible == visible)
        return;
    bool was_displayed = is_displayed();
    m_visible = visible;
    for (const auto& child : m_children)
        child->update_shown(m_visible && m_shown);
    if (was_displayed != is_displayed())
        visibility_changed(is_displayed());
    mark_redraw();
    if (m_parent)
        m_parent->child_changed(ChildChange::Visibility, visible ? 1 : 0);
}

void Element::update_usable(bool usable)
{
    if (m_usable == usable)
        return;
    m_usable = usable;
    for (const auto& child : m_children)
        child->update_usable(m_enabled && m_usable);
    mark_redraw();
}

void Element::set_enabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    for (const auto& child : m_children)
        child->update_usable(m_enabled && m_usable);
    mark_redraw();
}

void Element::mark_redraw()
{
    for (Element* element = this; element; element = element->m_parent)
        element->m_needs_redraw = true;
}

} // namespace corvane
