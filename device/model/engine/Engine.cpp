#include "device/model/engine/Engine.h"

#include "device/core/CActiveScheduler.h"

#include "device/core/Log.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/NewsWaiter.h"
#include "device/net/HTTPRequest.h"

namespace corvane {

namespace {

    ServiceIdentity identity_for(WStringView base_url)
    {
        ServiceIdentity identity;
        identity.moduleBaseUrl = WString(base_url);
        return identity;
    }

    // The title line of a task's text, which names the task in messages.
    WString first_line(WStringView text)
    {
        WStringView line = text.substr(0, text.find(u'\n'));
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        return WString(line);
    }

} // namespace

// U+FFFF separates the request's tokens and cannot travel inside a string; a user's text keeps
// its meaning with the replacement character instead.
WString Engine::sendable(WStringView text)
{
    WString out(text);
    for (char16_t& c : out) {
        if (c == 0xFFFF)
            c = 0xFFFD;
    }
    return out;
}

Engine::Engine(WStringView base_url, EngineListener& listener)
    : m_calls(identity_for(base_url))
    , m_listener(listener)
    , m_translate([](WStringView key) { return WString(key); })
{
    m_list_cursor.id = 0;
}

Engine::~Engine()
{
    m_news_waiter.reset();
    kill_request();
}

void Engine::listen_for_news(bool on)
{
    if (!on) {
        m_news_waiter.reset();
        return;
    }
    if (m_news_waiter)
        return;
    NewsWaiter::Reports reports;
    reports.news_past = [this](std::int32_t cursor) { on_news_past(cursor); };
    // NOT_LOGGED and the like are the queue's to handle: a news call meets them too.
    reports.refused = [this](WStringView) {
        m_news_requested = true;
        queue_and_step();
    };
    m_news_waiter = std::make_unique<NewsWaiter>(m_calls.identity(), std::move(reports));
    resume_news_wait();
}

bool Engine::hears_news_live() const
{
    return m_news_waiter && m_news_waiter->is_live();
}

void Engine::resume_news_wait()
{
    if (m_news_waiter && is_logged_in() && !m_auth.session.empty())
        m_news_waiter->start(m_auth.session, m_auth.newsCursor);
}

void Engine::on_news_past(std::int32_t cursor)
{
    if (cursor <= m_auth.newsCursor) {
        resume_news_wait(); // News applied meanwhile already covers it.
        return;
    }
    m_news_requested = true;
    queue_and_step();
}

void Engine::kill_request()
{
    if (!m_request)
        return;
    // The kill reports a failure to us; forget the request first so that report is ignored.
    std::unique_ptr<HTTPRequest> request = std::move(m_request);
    request->kill_request();
}

void Engine::set_busy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    m_listener.on_state(busy, {});
}

void Engine::report_error(WStringView key)
{
    if (key == u"ERROR_NETWORK")
        schedule_retry();
    m_busy = false;
    m_listener.on_state(false, key);
}

void Engine::queue_and_step()
{
    if (!m_busy)
        next_step();
}

void Engine::login(WStringView email, WStringView password, WStringView name)
{
    if (m_busy)
        return;
    set_busy(true);
    if (!name.empty())
        send(m_calls.registerUser(sendable(email), sendable(password), sendable(name)));
    else
        send(m_calls.authenticate(sendable(email), sendable(password)));
}

void Engine::logout()
{
    kill_request();
    m_pending_key.clear();
    m_login_key.clear();
    m_member_ticket.clear();
    reset_session();
    // Unsent changes stay in the file, bound to their account, until it logs in again.
    m_account = 0;
    if (m_retry_timer)
        m_retry_timer->cancel();
    m_busy = false;
    m_listener.on_state(false, {});
}

void Engine::open_task(std::int32_t id)
{
    const Task* t = find_task(id);
    if (id != 0 && t && t->unread)
        m_viewed_queue.push(id);
    m_news_requested = true;
    queue_and_step();
}

void Engine::open_folder(std::int32_t id)
{
    if (task(id).childrenPending)
        m_children_queue.push(id);
    m_news_requested = true;
    queue_and_step();
}

void Engine::load_task(std::int32_t id)
{
    m_load_queue.push(id);
    queue_and_step();
}

void Engine::more_changes(std::int32_t id)
{
    m_changes_queue.push(id);
    queue_and_step();
}

void Engine::record(OutboxEntry entry)
{
    entry.key = Outbox::new_key();
    entry.owner = account();
    // Without an account the change is held for this run only: the file keeps changes of an
    // account, and none is sent before a log-in.
    if (entry.owner == 0)
        get_log() << u"Engine: a change made while nobody is logged in\n";
    if (entry.name.empty()) {
        if (const Task* t = find_task(entry.target()))
            entry.name = t->title;
    }
    // A failed write is logged by the outbox; the change is still held and sent.
    (void)m_outbox.add(std::move(entry));
}

void Engine::save_task(const Task& edited, WStringView comment)
{
    OutboxEntry entry;
    entry.kind = OutboxEntry::Kind::Save;
    entry.task = edited;
    entry.task.title = sendable(edited.title);
    entry.task.tag = sendable(edited.tag);
    entry.task.loadedChanges.clear();
    entry.text = sendable(comment);
    entry.name = first_line(entry.task.title);
    record(std::move(entry));
    if (edited.id > 0)
        m_listener.on_task_changed(edited.id);
    queue_and_step();
}

void Engine::change_permission(std::int32_t project_id, WStringView text, std::int32_t level)
{
    OutboxEntry entry;
    entry.kind = OutboxEntry::Kind::Permission;
    entry.id = project_id;
    entry.text = sendable(text);
    entry.level = level;
    record(std::move(entry));
    m_listener.on_task_changed(project_id);
    queue_and_step();
}

void Engine::delete_task(std::int32_t id)
{
    OutboxEntry entry;
    entry.kind = OutboxEntry::Kind::Delete;
    entry.id = id;
    record(std::move(entry));
    m_listener.on_task_changed(id);
    queue_and_step();
}

void Engine::open_outbox(WStringView path)
{
    m_outbox = Outbox(WString(path));
    (void)m_outbox.load();
    m_account = m_auth.userId;
}

std::size_t Engine::unsent_count() const
{
    return m_outbox.count_for(account());
}

void Engine::discard_unsent()
{
    std::int32_t owner = account();
    if (!m_sending_key.empty())
        m_pending_key.clear(); // its reply, if one still comes, ends nothing now
    m_sending_key.clear();
    m_outbox.discard(owner);
}

bool Engine::has_pending_save() const
{
    for (const OutboxEntry& entry : m_outbox.entries()) {
        if (entry.owner == account() && entry.kind == OutboxEntry::Kind::Save)
            return true;
    }
    return false;
}

void Engine::refresh_list()
{
    if (!m_more_pages)
        return;
    m_list_refresh_requested = true;
    queue_and_step();
}

void Engine::set_filter(const Filter& filter, bool refresh)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    // A list reply in flight was asked with the old filter: it is dropped, and its queue entry
    // stays so the call is made again. A change's reply is always applied.
    forget_list_reply();
    for (auto& t : m_tasks)
        t->childrenPending = true;
    restart_list(refresh);
}

void Engine::set_list(std::int32_t project_id, WStringView text, bool refresh)
{
    if (project_id == m_list_project && text == m_list_text)
        return;
    m_list_project = project_id;
    m_list_text = WString(text);
    forget_list_reply();
    restart_list(refresh);
}

void Engine::restart_list(bool refresh)
{
    m_more_pages = true;
    m_list_refresh_requested = refresh;
    m_list_cursor = Task {};
    m_list_cursor.id = 0;
    for (auto& t : m_tasks) {
        if (!t->listed)
            continue;
        t->listed = false;
        t->matchesFilter = m_filter.matches(*t);
        m_listener.on_task_changed(t->id);
    }
    if (refresh && !m_busy)
        next_step();
    m_listener.on_list_changed();
}

void Engine::forget_list_reply()
{
    if (m_pending_key == u"getFilteredChildren" || m_pending_key == u"getFilteredList"
        || m_pending_key == u"loadTask" || m_pending_key == u"getFilteredNews")
        m_pending_key.clear();
}

bool Engine::task_pending(std::int32_t id) const
{
    return m_outbox.has_task(account(), id);
}

WString Engine::user_name(std::int32_t id)
{
    if (id == -1)
        return m_translate(u"vizUsersAll");
    if (const User* user = find_user(id))
        return user->display_name();
    bool added = m_missing_users.insert(id).second;
    // Nothing else may be about to call the service: without a step of its own the name would
    // stay unknown until the user happens to do something.
    if (added && is_logged_in() && !m_busy && CActiveScheduler::exists()) {
        if (!m_user_timer)
            m_user_timer = std::make_unique<ActiveTimer>(static_cast<ActiveTimerListener&>(*this));
        if (!m_user_timer->is_active())
            m_user_timer->start(0);
    }
    return m_translate(u"LoadingUser");
}

} // namespace corvane
