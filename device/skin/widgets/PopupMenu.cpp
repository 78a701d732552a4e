#include "device/skin/widgets/PopupMenu.h"

#include "device/core/KeyCode.h"
#include "device/core/Log.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/SkinErrors.h"
#include "device/skin/widgets/TextElement.h"

namespace corvane {

namespace {

    constexpr const char16_t* special_buttons[] = { u"About", u"Help", u"Minimize", u"Exit" };

} // namespace

PopupMenu::PopupMenu(
    Properties& properties, WStringView form_node, MenuModel& model, MenuFormHost& host)
    : m_properties(properties)
    , m_model(model)
    , m_host(host)
{
    m_form = host.create_form(*this);
    build_from_node_or_throw(*m_form, properties, form_node);
    m_panel = &require_descendant(*m_form, u"panel");
    m_caption = dynamic_cast<TextElement*>(find_descendant(*m_form, u"caption"));
    m_list = dynamic_cast<VListElement*>(find_descendant(*m_form, u"vlist"));
    if (!m_list)
        throw NodeNotFound(m_form->id(), u"vlist");
    m_list->set_provider(this);
    m_cancel = dynamic_cast<ButtonElement*>(find_descendant(*m_form, u"cancel"));
    if (m_cancel)
        m_cancel->set_handler(this);
}

PopupMenu::~PopupMenu()
{
    if (m_list)
        m_list->set_provider(nullptr);
}

void PopupMenu::show(WStringView path, WStringView caption, bool root)
{
    WString caption_text = caption.empty() ? translate(m_properties, path) : WString(caption);
    MenuContent content = m_model.items(*this, path);
    m_path = WString(path);
    bool same = content.items == m_items;
    m_items = std::move(content.items);
    if (!root && same) {
        m_list->rebuild_all_items();
        return;
    }
    if (m_caption)
        m_caption->set_text(caption_text);
    m_panel->set_visible(false);
    m_list->set_count(static_cast<std::int32_t>(m_items.size()));
    if (m_items.empty()) {
        m_host.close_form(*m_form);
        return;
    }
    if (root)
        m_host.show_form(*m_form);
    else
        m_host.bring_forward(*m_form);
    m_panel->set_visible_animated(true);
}

void PopupMenu::cancel()
{
    m_model.cancelled(*this);
    m_host.close_form(*m_form);
}

bool PopupMenu::key_event(const KeyEvent& event)
{
    if (event.code == static_cast<std::int32_t>(KeyCode::Backspace)) {
        if (event.pressed)
            cancel();
        return true;
    }
    return m_list->key_event(event);
}

void PopupMenu::activated(VListElement&, std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_items.size())
        return;
    MenuItem item = m_items[static_cast<std::size_t>(index)];
    if (!item.enabled)
        return;
    show(item.path, item.literal_text, false);
}

std::unique_ptr<Element> PopupMenu::create_item(VListElement&, std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_items.size())
        return nullptr;
    const MenuItem& item = m_items[static_cast<std::size_t>(index)];
    WString node = item.node_name.empty() ? m_model.default_item_node() : item.node_name;
    if (!item.enabled)
        node += u"Disabled";
    auto element = std::make_unique<Element>();
    build_from_node_or_throw(*element, m_properties, node);
    bool special = item.path == u"Magic4Buttons";
    if (!special)
        element->assign_text(
            u"#text", item.literal ? item.literal_text : translate(m_properties, item.path));
    if (Element* separator = find_descendant(*element, u"separator"))
        separator->set_visible(item.separator);
    if (Element* checked = find_descendant(*element, u"checked"))
        checked->set_visible(item.checked);
    bool missing = false;
    for (const char16_t* name : special_buttons) {
        if (auto* button = dynamic_cast<ButtonElement*>(find_descendant(*element, name)))
            button->set_handler(this);
        else
            missing = true;
    }
    if (special && missing) {
        ++m_missing_special;
        get_log() << u"PopupMenu: Magic4Buttons item lacks some of About, Help, Minimize, Exit\n";
    }
    return element;
}

void PopupMenu::clicked(ButtonElement& button, Point, std::int32_t)
{
    if (&button == m_cancel) {
        cancel();
        return;
    }
    for (const char16_t* name : special_buttons) {
        if (button.id() == name) {
            m_model.special_clicked(*this, name);
            return;
        }
    }
}

} // namespace corvane
