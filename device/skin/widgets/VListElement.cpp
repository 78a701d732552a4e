#include "device/skin/widgets/VListElement.h"

#include "device/core/KeyCode.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>
#include <cmath>

namespace corvane {

VListElement::VListElement()
    : m_highlight_blender(make_plain_copy_blender())
{
}

VListElement::~VListElement()
{
    clear_items();
}

void VListElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    m_border_min = properties.get_point(node, u"scroll_border_min", {}).y;
    m_border_max = properties.get_point(node, u"scroll_border_max", {}).y;
    m_locked = properties.get_integer(node, u"locked", 0) != 0;
    m_grow = properties.get_integer(node, u"grow", 0) != 0;
    static const ImageRef no_picture;
    m_highlight = properties.get_picture(node, u"highlight", no_picture);
    auto alpha
        = static_cast<std::int32_t>(properties.get_integer(node, u"highlight_alpha", 0xFFFFFFFF));
    m_highlight_blender = alpha == -1 ? make_plain_copy_blender() : make_alpha_blender(alpha);
    m_tracker.set_scale_shift(properties.scale_shift());
    set_count(m_count);
}

void VListElement::clear_items()
{
    m_pressed = nullptr;
    m_items.clear();
}

void VListElement::set_provider(ListItemProvider* provider)
{
    m_provider = provider;
    set_count(m_count);
    m_selected = -1;
}

void VListElement::set_count(std::int32_t count)
{
    cancel_press();
    m_count = std::max(0, count);
    clear_items();
    m_first_index = 0;
    m_cursor = -1;
    m_cursor_speed = 0;
    m_offset = m_border_min;
    m_speed = 0;
    m_last_content_height = 0;
    if (m_grow)
        invalidate_measures();
    mark_redraw();
}

void VListElement::reset()
{
    Element::reset();
    set_count(m_count);
}

void VListElement::set_scroll_offset(double offset)
{
    m_offset = offset;
    mark_redraw();
}

VListElement::LiveItem* VListElement::find_live(std::int32_t index)
{
    for (LiveItem& item : m_items) {
        if (item.index == index)
            return &item;
    }
    return nullptr;
}

Element* VListElement::live_item(std::int32_t index) const
{
    for (const LiveItem& item : m_items) {
        if (item.index == index)
            return item.element.get();
    }
    return nullptr;
}

void VListElement::sync_first_index()
{
    for (const LiveItem& item : m_items) {
        if (item.index >= 0) {
            m_first_index = item.index;
            return;
        }
    }
}

std::int32_t VListElement::last_index() const
{
    for (auto item = m_items.rbegin(); item != m_items.rend(); ++item) {
        if (item->index >= 0)
            return item->index;
    }
    return -1;
}

double VListElement::content_height() const
{
    double total = 0;
    for (const LiveItem& item : m_items)
        total += std::trunc(item.height);
    return total;
}

double VListElement::end_offset() const
{
    return height() - m_border_max - content_height();
}

bool VListElement::first_is_top() const
{
    return !m_items.empty() && m_first_index == 0 && last_index() >= 0;
}

bool VListElement::last_is_loaded() const
{
    return !m_items.empty() && last_index() == m_count - 1;
}

std::int32_t VListElement::pressed_index() const
{
    for (const LiveItem& item : m_items) {
        if (item.element.get() == m_pressed && m_pressed)
            return item.index;
    }
    return -1;
}

void VListElement::set_selected_index(std::int32_t index)
{
    if (index == m_selected)
        return;
    std::int32_t old = m_selected;
    m_selected = index;
    for (LiveItem& item : m_items) {
        if (item.index == old || item.index == index)
            update_state_images(item);
    }
    mark_redraw();
}

void VListElement::update_state_images(LiveItem& item)
{
    Element& element = *item.element;
    bool pressed = &element == m_pressed && !element.pointer_capture();
    bool selected = item.index >= 0 && item.index == m_selected;
    if (Element* normal = element.find_descendant(u"#vlist_normal"))
        normal->set_visible(!pressed && !selected);
    if (Element* shown = element.find_descendant(u"#vlist_pressed"))
        shown->set_visible(pressed);
    if (Element* chosen = element.find_descendant(u"#vlist_selected"))
        chosen->set_visible(selected && !pressed);
}

double VListElement::measure_item(Element& element)
{
    element.set_x(x(), width());
    return element.measured_range_y().preferred;
}

std::unique_ptr<Element> VListElement::make_item(std::int32_t index)
{
    std::unique_ptr<Element> element;
    if (m_provider)
        element = m_provider->create_item(*this, index);
    if (!element)
        element = std::make_unique<Element>();
    if (auto* bindable = dynamic_cast<BindableItem*>(element.get()))
        bindable->bind(index);
    element->set_visible(true);
    return element;
}

void VListElement::insert_item(std::int32_t index)
{
    if (index < 0 || index > m_count)
        return;
    ++m_count;
    for (LiveItem& item : m_items) {
        if (item.index >= index)
            ++item.index;
    }
    if (m_first_index >= index && last_index() >= 0)
        ++m_first_index;
    if (m_selected >= index)
        ++m_selected;
    mark_redraw();
}

void VListElement::remove_item(std::int32_t index)
{
    if (index < 0 || index >= m_count)
        return;
    --m_count;
    for (LiveItem& item : m_items) {
        if (item.index == index) {
            if (item.element.get() == m_pressed)
                cancel_press();
            item.index = -1;
            item.appearing = false;
        } else if (item.index > index) {
            --item.index;
        }
    }
    if (m_selected == index)
        m_selected = -1;
    else if (m_selected > index)
        --m_selected;
    if (m_first_index > index)
        --m_first_index;
    sync_first_index();
    mark_redraw();
}

void VListElement::rebuild_item(std::int32_t index)
{
    LiveItem* item = find_live(index);
    if (!item)
        return;
    if (auto* bindable = dynamic_cast<BindableItem*>(item->element.get())) {
        bindable->bind(index);
    } else {
        if (item->element.get() == m_pressed)
            cancel_press();
        item->element = make_item(index);
        item->target = measure_item(*item->element);
    }
    update_state_images(*item);
    mark_redraw();
}

void VListElement::rebuild_all_items()
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].index >= 0)
            rebuild_item(m_items[i].index);
    }
}

void VListElement::cancel_press()
{
    Element* pressed = m_pressed;
    if (!pressed)
        return;
    m_pressed = nullptr;
    if (pressed->pointer_capture()) {
        PointerEvent cancel { m_finger.x, m_finger.y, 0, 0, false, true };
        pressed->pointer_event(cancel);
    }
    for (LiveItem& item : m_items) {
        if (item.element.get() == pressed)
            update_state_images(item);
    }
    mark_redraw();
}

Element* VListElement::item_at(Point point, std::int32_t* index) const
{
    if (point.x < x() || point.x >= x() + width() || point.y < y() || point.y >= y() + height())
        return nullptr;
    std::int32_t top = y() + static_cast<std::int32_t>(std::trunc(m_offset));
    for (const LiveItem& item : m_items) {
        auto h = static_cast<std::int32_t>(std::trunc(item.height));
        if (point.y >= top && point.y < top + h && item.index >= 0) {
            if (index)
                *index = item.index;
            return item.element.get();
        }
        top += h;
    }
    return nullptr;
}

void VListElement::place_items()
{
    // An item that only moved keeps its painted image: its redraw marks are spent on a paint
    // without a surface, which draws nothing. Anything else that marked it repaints it.
    static RenderSurface no_surface;
    std::int32_t top = y() + static_cast<std::int32_t>(std::trunc(m_offset));
    for (LiveItem& item : m_items) {
        Element& element = *item.element;
        if (element.needs_redraw())
            item.cache_valid = false;
        auto h = static_cast<std::int32_t>(std::trunc(item.height));
        Size before = element.size();
        element.set_x(x(), width());
        element.set_y(top, h);
        if (element.size() != before)
            item.cache_valid = false;
        if (item.cache_valid && element.needs_redraw())
            element.paint(no_surface, {});
        top += h;
    }
}

void VListElement::layout_children_x()
{
    Element::layout_children_x();
    for (LiveItem& item : m_items) {
        item.element->set_x(x(), width());
        item.element->invalidate_measures();
    }
}

void VListElement::layout_children_y()
{
    Element::layout_children_y();
    place_items();
}

void VListElement::measure_content_y(MeasuredRange& range)
{
    if (!m_grow)
        return;
    auto content = static_cast<std::int32_t>(content_height());
    range.preferred = std::max(range.preferred, m_border_min + content + m_border_max);
    range.minimum = std::max(range.minimum, m_border_min + m_border_max);
}

} // namespace corvane
