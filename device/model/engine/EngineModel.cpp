#include "device/model/engine/Engine.h"

#include "common/records/FilteredNews.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/NewsWaiter.h"

#include <algorithm>

namespace corvane {

namespace {

    template<typename Vector> auto lower_bound_by_id(Vector& tasks, std::int32_t id)
    {
        return std::lower_bound(tasks.begin(), tasks.end(), id,
            [](const std::unique_ptr<Task>& t, std::int32_t value) { return t->id < value; });
    }

    void remove_id(std::vector<std::int32_t>& ids, std::int32_t id)
    {
        ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
    }

} // namespace

const Task* Engine::find_task(std::int32_t id) const
{
    auto it = lower_bound_by_id(m_tasks, id);
    return it != m_tasks.end() && (*it)->id == id ? it->get() : nullptr;
}

Task* Engine::find_mutable(std::int32_t id)
{
    auto it = lower_bound_by_id(m_tasks, id);
    return it != m_tasks.end() && (*it)->id == id ? it->get() : nullptr;
}

Task& Engine::task(std::int32_t id)
{
    auto it = lower_bound_by_id(m_tasks, id);
    if (it != m_tasks.end() && (*it)->id == id)
        return **it;
    auto created = std::make_unique<Task>();
    created->id = id;
    return **m_tasks.insert(it, std::move(created));
}

const User* Engine::find_user(std::int32_t id) const
{
    auto it = std::lower_bound(m_users.begin(), m_users.end(), id,
        [](const User& u, std::int32_t value) { return u.id < value; });
    return it != m_users.end() && it->id == id ? &*it : nullptr;
}

void Engine::store_user(const User& user)
{
    auto it = std::lower_bound(m_users.begin(), m_users.end(), user.id,
        [](const User& u, std::int32_t value) { return u.id < value; });
    if (it != m_users.end() && it->id == user.id)
        *it = user;
    else
        m_users.insert(it, user);
}

bool Engine::is_attached(std::int32_t id) const
{
    // A bound on the walk keeps a corrupt parent cycle from hanging the client.
    for (std::size_t steps = 0; steps <= m_tasks.size() + 1; ++steps) {
        if (id == 0)
            return true;
        const Task* t = find_task(id);
        if (!t || t->parentId < 0)
            return false;
        id = t->parentId;
    }
    return false;
}

void Engine::merge(const VizTask& incoming, MergeFlag flag, ChangedIds& changed)
{
    if (incoming.id < 0)
        return; // a failure record names no task
    Task& record = task(incoming.id);
    std::int32_t old_parent = record.parentId;
    std::vector<Change> newest = incoming.changes;

    static_cast<VizTask&>(record) = incoming;
    record.changes.clear(); // the history lives in loadedChanges
    if (incoming.childCount == 0)
        record.childrenPending = false;
    record.matchesFilter = m_filter.matches(record);

    bool has_parent = record.parentId > 0;
    bool in_project = m_list_project == -1 || record.projectId == m_list_project;
    bool has_cursor = m_list_cursor.id != 0;
    if (flag == MergeFlag::MainList && m_more_pages) {
        record.listed
            = has_parent && in_project && has_cursor && compare_tasks(record, m_list_cursor) <= 0;
    } else {
        record.listed = has_parent && in_project;
        if (record.listed && (!has_cursor || compare_tasks(record, m_list_cursor) > 0)) {
            m_list_cursor = record;
            m_list_cursor.loadedChanges.clear();
        }
    }

    if (!newest.empty()) {
        std::vector<Change> history;
        history.reserve(newest.size() + record.loadedChanges.size());
        for (Change& change : newest) {
            bool known = std::any_of(record.loadedChanges.begin(), record.loadedChanges.end(),
                [&](const Change& c) { return c.changeId == change.changeId; });
            if (!known)
                history.push_back(std::move(change));
        }
        history.insert(history.end(), std::make_move_iterator(record.loadedChanges.begin()),
            std::make_move_iterator(record.loadedChanges.end()));
        record.loadedChanges = std::move(history);
    }

    if (record.parentId != old_parent) {
        std::int32_t id = record.id;
        std::int32_t new_parent = record.parentId;
        if (old_parent >= 0) {
            if (Task* parent = find_mutable(old_parent)) {
                remove_id(parent->childIds, id);
                if (old_parent == 0)
                    parent->childCount = std::max(0, parent->childCount - 1);
                changed.push_back(old_parent);
            }
        }
        if (new_parent >= 0 && new_parent != id) {
            Task& parent = task(new_parent); // may move nothing: tasks are held by pointer
            if (std::find(parent.childIds.begin(), parent.childIds.end(), id)
                == parent.childIds.end())
                parent.childIds.push_back(id);
            if (new_parent == 0)
                ++parent.childCount;
            changed.push_back(new_parent);
        }
    }
    changed.push_back(record.id);
}

void Engine::apply_changed(ChangedIds changed)
{
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    // A project's members come with the project, whichever reply brought it: the users they
    // name must be known before a screen lists them.
    bool project_changed = std::any_of(changed.begin(), changed.end(), [this](std::int32_t id) {
        const Task* t = find_task(id);
        return t && t->parentId == 0;
    });
    if (project_changed)
        recompute_participants();
    for (std::int32_t id : changed) {
        if (is_attached(id)) {
            m_listener.on_task_changed(id);
        } else if (const Task* t = find_task(id); t && t->listed) {
            m_load_queue.push(id);
        }
    }
}

void Engine::detach_subtree(std::int32_t id)
{
    // Depth first without recursion, so a deep or cyclic tree cannot exhaust the stack.
    std::vector<std::int32_t> stack { id };
    std::set<std::int32_t> seen;
    while (!stack.empty()) {
        std::int32_t current = stack.back();
        stack.pop_back();
        if (!seen.insert(current).second)
            continue;
        Task* t = find_mutable(current);
        if (!t)
            continue;
        for (std::int32_t child : t->childIds)
            stack.push_back(child);
        t->childIds.clear();
        t->parentId = -1;
        t->listed = false;
        m_listener.on_task_removed(current);
    }
}

void Engine::apply_news(const FilteredNews& news)
{
    if (news.is_idle()) {
        m_auth.newsCursor = news.cursor;
        m_auth.newsStamp = news.stamp;
        m_news_requested = false;
        return;
    }
    for (const User& user : news.users)
        store_user(user);
    ChangedIds changed;
    bool tags_dirty = false;
    for (std::int32_t id : news.removed) {
        Task* t = find_mutable(id);
        if (!t)
            continue;
        std::int32_t parent_id = t->parentId;
        detach_subtree(id);
        if (parent_id >= 0) {
            if (Task* parent = find_mutable(parent_id)) {
                parent->childCount = std::max(0, parent->childCount - 1);
                remove_id(parent->childIds, id);
                changed.push_back(parent_id);
            }
            tags_dirty = tags_dirty || parent_id == 0;
        }
    }
    for (std::int32_t id : news.seen) {
        if (Task* t = find_mutable(id))
            t->unread = false, changed.push_back(id);
    }
    for (std::int32_t id : news.cleared) {
        if (Task* t = find_mutable(id))
            t->unreadCount = 0, changed.push_back(id);
    }
    for (std::size_t i = 0; i + 4 <= news.taskStates.size(); i += 4) {
        if (Task* t = find_mutable(news.taskStates[i])) {
            t->unreadCount = news.taskStates[i + 1];
            t->editable = news.taskStates[i + 2] != 0;
            t->marked = news.taskStates[i + 3] != 0;
            changed.push_back(t->id);
        }
    }
    for (const VizTask& t : news.tasks) {
        merge(t, MergeFlag::MainList, changed);
        tags_dirty = tags_dirty || t.parentId == 0;
    }
    if (tags_dirty)
        rebuild_tags();
    apply_changed(changed);
    if (!news.users.empty())
        recompute_participants();
    m_auth.newsCursor = news.cursor;
    m_auth.newsStamp = news.stamp;
    m_news_requested = false;
}

void Engine::rebuild_tags()
{
    m_tags.clear();
    if (const Task* root = find_task(0)) {
        for (std::int32_t id : root->childIds) {
            const Task* project = find_task(id);
            if (!project || project->tag.empty())
                continue;
            auto it = std::lower_bound(m_tags.begin(), m_tags.end(), project->tag);
            if (it == m_tags.end() || *it != project->tag)
                m_tags.insert(it, project->tag);
        }
    }
    m_listener.on_tags_changed();
}

void Engine::recompute_participants()
{
    std::vector<std::int32_t> ids;
    if (m_auth.userId != 0)
        ids.push_back(m_auth.userId);
    for (const auto& t : m_tasks) {
        if (t->parentId != 0)
            continue;
        for (const Permission& p : t->permissions) {
            if (p.userId != 0)
                ids.push_back(p.userId);
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    m_participants = ids;
    for (std::int32_t id : ids) {
        if (!find_user(id))
            m_missing_users.insert(id);
    }
    if (!m_missing_users.empty() && !m_busy)
        next_step();
    m_listener.on_users_changed();
}

void Engine::reset_session()
{
    // The outbox stays: its changes belong to the account, which a silent log-in gets back.
    if (m_auth.userId != 0)
        m_account = m_auth.userId;
    m_auth = AuthInfo {};
    if (m_news_waiter)
        m_news_waiter->stop(); // Its session is over; the next news starts it again.
    m_sending_key.clear();
    m_missing_users.clear();
    m_children_queue.clear();
    m_viewed_queue.clear();
    m_load_queue.clear();
    m_changes_queue.clear();
    m_list_refresh_requested = false;
    m_news_requested = false;
    m_more_pages = true;
    std::vector<std::unique_ptr<Task>> removed = std::move(m_tasks);
    m_tasks.clear();
    for (const auto& t : removed)
        m_listener.on_task_removed(t->id);
    m_list_cursor = Task {};
    m_list_cursor.id = 0;
    bool had_users = !m_users.empty() || !m_participants.empty();
    m_users.clear();
    m_participants.clear();
    if (had_users)
        m_listener.on_users_changed();
    m_filter = Filter {};
    m_list_project = -1;
    m_tags.clear();
}

} // namespace corvane
