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

FilteredNews Service::get_filtered_news(
    const std::u16string& session, const Filter& filter, std::int32_t cursor, std::int32_t stamp)
{
    bool reset = false;
    FilteredNews news;
    {
        Call call = open_call(session, TransactionKind::Read);
        StorageTransaction& transaction = *call.transaction;
        int user_id = call.user_id;
        std::int64_t now_seq = transaction.current_seq();
        std::vector<EventRow> events;
        if (cursor < 0 || cursor > now_seq || cursor < transaction.events_horizon()) {
            reset = true;
        } else {
            events = transaction.events_after(cursor, user_id, max_news_events + 1);
            reset = events.size() > std::size_t(max_news_events);
        }
        UserView view(transaction, user_id, m_clock.now_ms(), filter);
        std::set<int> added;
        std::map<int, int> removed; // Root -> its parent when it was removed.
        std::set<int> level_changed;
        for (const EventRow& event : reset ? std::vector<EventRow> {} : events) {
            switch (event.kind) {
            case EventKind::Change:
                added.insert(event.task_id);
                break;
            case EventKind::Create:
                added.insert(event.task_id);
                if (event.parent_id != 0)
                    added.insert(event.parent_id);
                break;
            case EventKind::Remove:
                if (event.audience == 0 && view.access(event.project_id)) {
                    removed[event.task_id] = event.parent_id;
                    if (event.parent_id != 0)
                        added.insert(event.parent_id);
                } else if (event.audience == user_id) {
                    removed[event.task_id] = 0;
                }
                break;
            case EventKind::AccessGained:
                if (event.audience == user_id)
                    added.insert(event.project_id);
                break;
            case EventKind::AccessLost:
                if (event.audience == user_id)
                    removed[event.project_id] = 0;
                break;
            case EventKind::LevelChanged:
                if (event.audience == user_id) {
                    added.insert(event.project_id);
                    level_changed.insert(event.project_id);
                }
                break;
            }
            // Only what the caller may see was read, so this counts nothing they cannot see.
            if (added.size() + removed.size() > 4 * max_news_ids) {
                reset = true; // Far too much to send; no need to look further.
                break;
            }
        }
        std::vector<const TaskRow*> tasks;
        std::set<int> task_ids;
        std::vector<int> removed_ids;
        if (!reset) {
            for (auto [id, parent] : removed) {
                if (!view.visible_task(id))
                    removed_ids.push_back(id);
            }
            for (int id : added) {
                if (removed.contains(id))
                    continue;
                if (const TaskRow* task = view.visible_task(id)) {
                    tasks.push_back(task);
                    task_ids.insert(id);
                }
            }
            reset = task_ids.size() + removed_ids.size() > max_news_ids;
        }
        if (!reset) {
            std::set<int> views;
            for (const ViewedRow& row : transaction.viewed_after_stamp(user_id, stamp)) {
                if (view.visible_task(row.task_id))
                    views.insert(row.task_id);
            }
            std::set<int> states = views;
            auto add_ancestors = [&](int id) {
                for (int ancestor : view.ancestors(id))
                    states.insert(ancestor);
            };
            for (int id : task_ids)
                add_ancestors(id);
            for (int id : views)
                add_ancestors(id);
            for (auto [id, parent] : removed) {
                if (parent != 0 && view.visible_task(parent)) {
                    states.insert(parent);
                    add_ancestors(parent);
                }
            }
            for (int project_id : level_changed) {
                if (!view.access(project_id))
                    continue;
                for (const auto& [id, task] : view.project(project_id).tasks)
                    states.insert(id);
            }
            for (int id : task_ids)
                states.erase(id);

            std::set<int> named_users;
            for (const TaskRow* task : tasks) {
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
            news.removed.assign(removed_ids.begin(), removed_ids.end());
            for (int id : named_users) {
                if (id <= 0)
                    continue;
                if (std::optional<UserRow> user = transaction.find_user(id))
                    news.users.push_back({ user->account, user->id, user->name });
            }
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

} // namespace corvane::server
