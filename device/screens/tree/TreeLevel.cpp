#include "device/screens/tree/TreeLevel.h"

#include "device/model/engine/Engine.h"
#include "device/screens/task/TaskTitle.h"
#include "device/screens/tree/PathBar.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeRows.h"
#include "device/screens/tree/TreeStack.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>

namespace corvane {

const Task* TreeLevel::find(const Engine& engine, std::int32_t id)
{
    return id < 0 ? nullptr : engine.find_task(id);
}

TreeLevel::TreeLevel(TreeHost& host, Mode mode)
    : Form(host.properties(), u"Tree")
    , m_host(host)
{
    m_target.flat = mode == Mode::Flat;
    build();
}

TreeLevel::~TreeLevel()
{
    // While our element tree, and with it the list element, still exists.
    m_list.reset();
}

void TreeLevel::reload_skin(Properties& properties)
{
    // The rebuild destroys the list element: let go of it first.
    m_list.reset();
    Form::reload_skin(properties);
}

Engine& TreeLevel::engine() const
{
    return m_host.engine();
}

void TreeLevel::bind_nodes()
{
    m_back = &require_button(u"back");
    m_title = &require_button(u"title");
    m_plus = &require_button(u"plus");
    m_select_user = &require_button(u"select_user");
    m_path = &require_descendant(*this, u"path");
    m_icons.assign(icon_count, ImageRef {});
    if (std::optional<Node> sheet = properties().find_node(u"VizFolderIcons"))
        m_icons = cut_icon_sheet(properties().get_picture(*sheet, u"src", ImageRef {}));
    m_list = std::make_unique<SectionedList>(*static_cast<SectionedListOwner*>(this), shape());
    m_list->bind(*this, u"list");
    update_bar();
}

void TreeLevel::refresh_after_reload()
{
    update_bar();
}

void TreeLevel::set_list(std::int32_t list_id, WStringView tag)
{
    m_target.list_id = list_id;
    m_target.tag = WString(tag);
    const Task* shown = find(engine(), list_id);
    m_list_project = shown ? shown->projectId : -1;
    fill_rows();
    fill_tags();
    m_list->set_sections(shape());
    update_bar();
    // A tag level shows children of the root: those are what may still be missing.
    if (!m_target.flat)
        engine().open_folder(m_target.is_tag() ? 0 : list_id);
}

void TreeLevel::fill_rows()
{
    for (auto& rows : m_rows)
        rows.clear();
    auto take = [&](const Task& record) {
        if (!tree_belongs(record, m_target, m_list_project))
            return;
        std::int32_t section = tree_section_for(record, m_target.list_id, m_host.selected_user());
        section_rows(section).push_back(record);
    };
    if (m_target.flat) {
        for (const auto& record : engine().tasks())
            take(*record);
    } else if (const Task* list = find(engine(), m_target.is_tag() ? 0 : m_target.list_id)) {
        for (std::int32_t child : list->childIds) {
            if (const Task* record = engine().find_task(child))
                take(*record);
        }
    }
    for (auto& rows : m_rows)
        std::sort(rows.begin(), rows.end(), tree_row_before);
}

void TreeLevel::fill_tags()
{
    m_tags.clear();
    if (m_target.is_root() && !m_target.flat) {
        m_tags = engine().tags();
        std::sort(m_tags.begin(), m_tags.end());
        m_tags.erase(std::unique(m_tags.begin(), m_tags.end()), m_tags.end());
    }
}

std::vector<SectionedList::Section> TreeLevel::shape() const
{
    std::vector<SectionedList::Section> sections(TreeSectionCount);
    sections[AllSection].rows = static_cast<std::uint32_t>(m_tags.size());
    for (std::int32_t s = MarkedSection; s <= NotSharedSection; ++s) {
        sections[s].rows = static_cast<std::uint32_t>(m_rows[s - 1].size());
        sections[s].visible = !m_rows[s - 1].empty();
    }
    return sections;
}

std::vector<Task>& TreeLevel::section_rows(std::int32_t section)
{
    return m_rows[static_cast<std::size_t>(std::clamp(section, 1, 3) - 1)];
}

const std::vector<Task>& TreeLevel::rows(std::int32_t section) const
{
    static const std::vector<Task> none;
    if (section < MarkedSection || section > NotSharedSection)
        return none;
    return m_rows[static_cast<std::size_t>(section - 1)];
}

std::int32_t TreeLevel::listed_rows() const
{
    return static_cast<std::int32_t>(m_rows[0].size() + m_rows[1].size());
}

TreeLevel::Location TreeLevel::locate(std::int32_t id) const
{
    for (std::size_t s = 0; s < m_rows.size(); ++s) {
        const auto& rows = m_rows[s];
        auto it = std::find_if(
            rows.begin(), rows.end(), [id](const Task& row) { return row.id == id; });
        if (it != rows.end())
            return { static_cast<std::int32_t>(s + 1),
                static_cast<std::int32_t>(it - rows.begin()) };
    }
    return {};
}

void TreeLevel::drop(Location at)
{
    if (at.section < MarkedSection)
        return;
    auto& rows = section_rows(at.section);
    rows.erase(rows.begin() + at.row);
    m_list->remove_row(at.section, at.row);
}

void TreeLevel::place(const Task& record)
{
    std::int32_t section = tree_section_for(record, m_target.list_id, m_host.selected_user());
    auto& rows = section_rows(section);
    Location old = locate(record.id);
    if (old.section == section) {
        // Still in order between its neighbours: only the row's look may have changed.
        std::size_t at = static_cast<std::size_t>(old.row);
        bool after_previous = at == 0 || tree_row_before(rows[at - 1], record);
        bool before_next = at + 1 == rows.size() || tree_row_before(record, rows[at + 1]);
        if (after_previous && before_next) {
            rows[at] = record;
            m_list->redraw_row(section, old.row);
            return;
        }
    }
    drop(old);
    auto it = std::lower_bound(rows.begin(), rows.end(), record, tree_row_before);
    std::int32_t row = static_cast<std::int32_t>(it - rows.begin());
    rows.insert(it, record);
    m_list->insert_row(section, row);
}

void TreeLevel::update_section_visibility()
{
    for (std::int32_t s = MarkedSection; s <= NotSharedSection; ++s)
        m_list->set_visible(s, !m_rows[s - 1].empty());
    if (bool empty = shows_no_projects(); empty != m_showed_no_projects) {
        m_showed_no_projects = empty;
        m_list->redraw_row(AllSection, -1);
    }
}

bool TreeLevel::shows_no_projects() const
{
    if (!m_target.is_root() || m_target.flat)
        return false;
    const Task* root = engine().find_task(0);
    if (!root || root->childrenPending)
        return false;
    return std::all_of(m_rows.begin(), m_rows.end(), [](const auto& rows) { return rows.empty(); });
}

void TreeLevel::task_changed(std::int32_t id)
{
    if (m_target.list_id == -1 && m_target.tag.empty() && !m_target.flat)
        return; // never targeted
    const Task* record = find(engine(), id);
    if (record && tree_belongs(*record, m_target, m_list_project))
        place(*record);
    else
        drop(locate(id));
    update_section_visibility();
    if (record && is_project(*record) && !m_tags.empty())
        m_list->redraw_section(AllSection); // the tag counts
    bool shown_record = id == m_target.list_id || (id == 0 && m_target.is_tag());
    if (shown_record) {
        if (m_target.flat && record)
            m_list_project = record->projectId;
        update_bar();
    }
}

void TreeLevel::task_removed(std::int32_t id)
{
    drop(locate(id));
    update_section_visibility();
}

void TreeLevel::tags_changed()
{
    if (!m_target.is_root() || m_target.flat)
        return;
    std::vector<WString> wanted = engine().tags();
    std::sort(wanted.begin(), wanted.end());
    for (std::size_t row = m_tags.size(); row-- > 0;) {
        if (!std::binary_search(wanted.begin(), wanted.end(), m_tags[row])) {
            m_tags.erase(m_tags.begin() + static_cast<std::ptrdiff_t>(row));
            m_list->remove_row(AllSection, static_cast<std::int32_t>(row));
        }
    }
    for (const WString& tag : wanted) {
        auto it = std::lower_bound(m_tags.begin(), m_tags.end(), tag);
        if (it != m_tags.end() && *it == tag)
            continue;
        std::int32_t row = static_cast<std::int32_t>(it - m_tags.begin());
        m_tags.insert(it, tag);
        m_list->insert_row(AllSection, row);
    }
}

void TreeLevel::redraw_all()
{
    for (std::int32_t s = AllSection; s <= NotSharedSection; ++s) {
        m_list->redraw_row(s, -1);
        m_list->redraw_section(s);
    }
    update_bar();
}

void TreeLevel::update_bar()
{
    const Task* shown = find(engine(), m_target.list_id);
    const Task* root = engine().find_task(0);
    bool all_entry = true;
    bool more = false;
    bool path = false;
    bool plus = true;
    WString title;
    WStringView back = u"BackUp";
    if (m_target.flat) {
        all_entry = false;
        more = engine().more_pages();
        back = u"Back";
        if (m_target.is_root())
            title = text(u"vizAllTasks");
        else if (m_target.is_tag())
            title = m_target.tag;
        else if (shown)
            title = task_title(shown->title);
        // A new record needs a parent, which the lists of everything and of a tag do not give.
        plus = m_target.list_id > 0;
    } else if (m_target.is_root()) {
        title = text(u"vizAllProjects");
        back = u"Menu";
        more = root && root->childrenPending;
    } else if (m_target.is_tag()) {
        title = m_target.tag;
        plus = false;
        more = root && root->childrenPending;
    } else {
        all_entry = shown && is_project(*shown);
        more = shown && shown->childrenPending;
        if (shown)
            title = task_title(shown->title);
        path = shown && shown->parentId > 0;
    }
    m_title->set_text(title);
    m_back->set_text(text(back));
    show_element(m_plus, plus);
    show_element(m_path, path);
    if (path)
        fill_path_bar(*m_path, engine(), shown->parentId);
    m_select_user->set_text(m_host.user_name(m_host.selected_user()));
    m_list->set_visible(AllSection, all_entry);
    m_list->set_visible(MoreSection, more);
    update_section_visibility();
    m_list->redraw_row(AllSection, -1);
    m_list->redraw_row(MoreSection, -1);
}

} // namespace corvane
