#include "device/screens/tree/TreeLevel.h"

#include "device/model/engine/Engine.h"
#include "device/screens/task/TaskTitle.h"
#include "device/screens/tree/PathBar.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeRows.h"
#include "device/screens/tree/TreeStack.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>

// The level's items: headers and rows, how they are drawn, and what their buttons do.
namespace corvane {

WString TreeLevel::header_text(std::int32_t section) const
{
    WStringView key = tree_separator_key(section, m_target);
    if (key.empty())
        return {};
    return replace_placeholder(text(key), u"%name%", m_host.user_name(m_host.selected_user()));
}

std::unique_ptr<Element> TreeLevel::create_header(std::int32_t section)
{
    WStringView node = u"TreeSeparatorElement";
    if (section == AllSection)
        node = u"TreeAllElement";
    else if (section == MoreSection)
        node = m_target.flat ? u"ListMoreElement" : u"TreeMoreElement";
    auto header = std::make_unique<TreeItem>(static_cast<TreeItemOwner&>(*this), section);
    build_from_node_or_throw(*header, properties(), node);
    header->handle_buttons({ u"more" });
    return header;
}

std::unique_ptr<Element> TreeLevel::create_row(std::int32_t section, std::int32_t)
{
    auto row = std::make_unique<TreeItem>(static_cast<TreeItemOwner&>(*this), section);
    build_from_node_or_throw(
        *row, properties(), section == AllSection ? u"TreeTagElement" : u"TreeElement");
    if (section != AllSection) {
        require_in<ButtonElement>(*row, u"complete");
        require_in<ButtonElement>(*row, u"info");
        row->handle_buttons({ u"complete", u"info" });
    }
    return row;
}

void TreeLevel::draw_item(TreeItem& item, std::int32_t index)
{
    SectionedList::Position at = m_list->position_of(index);
    if (at.section != item.section())
        return; // a stale index: the list rebuilds it
    if (at.row == -1)
        draw_header(item);
    else if (at.section == AllSection)
        draw_tag(item, at.row);
    else
        draw_record(item, at.section, at.row);
}

void TreeLevel::draw_header(TreeItem& header)
{
    std::int32_t section = header.section();
    if (section == AllSection) {
        WString description = text(shows_no_projects() ? WStringView(u"NoProjectsHint")
                                                       : tree_all_description_key(m_target));
        if (m_target.is_tag()) {
            description = replace_placeholder(description, u"%name%", m_target.tag);
        } else if (!m_target.is_root()) {
            const Task* shown = find(engine(), m_target.list_id);
            description = replace_placeholder(
                description, u"%name%", shown ? task_title(shown->title) : WString());
        }
        set_element_text(&require_descendant(header, u"description"), description);
    } else if (section == MoreSection) {
        auto& more = require_in<ButtonElement>(header, u"more");
        Element& wait = require_descendant(header, u"wait");
        if (m_target.flat) {
            bool loading = engine().is_list_loading();
            more.set_text(
                replace_placeholder(text(u"MoreList"), u"%count%", to_wstring(s_page_size)));
            show_element(&more, engine().more_pages());
            more.set_enabled(!loading);
            show_element(&wait, loading);
        } else {
            // The tree pages nothing: the button only marks the place while children load.
            show_element(&more, true);
            more.set_enabled(false);
            show_element(&wait, true);
        }
    } else {
        Element& name = require_descendant(header, u"name");
        if (WString caption = header_text(section); !caption.empty())
            set_element_text(&name, caption);
    }
}

void TreeLevel::draw_tag(TreeItem& item, std::int32_t row)
{
    if (static_cast<std::size_t>(row) < m_tags.size())
        draw_tag_row(item, m_tags[static_cast<std::size_t>(row)], m_host);
}

void TreeLevel::draw_record(TreeItem& item, std::int32_t section, std::int32_t row)
{
    const auto& records = rows(section);
    if (row < 0 || static_cast<std::size_t>(row) >= records.size())
        return;
    const Task& record = records[static_cast<std::size_t>(row)];
    item.set_record_id(record.id);
    draw_record_row(item, record, { section, m_target.flat }, m_host, m_icons);
}

void TreeLevel::item_button(TreeItem& item, ButtonElement& button)
{
    if (button.id() == u"more") {
        more_pressed();
    } else if (button.id() == u"complete") {
        complete_pressed(item.record_id());
    } else if (button.id() == u"info") {
        info_pressed(item.record_id());
    }
}

void TreeLevel::activated(std::int32_t section, std::int32_t row)
{
    if (section == AllSection) {
        if (row == -1)
            m_host.show_all_tasks(m_target.list_id, m_target.tag);
        else if (static_cast<std::size_t>(row) < m_tags.size())
            m_host.tree().open_tag(WString(m_tags[static_cast<std::size_t>(row)]), true);
        return;
    }
    const auto& records = rows(section);
    if (row < 0 || static_cast<std::size_t>(row) >= records.size())
        return;
    // A copy: opening a list may re-target this very level.
    Task record = records[static_cast<std::size_t>(row)];
    open_record(record);
}

void TreeLevel::open_record(const Task& record)
{
    if (m_target.flat || is_plain_task(record))
        m_host.show_task(record.id);
    else
        m_host.tree().open_list(record.id, true);
}

void TreeLevel::complete_pressed(std::int32_t id)
{
    const Task* record = find(engine(), id);
    if (!record || !record->editable)
        return;
    Task edited = *record;
    edited.complete = !edited.complete;
    // Progress travels as differences: zero leaves it as it is.
    edited.done = 0;
    edited.plan = 0;
    engine().save_task(edited, u"");
    if (Location at = locate(id); at.section >= MarkedSection)
        m_list->redraw_row(at.section, at.row);
}

void TreeLevel::more_pressed()
{
    if (!m_target.flat)
        return;
    engine().refresh_list();
    m_list->redraw_row(MoreSection, -1);
}

void TreeLevel::info_pressed(std::int32_t id)
{
    m_host.show_task(id);
}

void TreeLevel::highlight_record(std::int32_t id)
{
    if (Location at = locate(id); at.section >= MarkedSection)
        m_list->highlight(at.section, at.row);
}

void TreeLevel::highlight_tag(WStringView tag)
{
    auto it = std::find(m_tags.begin(), m_tags.end(), tag);
    if (it != m_tags.end())
        m_list->highlight(AllSection, static_cast<std::int32_t>(it - m_tags.begin()));
}

void TreeLevel::on_button(ButtonElement& button)
{
    if (&button == m_back) {
        if (m_target.flat)
            close(true);
        else if (m_host.tree().count() > 1)
            m_host.tree().leave_level(m_target.list_id, m_target.tag, true);
        else
            m_host.show_main_menu();
    } else if (&button == m_plus) {
        m_host.new_record(std::max(m_target.list_id, 0));
    } else if (&button == m_select_user) {
        m_host.select_user();
    }
}

} // namespace corvane
