#include "device/screens/tree/TreeStack.h"

#include "device/model/engine/Engine.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeLevel.h"

#include <algorithm>
#include <set>

namespace corvane {

TreeStack::TreeStack(TreeHost& host)
    : m_host(host)
{
}

TreeStack::TreeStack(std::unique_ptr<TreeHost> host)
    : m_owned_host(std::move(host))
    , m_host(*m_owned_host)
{
}

TreeStack::~TreeStack()
{
    close_from(0);
}

TreeLevel* TreeStack::level(std::size_t index) const
{
    return index < m_levels.size() ? m_levels[index].get() : nullptr;
}

TreeLevel& TreeStack::push_level(bool animate)
{
    if (m_count == m_levels.size())
        m_levels.push_back(std::make_unique<TreeLevel>(m_host, TreeLevel::Mode::Level));
    TreeLevel& level = *m_levels[m_count];
    level.show(false, animate);
    ++m_count;
    return level;
}

void TreeStack::tell_engine(std::int32_t id, WStringView tag)
{
    Engine& engine = m_host.engine();
    if (id <= 0) {
        // The root and the tag levels page through every project (of the tag).
        engine.set_list(-1, id < 0 ? tag : WStringView(), false);
        return;
    }
    const Task* record = engine.find_task(id);
    engine.set_list(record ? record->projectId : -1, u"", false);
}

void TreeStack::open_list(std::int32_t id, bool animate)
{
    if (m_count == m_levels.size())
        m_levels.push_back(std::make_unique<TreeLevel>(m_host, TreeLevel::Mode::Level));
    m_levels[m_count]->set_list(id, u"");
    push_level(animate);
    tell_engine(id, u"");
}

void TreeStack::open_tag(WStringView tag, bool animate)
{
    WString kept(tag); // the caller's text may live in a level we re-target
    if (m_count == m_levels.size())
        m_levels.push_back(std::make_unique<TreeLevel>(m_host, TreeLevel::Mode::Level));
    m_levels[m_count]->set_list(-1, kept);
    push_level(animate);
    tell_engine(-1, kept);
    m_tag_mode = true;
}

void TreeStack::leave_level(std::int32_t from_id, WStringView from_name, bool animate)
{
    if (m_count == 0)
        return;
    WString name(from_name);
    TreeLevel* leaving = m_levels[m_count - 1].get();
    --m_count;
    bool in_place = false;
    // The level below, or, when the leaving level was the only one, that level itself kept on
    // screen: it is the only level object not yet counted, and pushing it again would put one
    // screen on the stack twice.
    auto new_top = [&]() -> TreeLevel& {
        if (m_count == 0) {
            in_place = true;
            ++m_count;
            return *leaving;
        }
        return *m_levels[m_count - 1];
    };

    if (from_id < 0) {
        TreeLevel& top = new_top();
        // Back at the root, projects are no longer entered from a tag.
        m_tag_mode = false;
        if (!top.shows(0, u""))
            top.set_list(0, u"");
        tell_engine(0, u"");
        top.highlight_tag(name);
    } else {
        const Task* record = m_host.engine().find_task(from_id);
        std::int32_t parent = record ? record->parentId : -1;
        WString tag = record ? record->tag : WString();
        if (parent == 0 && m_tag_mode && !tag.empty()) {
            TreeLevel& top = new_top();
            if (!top.shows(-1, tag))
                top.set_list(-1, tag);
            tell_engine(-1, tag);
        } else {
            if (parent == 0)
                m_tag_mode = false;
            TreeLevel& top = new_top();
            if (parent >= 0) {
                if (!top.shows(parent, u""))
                    top.set_list(parent, u"");
                tell_engine(parent, u"");
            } else {
                // Removed or detached: the level below already shows where it was; a lone
                // level falls back to the root.
                if (in_place)
                    top.set_list(0, u"");
                tell_engine(top.list_id(), top.tag());
            }
        }
        top()->highlight_record(from_id);
    }
    if (!in_place)
        leaving->close(animate);
}

void TreeStack::rebuild_to(std::int32_t id)
{
    const Engine& engine = m_host.engine();
    std::vector<std::int32_t> chain;
    std::set<std::int32_t> seen;
    std::size_t found = m_count;
    std::int32_t current = std::max(id, 0);
    while (true) {
        for (std::size_t k = m_count; k-- > 0;) {
            if (m_levels[k]->shows(current, u"")) {
                found = k;
                break;
            }
        }
        if (found != m_count)
            break;
        chain.push_back(current);
        seen.insert(current);
        if (current == 0)
            break;
        // An unknown record or a loop in the parents ends the chain at the root.
        const Task* record = engine.find_task(current);
        std::int32_t parent = record ? record->parentId : 0;
        current = parent < 0 || seen.count(parent) ? 0 : parent;
    }
    if (found != m_count)
        close_from(found + 1);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        open_list(*it, false);
}

void TreeStack::close_from(std::size_t position)
{
    while (m_count > position) {
        --m_count;
        m_levels[m_count]->close(false);
    }
}

void TreeStack::close_all()
{
    close_from(0);
    m_tag_mode = false;
}

void TreeStack::on_task_changed(std::int32_t id)
{
    for (std::size_t k = 0; k < m_count; ++k)
        m_levels[k]->task_changed(id);
}

void TreeStack::on_task_removed(std::int32_t id)
{
    for (std::size_t k = 0; k < m_count; ++k)
        m_levels[k]->task_removed(id);
    if (id <= 0)
        return;
    for (std::size_t k = 0; k < m_count; ++k) {
        if (m_levels[k]->shows(id, u"")) {
            // Whatever was opened inside the removed list goes with it.
            close_from(k + 1);
            leave_level(id, u"", true);
            return;
        }
    }
}

void TreeStack::on_tags_changed()
{
    const std::vector<WString>& tags = m_host.engine().tags();
    for (std::size_t k = 0; k < m_count; ++k)
        m_levels[k]->tags_changed();
    for (std::size_t k = 0; k < m_count; ++k) {
        TreeLevel& level = *m_levels[k];
        if (level.list_id() >= 0 || level.tag().empty())
            continue;
        if (std::find(tags.begin(), tags.end(), level.tag()) == tags.end()) {
            WString tag = level.tag();
            close_from(k + 1);
            leave_level(-1, tag, true);
            return;
        }
    }
}

void TreeStack::redraw_all()
{
    for (std::size_t k = 0; k < m_count; ++k)
        m_levels[k]->redraw_all();
}

void TreeStack::reset_lists()
{
    for (std::size_t k = 0; k < m_count; ++k) {
        TreeLevel& level = *m_levels[k];
        WString tag = level.tag();
        level.set_list(level.list_id(), tag);
    }
}

} // namespace corvane
