#include "device/net/HTTPRequest.h"

#include "device/core/Log.h"
#include "device/net/HTTPRequestImpl.h"
#include "device/net/HTTPWorker.h"
#include "device/net/NetLog.h"

namespace corvane {

HTTPRequest::HTTPRequest(
    WStringView url, WStringView verb, HTTPRequestListener& listener, WStringView user_agent)
    : m_url(url)
    , m_listener(&listener)
{
    get_log() << u"Request constructed at " << log_seconds() << u"\n";
    m_impl = HTTPRequestImpl::create(*this, url, verb, user_agent);
}

HTTPRequest::~HTTPRequest() = default;

bool HTTPRequest::add_header(WStringView line)
{
    if (!m_impl)
        return false;
    if (!m_impl->add_header(line)) {
        m_impl.reset();
        return false;
    }
    return true;
}

void HTTPRequest::set_patience(double seconds)
{
    if (m_impl)
        m_impl->set_patience(seconds);
}

bool HTTPRequest::send_request(const SharedBuffer& body)
{
    get_log() << u"HTTPRequest::send_request 1\n";
    m_listener->on_status(*this, 0.0, status_server_busy);
    get_log() << u"HTTPRequest::send_request 2\n";
    if (!m_impl || !m_impl->can_send()) {
        fail_at_once(); // may delete us
        return false;
    }
    get_log() << u"HTTPRequest::send_request 3\n";
    get_log() << u"HTTPRequest::send_request 4\n";
    get_log() << u"Request sent at " << log_seconds() << u"\n";
    m_impl->begin(body);
    return true;
}

void HTTPRequest::fail_at_once()
{
    HTTPRequestListener& listener = *m_listener;
    listener.on_status(*this, 1.0, status_server_send_failed);
    listener.on_failed(*this);
}

void HTTPRequest::kill_request()
{
    get_log() << u"HTTPRequest::kill_request start at " << log_seconds() << u"\n";
    if (!m_impl || !m_impl->kill())
        return;
    fail_at_once(); // may delete us
}

SharedBuffer HTTPRequest::take_chunks()
{
    std::uint64_t total = 0;
    for (const SharedBuffer& chunk : m_chunks)
        total += chunk.size();
    if (m_chunks.size() == 1) {
        SharedBuffer only = std::move(m_chunks.front());
        m_chunks.clear();
        return only;
    }
    SharedBuffer body(static_cast<std::uint32_t>(total));
    std::uint32_t position = 0;
    for (const SharedBuffer& chunk : m_chunks)
        position += body.write_at(position, chunk);
    m_chunks.clear();
    return body;
}

void HTTPRequest::set_watchdog_period(double seconds)
{
    HTTPRequestImpl::set_watchdog_period(seconds);
}

bool HTTPRequest::wait_for_workers(std::uint32_t milliseconds)
{
    return corvane::wait_for_workers(milliseconds);
}

} // namespace corvane
