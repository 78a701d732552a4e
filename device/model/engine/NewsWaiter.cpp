#include "device/model/engine/NewsWaiter.h"

#include "common/records/VIZException.h"
#include "device/core/Log.h"
#include "device/net/HTTPRequest.h"

#include <algorithm>

namespace corvane {

NewsWaiter::NewsWaiter(const ServiceIdentity& identity, Reports reports)
    : m_calls(identity)
    , m_reports(std::move(reports))
{
}

NewsWaiter::~NewsWaiter()
{
    stop();
}

void NewsWaiter::start(WStringView session, std::int32_t cursor)
{
    m_session = WString(session);
    m_cursor = cursor;
    if (!m_supported || m_request || (m_retry_timer && m_retry_timer->is_active()))
        return;
    m_active = true;
    send();
}

void NewsWaiter::stop()
{
    m_active = false;
    if (m_retry_timer)
        m_retry_timer->cancel();
    if (!m_request)
        return;
    // The kill reports a failure to us; forget the request first so that report is ignored.
    std::unique_ptr<HTTPRequest> request = std::move(m_request);
    request->kill_request();
}

void NewsWaiter::send()
{
    std::optional<RemoteCall> call = m_calls.waitNews(m_session, m_cursor);
    if (!call) {
        failed();
        return;
    }
    m_request = std::make_unique<HTTPRequest>(m_calls.identity().moduleBaseUrl + u"service",
        u"POST", static_cast<HTTPRequestListener&>(*this), u"Corvane Client");
    HTTPRequest* request = m_request.get();
    (void)request->add_header(u"Accept: */*");
    (void)request->add_header(u"Content-Type: text/x-gwt-rpc; charset=utf-8");
    (void)request->add_header(u"Pragma: no-cache");
    request->set_patience(patience_seconds);
    // A failure at once has already reached on_failed.
    (void)request->send_request(call->body);
}

void NewsWaiter::on_failed(HTTPRequest& request)
{
    if (m_request.get() != &request)
        return;
    std::unique_ptr<HTTPRequest> done = std::move(m_request);
    failed();
}

void NewsWaiter::on_complete(HTTPRequest& request, const SharedBuffer& body)
{
    if (m_request.get() != &request)
        return;
    std::unique_ptr<HTTPRequest> done = std::move(m_request);
    on_reply(body);
}

void NewsWaiter::on_reply(const SharedBuffer& body)
{
    if (!m_reader.parse(body)) {
        failed();
        return;
    }
    if (m_reader.is_exception()) {
        VIZException exception;
        // An exception that is not the service's own comes from a service that predates the
        // call (a framework's "incompatible call"), like ERROR_NOT_SUPPORTED from ours.
        bool ours = exception.load(m_reader) && !m_reader.has_error();
        if (!ours || exception.key == u"ERROR_NOT_SUPPORTED") {
            get_log() << u"NewsWaiter: the service does not wait for news; polling instead\n";
            m_active = false;
            m_supported = false;
            return;
        }
        // The owner's queue deals with it (a lost session, ...); the next wait comes after the
        // usual delay, so a service that keeps refusing is not asked in a tight loop.
        m_reports.refused(exception.key);
        failed();
        return;
    }
    std::int32_t cursor = m_reader.load_int();
    if (m_reader.has_error()) {
        failed();
        return;
    }
    m_failures = 0;
    m_retry_delay = 1.0;
    if (cursor > m_cursor) {
        // The owner fetches the news and starts us again from the cursor that brings.
        m_reports.news_past(cursor);
        return;
    }
    send(); // Nothing new within the service's wait: wait again.
}

void NewsWaiter::failed()
{
    ++m_failures;
    if (!m_active)
        return;
    if (!m_retry_timer)
        m_retry_timer = std::make_unique<ActiveTimer>(static_cast<ActiveTimerListener&>(*this));
    m_retry_timer->start(m_retry_delay);
    m_retry_delay = std::min(m_retry_delay * 2, max_retry_delay);
}

void NewsWaiter::timer_fired(ActiveTimer&, int)
{
    if (m_active && !m_request)
        send();
}

} // namespace corvane
