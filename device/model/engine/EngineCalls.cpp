#include "device/model/engine/Engine.h"

#include "device/core/CActiveScheduler.h"
#include "device/core/Clipboard.h"
#include "device/core/Log.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/InvitationTicket.h"
#include "device/net/HTTPRequest.h"

// The one-call-at-a-time queue: what goes next, sending it, and the retry when it failed.
namespace corvane {

void Engine::timer_fired(ActiveTimer& timer, int)
{
    if (&timer == m_retry_timer.get()) {
        if (!m_busy && (is_logged_in() || !m_login_key.empty()))
            next_step();
        return;
    }
    if (!m_busy && is_logged_in() && !m_missing_users.empty())
        next_step();
}

void Engine::schedule_retry()
{
    // Only unsent changes are worth the traffic: reads wait for the user or the news poll.
    if (m_outbox.count_for(account()) == 0 || !CActiveScheduler::exists())
        return;
    if (!m_retry_timer)
        m_retry_timer = std::make_unique<ActiveTimer>(static_cast<ActiveTimerListener&>(*this));
    m_retry_timer->start(m_retry_delay);
    m_retry_delay = std::min(m_retry_delay * 2, max_retry_delay);
}

void Engine::check_clipboard_ticket()
{
    if (!is_logged_in() || m_busy)
        return;
    std::optional<WString> text = read_clipboard_text();
    if (!text)
        return;
    std::optional<WString> ticket = extract_ticket(*text);
    if (!ticket)
        return;
    // In the outbox first, so a ticket is never lost; the clipboard keeps it until the service
    // has answered, and one already on its way is not recorded twice.
    WString sent = sendable(*ticket);
    if (sent == m_member_ticket)
        return;
    for (const OutboxEntry& waiting : m_outbox.entries()) {
        if (waiting.kind == OutboxEntry::Kind::Ticket && waiting.text == sent)
            return;
    }
    OutboxEntry entry;
    entry.kind = OutboxEntry::Kind::Ticket;
    entry.text = std::move(sent);
    record(std::move(entry));
    next_step();
}

void Engine::next_step()
{
    if (is_logged_in()) {
        const WString& session = m_auth.session;
        if (const OutboxEntry* entry = m_outbox.first_for(m_auth.userId)) {
            set_busy(true);
            send_change(*entry);
            return;
        }
        if (!m_missing_users.empty()) {
            set_busy(true);
            send(m_calls.getUsers(session,
                std::vector<std::int32_t>(m_missing_users.begin(), m_missing_users.end())));
            return;
        }
        if (auto id = m_children_queue.front()) {
            set_busy(true);
            send(m_calls.getFilteredChildren(session, m_filter, *id));
            return;
        }
        if (auto id = m_viewed_queue.front()) {
            set_busy(true);
            send(m_calls.setViewed(session, *id));
            return;
        }
        if (m_list_refresh_requested) {
            set_busy(true);
            send(m_calls.getFilteredList(
                session, m_filter, m_list_project, m_list_cursor, list_page_size, m_list_text));
            return;
        }
        if (auto id = m_load_queue.front()) {
            set_busy(true);
            send(m_calls.loadTask(session, m_filter, *id));
            return;
        }
        if (auto id = m_changes_queue.front()) {
            set_busy(true);
            const Task* t = find_task(*id);
            std::int32_t position = m_auth.newsCursor;
            if (t && !t->loadedChanges.empty())
                position = t->loadedChanges.back().changeId - 1;
            send(m_calls.getChanges(session, *id, changes_page_size, position));
            return;
        }
        if (m_news_requested) {
            set_busy(true);
            send(m_calls.getFilteredNews(session, m_filter, m_auth.newsCursor, m_auth.newsStamp));
            return;
        }
    } else if (!m_login_key.empty()) {
        set_busy(true);
        send(m_calls.authenticate(m_login_key));
        return;
    }
    set_busy(false);
}

void Engine::send_change(const OutboxEntry& entry)
{
    const WString& session = m_auth.session;
    WString key = entry.key;
    switch (entry.kind) {
    case OutboxEntry::Kind::Save:
        if (entry.task.id > 0) {
            m_listener.on_task_changed(entry.task.id);
            send(m_calls.updateTask(session, entry.task, entry.text), key);
        } else {
            send(m_calls.createTask(session, entry.task, entry.text), key);
        }
        break;
    case OutboxEntry::Kind::Delete:
        m_listener.on_task_changed(entry.id);
        send(m_calls.deleteTask(session, entry.id), key);
        break;
    case OutboxEntry::Kind::Permission:
        send(m_calls.changePermission(session, entry.id, entry.text, entry.level), key);
        break;
    case OutboxEntry::Kind::Ticket:
        send(m_calls.activateTicket(session, entry.text), key);
        break;
    }
}

void Engine::send(std::optional<RemoteCall> call, WStringView idempotency_key)
{
    m_sending_key = WString(idempotency_key);
    if (!call) {
        // The writer logged why the call could not be written; nothing was sent.
        report_error(u"ERROR_NETWORK");
        return;
    }
    m_pending_key = call->key;
    kill_request();
    m_request = std::make_unique<HTTPRequest>(m_calls.identity().moduleBaseUrl + u"service",
        u"POST", static_cast<HTTPRequestListener&>(*this), u"Corvane Client");
    HTTPRequest* request = m_request.get();
    (void)request->add_header(u"Accept: */*");
    (void)request->add_header(u"Content-Type: text/x-gwt-rpc; charset=utf-8");
    (void)request->add_header(u"Pragma: no-cache");
    // The same key on every attempt lets the service apply the change once however often the
    // reply is lost; the body stays as it always was.
    if (!idempotency_key.empty())
        (void)request->add_header(u"Idempotency-Key: \"" + WString(idempotency_key) + u"\"");
    // A failure at once has already reached on_failed, which handed an empty reply on.
    (void)request->send_request(call->body);
}

void Engine::on_http_header(HTTPRequest&, WStringView name, WStringView value)
{
    get_log() << u"on_http_header {" << name << u"}={" << value << u"}\n";
}

void Engine::on_failed(HTTPRequest& request)
{
    if (m_request.get() != &request)
        return;
    std::unique_ptr<HTTPRequest> done = std::move(m_request);
    on_reply(SharedBuffer());
}

void Engine::on_complete(HTTPRequest& request, const SharedBuffer& body)
{
    if (m_request.get() != &request)
        return;
    SharedBuffer reply = body; // the request owns `body`
    std::unique_ptr<HTTPRequest> done = std::move(m_request);
    on_reply(reply);
}

} // namespace corvane
