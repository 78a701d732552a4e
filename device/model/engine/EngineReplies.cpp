#include "device/model/engine/Engine.h"

#include "common/records/FilteredNews.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "device/core/Clipboard.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/InvitationTicket.h"
#include "device/rpc/ServiceCatalogue.h"
#include "device/rpc/ServiceReplies.h"

#include <utility>

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
        if (exception.key == u"ERROR_IDEMPOTENCY_MISMATCH" && !m_sending_key.empty()) {
            // The key was used for another request: sending it again can never succeed.
            m_pending_key.clear();
            change_done(true);
            next_step();
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

const OutboxEntry* Engine::sending_entry() const
{
    for (const OutboxEntry& entry : m_outbox.entries()) {
        if (entry.key == m_sending_key)
            return &entry;
    }
    return nullptr;
}

void Engine::change_done(bool refused)
{
    m_retry_delay = 1.0;
    if (m_sending_key.empty())
        return;
    WString key = std::move(m_sending_key);
    m_sending_key.clear();
    const OutboxEntry* entry = nullptr;
    for (const OutboxEntry& e : m_outbox.entries())
        entry = e.key == key ? &e : entry;
    if (!entry)
        return; // discarded while on its way
    WString name = entry->name;
    std::int32_t target = entry->target();
    m_outbox.remove(key);
    if (refused)
        m_listener.on_change_refused(target, name);
}

void Engine::apply_reply(WStringView key)
{
    static constexpr std::pair<WStringView, ReplyHandler> handlers[] = {
        { u"authenticate2", &Engine::on_login_key },
        { u"registerUser", &Engine::on_login_key },
        { u"authenticate", &Engine::on_authenticated },
        { u"deleteTask", &Engine::on_deleted },
        { u"changePermission", &Engine::on_permission_changed },
        { u"activateTicket", &Engine::on_ticket_activated },
        { u"createTask", &Engine::on_task_saved },
        { u"updateTask", &Engine::on_task_saved },
        { u"getUsers", &Engine::on_users },
        { u"getChanges", &Engine::on_changes },
        { u"loadTask", &Engine::on_tasks_loaded },
        { u"setViewed", &Engine::on_viewed },
        { u"getFilteredChildren", &Engine::on_children },
        { u"getFilteredList", &Engine::on_list },
        { u"getFilteredNews", &Engine::on_news },
    };
    for (const auto& [name, handler] : handlers) {
        if (name != key)
            continue;
        switch ((this->*handler)(key)) {
        case ReplyStep::Next:
            break;
        case ReplyStep::Malformed:
            return report_error(u"ERROR_NETWORK");
        case ReplyStep::Reported:
            return;
        }
        break;
    }
    // A reply the engine does not read (a call it only had to make) moves on as well.
    next_step();
}

Engine::ReplyStep Engine::on_login_key(WStringView key)
{
    WString login_key;
    if (!read_login_key(m_reader, login_key))
        return ReplyStep::Malformed;
    m_login_key = login_key;
    if (!m_login_key.empty())
        return ReplyStep::Next;
    report_error(key == u"registerUser" ? u"ERROR_USER_EXISTS" : u"ERROR_WRONG_PASSWORD");
    return ReplyStep::Reported;
}

Engine::ReplyStep Engine::on_authenticated(WStringView)
{
    AuthInfo auth;
    if (!auth.load(m_reader) || m_reader.has_error())
        return ReplyStep::Malformed;
    if (auth.serverVersion != accepted_server_version) {
        m_auth = AuthInfo {};
        m_login_key.clear();
        report_error(u"ERROR_VERSION");
        return ReplyStep::Reported;
    }
    m_auth = auth;
    task(0).responsibleId = m_auth.userId;
    if (task(0).childrenPending)
        m_children_queue.push(0);
    m_news_requested = true;
    recompute_participants();
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_deleted(WStringView)
{
    bool ok = false;
    if (!read_flag(m_reader, ok))
        return ReplyStep::Malformed;
    const OutboxEntry* entry = sending_entry();
    std::int32_t id = entry ? entry->id : -1;
    const Task* t = find_task(id);
    if (t && t->parentId == 0)
        rebuild_tags();
    refused_or_refresh(ok, id);
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_permission_changed(WStringView)
{
    bool ok = false;
    if (!read_flag(m_reader, ok))
        return ReplyStep::Malformed;
    const OutboxEntry* entry = sending_entry();
    std::int32_t project = entry ? entry->id : -1;
    WString address = entry ? entry->text : WString();
    if (ok)
        m_news_requested = true;
    // A refusal leaves the outbox too, but the sharing screen says it with the address the
    // user typed, so the general "change refused" message would only say it twice.
    change_done(false);
    m_listener.on_task_changed(project);
    if (!ok)
        m_listener.on_permission_refused(project, address);
    return ReplyStep::Next;
}

void Engine::refused_or_refresh(bool ok, std::int32_t id)
{
    // An accepted change arrives with the news; a refused one leaves the outbox with a message.
    // Either way the task is shown as it now is.
    if (ok)
        m_news_requested = true;
    change_done(!ok);
    m_listener.on_task_changed(id);
}

Engine::ReplyStep Engine::on_ticket_activated(WStringView)
{
    std::int32_t answer = m_reader.load_int();
    if (m_reader.has_error())
        return ReplyStep::Malformed;
    const OutboxEntry* entry = sending_entry();
    WString ticket = entry ? entry->text : WString();
    change_done(false);
    if (answer == ticket_already_member) {
        // Our own invitation, copied to be forwarded: the user did not ask to join.
        m_member_ticket = ticket;
        return ReplyStep::Next;
    }
    std::optional<WString> on_clipboard = extract_ticket(read_clipboard_text().value_or(u""));
    if (on_clipboard && sendable(*on_clipboard) == ticket)
        write_clipboard_text(u"");
    m_listener.on_ticket(answer != 0);
    m_news_requested = true;
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_task_saved(WStringView key)
{
    VizTask saved;
    if (!saved.load(m_reader) || m_reader.has_error())
        return ReplyStep::Malformed;
    bool valid = saved.id > 0;
    const OutboxEntry* entry = sending_entry();
    std::int32_t edited = entry ? entry->task.id : -1;
    if (valid)
        m_news_requested = true;
    change_done(!valid);
    if (key == u"createTask")
        m_listener.on_task_created(saved.id);
    else if (valid)
        m_listener.on_task_saved(saved.id);
    else if (edited > 0)
        m_listener.on_task_changed(edited);
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_users(WStringView)
{
    std::vector<User> users;
    if (!read_users(m_reader, users))
        return ReplyStep::Malformed;
    for (const User& user : users)
        store_user(user);
    m_missing_users.clear();
    recompute_participants();
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_changes(WStringView)
{
    std::vector<Change> changes;
    if (!read_changes(m_reader, changes))
        return ReplyStep::Malformed;
    std::optional<std::int32_t> id = m_changes_queue.pop();
    if (!id)
        return ReplyStep::Next;
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
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_tasks_loaded(WStringView)
{
    std::vector<VizTask> tasks;
    if (!read_tasks(m_reader, tasks))
        return ReplyStep::Malformed;
    if (m_load_queue.pop()) {
        ChangedIds changed;
        for (const VizTask& t : tasks)
            merge(t, MergeFlag::MainList, changed);
        apply_changed(changed);
    }
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_viewed(WStringView)
{
    if (m_viewed_queue.pop())
        m_news_requested = true;
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_children(WStringView)
{
    std::optional<std::int32_t> parent = m_children_queue.front();
    if (!parent)
        return ReplyStep::Next;
    std::vector<VizTask> tasks;
    if (!read_tasks(m_reader, tasks))
        return ReplyStep::Malformed;
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
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_list(WStringView)
{
    VizList list;
    if (!list.load(m_reader) || m_reader.has_error())
        return ReplyStep::Malformed;
    ChangedIds changed;
    for (const VizTask& t : list.mainList)
        merge(t, MergeFlag::MainList, changed);
    m_more_pages = list.secondList.size() == static_cast<std::size_t>(list_page_size);
    for (const VizTask& t : list.secondList)
        merge(t, MergeFlag::Page, changed);
    apply_changed(changed);
    m_list_refresh_requested = false;
    m_listener.on_list_changed();
    return ReplyStep::Next;
}

Engine::ReplyStep Engine::on_news(WStringView)
{
    FilteredNews news;
    if (!news.load(m_reader) || m_reader.has_error())
        return ReplyStep::Malformed;
    apply_news(news);
    resume_news_wait();
    return ReplyStep::Next;
}

} // namespace corvane
