#include "device/model/engine/Engine.h"

#include "device/core/Clipboard.h"
#include "device/model/FilteredNews.h"
#include "device/model/VIZException.h"
#include "device/model/VizList.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/InvitationTicket.h"
#include "device/rpc/ServiceCatalogue.h"
#include "device/rpc/ServiceReplies.h"

namespace corvane {

namespace {
    constexpr WStringView accepted_server_version = u"6";
    // activateTicket's answer when the redeemer already belongs to the project.
    constexpr std::int32_t ticket_already_member = 2;
}

void Engine::on_reply(const SharedBuffer& body)
{
    if (m_pending_key.empty()) {
        // A reply nobody waits for any more (the filter or the list changed meanwhile).
        next_step();
        return;
    }
    if (!m_reader.parse(body)) {
        report_error(u"ERROR_NETWORK");
        return;
    }
    if (m_reader.is_exception()) {
        VIZException exception;
        if (!exception.load(m_reader) || m_reader.has_error()) {
            report_error(u"ERROR_NETWORK");
            return;
        }
        if (exception.key == u"NOT_LOGGED") {
            // The stored login key stays: the next step logs in again at once.
            m_pending_key.clear();
            reset_session();
            next_step();
            return;
        }
        report_error(exception.key);
        return;
    }
    WString key = std::move(m_pending_key);
    m_pending_key.clear();
    apply_reply(key);
}

void Engine::apply_reply(WStringView key)
{
    auto failed = [&] { report_error(u"ERROR_NETWORK"); };

    if (key == u"authenticate2" || key == u"registerUser") {
        WString login_key;
        if (!read_login_key(m_reader, login_key))
            return failed();
        m_login_key = login_key;
        if (m_login_key.empty())
            return report_error(
                key == u"registerUser" ? u"ERROR_USER_EXISTS" : u"ERROR_WRONG_PASSWORD");
        return next_step();
    }
    if (key == u"authenticate") {
        AuthInfo auth;
        if (!auth.load(m_reader) || m_reader.has_error())
            return failed();
        if (auth.serverVersion != accepted_server_version) {
            m_auth = AuthInfo {};
            m_login_key.clear();
            return report_error(u"ERROR_VERSION");
        }
        m_auth = auth;
        task(0).responsibleId = m_auth.userId;
        if (task(0).childrenPending)
            m_children_queue.push(0);
        m_news_requested = true;
        recompute_participants();
        return next_step();
    }
    if (key == u"deleteTask" || key == u"changePermission") {
        bool ok = false;
        if (!read_flag(m_reader, ok))
            return failed();
        std::int32_t id;
        WString refused_text;
        if (key == u"deleteTask") {
            id = m_pending_delete;
            m_pending_delete = -1;
            const Task* t = find_task(id);
            if (t && t->parentId == 0)
                rebuild_tags();
        } else {
            id = m_pending_permission.project;
            refused_text = std::move(m_pending_permission.text);
            m_pending_permission = {};
        }
        if (ok) {
            m_news_requested = true;
        } else {
            m_listener.on_task_changed(id);
            if (key == u"changePermission")
                m_listener.on_permission_refused(id, refused_text);
        }
        return next_step();
    }
    if (key == u"activateTicket") {
        std::int32_t answer = m_reader.load_int();
        if (m_reader.has_error())
            return failed();
        WString ticket = std::move(m_redeeming_ticket);
        m_redeeming_ticket.clear();
        if (answer == ticket_already_member) {
            // Our own invitation, copied to be forwarded: the user did not ask to join.
            m_member_ticket = ticket;
            return next_step();
        }
        std::optional<WString> on_clipboard = extract_ticket(read_clipboard_text().value_or(u""));
        if (on_clipboard == ticket)
            write_clipboard_text(u"");
        m_listener.on_ticket(answer != 0);
        m_news_requested = true;
        return next_step();
    }
    if (key == u"createTask" || key == u"updateTask") {
        if (!m_pending_saves.empty())
            m_pending_saves.pop_front();
        VizTask saved;
        if (!saved.load(m_reader) || m_reader.has_error())
            return failed();
        bool valid = saved.id > 0;
        if (key == u"createTask") {
            if (valid)
                m_news_requested = true;
            m_listener.on_task_created(saved.id);
        } else {
            m_news_requested = true;
            if (valid)
                m_listener.on_task_saved(saved.id);
        }
        return next_step();
    }
    if (key == u"getUsers") {
        std::vector<User> users;
        if (!read_users(m_reader, users))
            return failed();
        for (const User& user : users)
            store_user(user);
        m_missing_users.clear();
        recompute_participants();
        return next_step();
    }
    if (key == u"getChanges") {
        std::vector<Change> changes;
        if (!read_changes(m_reader, changes))
            return failed();
        if (auto id = m_changes_queue.pop()) {
            Task& t = task(*id);
            for (Change& change : changes) {
                bool known = false;
                for (const Change& have : t.loadedChanges)
                    known = known || have.changeId == change.changeId;
                if (!known)
                    t.loadedChanges.push_back(std::move(change));
            }
            if (changes.size() < static_cast<std::size_t>(changes_page_size))
                t.moreChanges = false;
            m_listener.on_task_changed(*id);
        }
        return next_step();
    }
    if (key == u"loadTask") {
        std::vector<VizTask> tasks;
        if (!read_tasks(m_reader, tasks))
            return failed();
        if (m_load_queue.pop()) {
            ChangedIds changed;
            for (const VizTask& t : tasks)
                merge(t, MergeFlag::MainList, changed);
            apply_changed(changed);
        }
        return next_step();
    }
    if (key == u"setViewed") {
        if (m_viewed_queue.pop())
            m_news_requested = true;
        return next_step();
    }
    if (key == u"getFilteredChildren") {
        if (auto parent = m_children_queue.front()) {
            std::vector<VizTask> tasks;
            if (!read_tasks(m_reader, tasks))
                return failed();
            m_children_queue.pop();
            task(*parent).childrenPending = false;
            ChangedIds changed;
            bool project = false;
            for (const VizTask& t : tasks) {
                merge(t, MergeFlag::MainList, changed);
                project = project || t.parentId == 0;
            }
            changed.push_back(*parent);
            apply_changed(changed);
            if (project)
                rebuild_tags();
        }
        return next_step();
    }
    if (key == u"getFilteredList") {
        VizList list;
        if (!list.load(m_reader) || m_reader.has_error())
            return failed();
        ChangedIds changed;
        for (const VizTask& t : list.mainList)
            merge(t, MergeFlag::MainList, changed);
        m_more_pages = list.secondList.size() == static_cast<std::size_t>(list_page_size);
        for (const VizTask& t : list.secondList)
            merge(t, MergeFlag::Page, changed);
        apply_changed(changed);
        m_list_refresh_requested = false;
        m_listener.on_list_changed();
        return next_step();
    }
    if (key == u"getFilteredNews") {
        FilteredNews news;
        if (!news.load(m_reader) || m_reader.has_error())
            return failed();
        apply_news(news);
        return next_step();
    }
    next_step();
}

} // namespace corvane
