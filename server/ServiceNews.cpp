#include "server/Service.h"

#include "server/Secrets.h"
#include "server/ServerLog.h"
#include "server/UserView.h"

#include <algorithm>
#include <map>
#include <set>

namespace corvane::server {

Change to_wire(const ChangeRow& row);

static constexpr std::size_t max_news_ids = 1000;
// Events read for one news call at most; a client further behind starts afresh.
static constexpr int max_news_events = 100'000;

namespace {

    // What happened since the client's cursor, as this caller may see it.
    struct NewsDelta {
        std::set<int> added;
        std::map<int, int> removed; // Root -> its parent when it was removed.
        std::set<int> level_changed;
    };

    // The tasks the reply sends whole, and the roots the client drops.
    struct NewsContent {
        std::vector<const TaskRow*> tasks;
        std::set<int> task_ids;
        std::vector<int> removed_ids;
    };

    // Folds the events into the delta; false when there are too many to send, and the client
    // must start afresh.
    bool collect_events(
        const std::vector<EventRow>& events, UserView& view, int user_id, NewsDelta& delta)
    {
        if (events.size() > std::size_t(max_news_events))
            return false;
        for (const EventRow& event : events) {
            switch (event.kind) {
            case EventKind::Change:
                delta.added.insert(event.task_id);
                break;
            case EventKind::Create:
                delta.added.insert(event.task_id);
                if (event.parent_id != 0)
                    delta.added.insert(event.parent_id);
                break;
            case EventKind::Remove:
                if (event.audience == 0 && view.access(event.project_id)) {
                    delta.removed[event.task_id] = event.parent_id;
                    if (event.parent_id != 0)
                        delta.added.insert(event.parent_id);
                } else if (event.audience == user_id) {
                    delta.removed[event.task_id] = 0;
                }
                break;
            case EventKind::AccessGained:
                if (event.audience == user_id)
                    delta.added.insert(event.project_id);
                break;
            case EventKind::AccessLost:
                if (event.audience == user_id)
                    delta.removed[event.project_id] = 0;
                break;
            case EventKind::LevelChanged:
                if (event.audience == user_id) {
                    delta.added.insert(event.project_id);
                    delta.level_changed.insert(event.project_id);
                }
                break;
            }
            // Only what the caller may see was read, so this counts nothing they cannot see.
            if (delta.added.size() + delta.removed.size() > 4 * max_news_ids)
                return false; // Far too much to send; no need to look further.
        }
        return true;
    }

    // False when the reply would hold more tasks than one reply may.
    bool select_tasks(const NewsDelta& delta, UserView& view, NewsContent& content)
    {
        for (auto [id, parent] : delta.removed) {
            if (!view.visible_task(id))
                content.removed_ids.push_back(id);
        }
        for (int id : delta.added) {
            if (delta.removed.contains(id))
                continue;
            if (const TaskRow* task = view.visible_task(id)) {
                content.tasks.push_back(task);
                content.task_ids.insert(id);
            }
        }
        return content.task_ids.size() + content.removed_ids.size() <= max_news_ids;
    }

    std::set<int> viewed_tasks(
        StorageTransaction& transaction, UserView& view, int user_id, std::int32_t stamp)
    {
        std::set<int> views;
        for (const ViewedRow& row : transaction.viewed_after_stamp(user_id, stamp)) {
            if (view.visible_task(row.task_id))
                views.insert(row.task_id);
        }
        return views;
    }

    // The tasks not sent whole whose state (unread count, editable, marked) may have changed:
    // the viewed ones, the ancestors of everything touched, and every task of a project whose
    // level changed.
    std::set<int> changed_states(const NewsDelta& delta, const NewsContent& content,
        const std::set<int>& views, UserView& view)
    {
        std::set<int> states = views;
        auto add_ancestors = [&](int id) {
            for (int ancestor : view.ancestors(id))
                states.insert(ancestor);
        };
        for (int id : content.task_ids)
            add_ancestors(id);
        for (int id : views)
            add_ancestors(id);
        for (auto [id, parent] : delta.removed) {
            if (parent != 0 && view.visible_task(parent)) {
                states.insert(parent);
                add_ancestors(parent);
            }
        }
        for (int project_id : delta.level_changed) {
            if (!view.access(project_id))
                continue;
            for (const auto& [id, task] : view.project(project_id).tasks)
                states.insert(id);
        }
        for (int id : content.task_ids)
            states.erase(id);
        return states;
    }

    // Adds the tasks with the changes made after the cursor, sorted by id; answers the users
    // they name.
    std::set<int> add_tasks(FilteredNews& news, const NewsContent& content, UserView& view,
        StorageTransaction& transaction, std::int32_t cursor)
    {
        std::set<int> named_users;
        for (const TaskRow* task : content.tasks) {
            VizTask wire = view.to_wire(*task);
            for (const ChangeRow& row : transaction.task_changes_after(task->id, cursor)) {
                wire.changes.push_back(to_wire(row));
                named_users.insert(row.author_id);
                if (row.user_id > 0)
                    named_users.insert(row.user_id);
            }
            named_users.insert(wire.ownerId);
            named_users.insert(wire.responsibleId);
            for (const Permission& permission : wire.permissions) {
                if (permission.userId > 0)
                    named_users.insert(permission.userId);
            }
            news.tasks.push_back(std::move(wire));
        }
        std::sort(news.tasks.begin(), news.tasks.end(),
            [](const VizTask& a, const VizTask& b) { return a.id < b.id; });
        return named_users;
    }

    void add_states(
        FilteredNews& news, const std::set<int>& states, const std::set<int>& views, UserView& view)
    {
        for (int id : states) {
            const TaskRow* task = view.visible_task(id);
            if (!task)
                continue;
            int unread = view.unread_count(*task);
            std::optional<Access> access = view.access(task->project_id);
            news.taskStates.insert(news.taskStates.end(),
                { id, unread, access && access->is_editable() ? 1 : 0,
                    view.is_marked(*task) ? 1 : 0 });
            if (unread == 0)
                news.cleared.push_back(id);
        }
        for (int id : views) {
            const TaskRow* task = view.visible_task(id);
            if (task && !view.is_unread(*task))
                news.seen.push_back(id);
        }
    }

    void add_users(
        FilteredNews& news, const std::set<int>& named_users, StorageTransaction& transaction)
    {
        for (int id : named_users) {
            if (id <= 0)
                continue;
            if (std::optional<UserRow> user = transaction.find_user(id))
                news.users.push_back({ user->account, user->id, user->name });
        }
    }

} // namespace

FilteredNews Service::get_filtered_news(
    const std::u16string& session, const Filter& filter, std::int32_t cursor, std::int32_t stamp)
{
    {
        Call call = open_call(session, TransactionKind::Read);
        StorageTransaction& transaction = *call.transaction;
        int user_id = call.user_id;
        std::int64_t now_seq = transaction.current_seq();
        std::vector<EventRow> events;
        bool known_cursor
            = cursor >= 0 && cursor <= now_seq && cursor >= transaction.events_horizon();
        if (known_cursor)
            events = transaction.events_after(cursor, user_id, max_news_events + 1);
        UserView view(transaction, user_id, m_clock.now_ms(), filter);
        NewsDelta delta;
        NewsContent content;
        if (known_cursor && collect_events(events, view, user_id, delta)
            && select_tasks(delta, view, content)) {
            FilteredNews news;
            std::set<int> views = viewed_tasks(transaction, view, user_id, stamp);
            std::set<int> states = changed_states(delta, content, views, view);
            std::set<int> named_users = add_tasks(news, content, view, transaction, cursor);
            add_states(news, states, views, view);
            news.removed.assign(content.removed_ids.begin(), content.removed_ids.end());
            add_users(news, named_users, transaction);
            std::optional<UserRow> caller = transaction.find_user(user_id);
            news.cursor = static_cast<std::int32_t>(now_seq);
            news.stamp = caller ? caller->stamp : 0;
            call.transaction->commit();
            return news;
        }
    }
    // Too far behind, or a cursor this service never gave out: the client starts afresh with
    // a new session, which also bounds what one reply can hold.
    std::string hash = key_digest(session);
    auto transaction = m_storage.begin(TransactionKind::Write);
    transaction->delete_session(hash);
    transaction->commit();
    log_line("news reset: session ended");
    throw ServiceException(u"NOT_LOGGED");
}

Service::NewsWait Service::look_for_news(const std::u16string& session, std::int32_t cursor)
{
    Call call = open_call(session, TransactionKind::Read);
    StorageTransaction& transaction = *call.transaction;
    NewsWait wait;
    wait.user_id = call.user_id;
    wait.seq = transaction.current_seq();
    // A cursor the news call would reset is answered at once, so the client hears of it now.
    wait.ready = cursor < 0 || cursor > wait.seq || cursor < transaction.events_horizon()
        || !transaction.events_after(cursor, call.user_id, 1).empty();
    transaction.commit();
    return wait;
}

} // namespace corvane::server
