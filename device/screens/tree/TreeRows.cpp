#include "device/screens/tree/TreeRows.h"

#include "device/model/engine/Engine.h"
#include "device/screens/forms/Form.h"
#include "device/screens/task/TaskTitle.h"
#include "device/screens/tree/PathBar.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeRules.h"
#include "device/skin/widgets/ImageElement.h"

namespace corvane {

TreeItem::TreeItem(TreeItemOwner& owner, std::int32_t section)
    : m_owner(owner)
    , m_section(section)
{
}

void TreeItem::handle_buttons(std::initializer_list<WStringView> ids)
{
    for (WStringView id : ids) {
        if (auto* button = Form::optional_in<ButtonElement>(*this, id))
            button->set_handler(this);
    }
}

void TreeItem::clicked(ButtonElement& button, Point, std::int32_t)
{
    m_owner.item_button(*this, button);
}

void draw_record_row(Element& row, const Task& record, const TreeRowPlace& place,
    const TreeHost& host, const std::vector<ImageRef>& icons)
{
    WString title = task_title(record.title);
    WStringView chosen = tree_name_node(place.section, record.unread);
    for (WStringView node : tree_name_nodes) {
        Element& name = require_descendant(row, node);
        bool shown = node == chosen;
        show_element(&name, shown);
        if (shown)
            set_element_text(&name, title);
    }

    Element& unread = require_descendant(row, u"unread");
    Element& deadline = require_descendant(row, u"deadline");
    if (record.unreadCount != 0) {
        set_element_text(&unread,
            replace_placeholder(
                host.text(u"CountUnread"), u"%count%", to_wstring(record.unreadCount)));
        show_element(&unread, true);
        show_element(&deadline, false);
    } else if (record.deadline != 0) {
        set_element_text(&deadline, host.relative_date(record.deadline, false));
        show_element(&unread, false);
        show_element(&deadline, true);
    } else {
        show_element(&unread, false);
        show_element(&deadline, false);
    }

    set_element_text(
        &require_descendant(row, u"responsible"), host.user_name(record.responsibleId));

    Element& path = require_descendant(row, u"path");
    show_element(&path, place.flat);
    if (place.flat)
        fill_path_bar(path, host.engine(), record.parentId);

    auto& icon = Form::require_in<ImageElement>(row, u"icon");
    std::size_t index = static_cast<std::size_t>(tree_icon_index(record));
    if (index < icons.size())
        icon.set_source(icons[index]);
    Element& wait = require_descendant(row, u"wait");
    bool pending = host.engine().task_pending(record.id);
    show_element(&wait, pending);
    show_element(&icon, !pending);

    bool info = !place.flat && (is_project(record) || is_folder(record));
    show_element(&require_descendant(row, u"info"), info);
    require_descendant(row, u"complete");
}

void draw_tag_row(Element& row, WStringView tag, const TreeHost& host)
{
    set_element_text(&require_descendant(row, u"name"), tag);
    Element& unread = require_descendant(row, u"unread");
    std::int32_t count = tag_unread_count(host.engine(), tag);
    show_element(&unread, count != 0);
    if (count != 0)
        set_element_text(
            &unread, replace_placeholder(host.text(u"CountUnread"), u"%count%", to_wstring(count)));
}

} // namespace corvane
