#include "device/net/HTTPRequestImpl.h"

#include "device/core/CActiveScheduler.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/net/HTTPHeaderBlock.h"
#include "device/net/HTTPRequest.h"
#include "device/net/HTTPRequestListener.h"
#include "device/net/HTTPWorker.h"
#include "device/net/NetLog.h"

#include <limits>

namespace corvane {

namespace {

    double s_watchdog_period = 10.0;

    ConnectionManagerLoader& connection_manager_loader()
    {
        static ConnectionManagerLoader s_loader = &load_connection_manager;
        return s_loader;
    }

    // Certificates and host names are checked unless this setting relaxes it for a test server:
    // accepting any certificate would let anyone on the path read the session key.
    TlsVerification tls_verification()
    {
        std::uint32_t insecure = 0;
        (void)reg_read_dword(
            u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", u"InsecureTLS", insecure);
        return insecure ? TlsVerification::Relaxed : TlsVerification::Strict;
    }

    // A service with a certificate from a private authority is trusted through that
    // authority's certificate, named here, rather than by relaxing every check.
    std::string trusted_authorities()
    {
        WString path;
        if (!reg_read_string(u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", u"CAFile", path))
            return {};
        return native_path(path);
    }

} // namespace

std::unique_ptr<HTTPRequestImpl> HTTPRequestImpl::create(
    HTTPRequest& owner, WStringView url, WStringView verb, WStringView user_agent)
{
    HttpTransferSetup setup;
    setup.url = to_utf8(url);
    setup.verb = to_utf8(verb);
    setup.user_agent = to_utf8(user_agent);
    setup.tls = tls_verification();
    setup.ca_file = trusted_authorities();
    std::unique_ptr<HttpTransfer> transfer = open_http_transfer(setup);
    if (!transfer)
        return nullptr;
    return std::make_unique<HTTPRequestImpl>(owner, std::move(transfer));
}

HTTPRequestImpl::HTTPRequestImpl(HTTPRequest& owner, std::unique_ptr<HttpTransfer> transfer)
    : CActive(CActiveScheduler::current())
    , m_owner(owner)
    , m_exchange(
          std::make_shared<HTTPExchange>(id(), std::move(transfer), connection_manager_loader()))
    , m_timer(*this, scheduler())
{
    m_exchange->attach(*this);
}

HTTPRequestImpl::~HTTPRequestImpl()
{
    get_log() << u"~HTTPRequestImpl() id=" << id() << u" at " << log_seconds() << u"\n";
    bool killed = m_exchange->is_killed();
    // No worker will complete the outstanding activation, so complete it here for cancel().
    // A message the worker posted before the kill is already queued and must not be queued twice.
    if ((killed || !m_started) && is_active() && !m_exchange->is_posted())
        notify();
    get_log() << u"~HTTPRequestImpl() id=" << id() << u" before Cancel at " << log_seconds()
              << u"\n";
    cancel();
    get_log() << u"Request id=" << id() << u" after Cancel at " << log_seconds() << u"\n";
    m_exchange->detach();
    if (!killed) {
        get_log() << u"~HTTPRequestImpl() request_termination at " << log_seconds() << u"\n";
        request_stop();
        m_exchange->request_stop();
        get_log() << u"~HTTPRequestImpl() wait_termination at " << log_seconds() << u"\n";
        (void)wait(std::numeric_limits<std::uint32_t>::max());
        get_log() << u"~HTTPRequestImpl() after wait_termination at " << log_seconds() << u"\n";
    } else if (m_started) {
        // The killed worker is not waited for, but it must hold its own reference to the
        // exchange before this object goes.
        m_exchange->entered.wait();
    }
    get_log() << u"Wait id=" << id() << u" finished at " << log_seconds() << u"\n";
    if (std::unique_ptr<ConnectionManager> connection = m_exchange->take_connection()) {
        if (!connection->release_connection(10))
            get_log() << u"ConnMgrReleaseConnection failed at " << log_seconds() << u"\n";
    }
    m_timer.cancel();
    get_log() << u"~HTTPRequestImpl() finish at " << log_seconds() << u"\n";
}

bool HTTPRequestImpl::add_header(WStringView line)
{
    return m_exchange->transfer->add_header(to_utf8(line));
}

bool HTTPRequestImpl::can_send() const
{
    return !m_sent && !m_exchange->is_killed();
}

void HTTPRequestImpl::begin(const SharedBuffer& body)
{
    m_sent = true;
    m_exchange->body = body;
    set_active();
    note_worker_started();
    m_started = start();
    if (!m_started)
        note_worker_ended(); // the watchdog will report the failure
    if (!m_exchange->is_killed())
        m_timer.start(m_patience ? m_patience : s_watchdog_period);
}

bool HTTPRequestImpl::kill()
{
    if (m_finished || !m_exchange->kill())
        return false;
    m_timer.cancel();
    return true;
}

void HTTPRequestImpl::set_watchdog_period(double seconds)
{
    s_watchdog_period = seconds;
}

double HTTPRequestImpl::watchdog_period()
{
    return s_watchdog_period;
}

void HTTPRequestImpl::set_connection_manager_loader(ConnectionManagerLoader loader)
{
    connection_manager_loader() = loader ? std::move(loader) : &load_connection_manager;
}

void HTTPRequestImpl::run()
{
    std::shared_ptr<HTTPExchange> exchange = m_exchange;
    exchange->entered.set();
    // From here on this object may be destroyed at any moment (after a kill): only `exchange`.
    run_exchange(*exchange);
    exchange.reset();
    note_worker_ended();
}

void HTTPRequestImpl::RunL()
{
    m_timer.cancel();
    (void)m_exchange->take_posted();
    WorkerMessage message = m_exchange->message;
    get_log() << u"HTTPRequestImpl::RunL() id=" << id() << u" message=" << static_cast<int>(message)
              << u"\n";
    // A message posted just before a kill: the listener has already heard the end.
    if (m_exchange->is_killed())
        return;

    HTTPRequest& owner = m_owner;
    HTTPRequestListener& listener = owner.listener();
    switch (message) {
    case WorkerMessage::Data:
        handle_data();
        return;
    case WorkerMessage::Headers: {
        bool is_2xx = handle_headers();
        if (m_exchange->is_killed())
            return;
        if (is_2xx) {
            resume_worker();
            return;
        }
        // Not 2xx: the worker is left waiting, and the exchange fails with the current key.
        m_finished = true;
        WString key = m_exchange->status_key;
        listener.on_status(owner, 1.0, key);
        listener.on_failed(owner); // may delete us
        return;
    }
    case WorkerMessage::Failed: {
        m_finished = true;
        WString key = m_exchange->status_key;
        listener.on_status(owner, 1.0, key);
        listener.on_failed(owner); // may delete us
        return;
    }
    case WorkerMessage::Finished: {
        m_finished = true;
        WString key = m_exchange->status_key;
        listener.on_status(owner, 1.0, key);
        SharedBuffer body = owner.take_chunks();
        listener.on_complete(owner, body); // may delete us
        return;
    }
    }
}

void HTTPRequestImpl::DoCancel()
{
    get_log() << u"DoCancel id=" << id() << u" at " << log_seconds() << u"\n";
    // cancel() waits for the worker's next message; aborting the transfer makes it come now.
    m_exchange->request_cancel();
}

void HTTPRequestImpl::timer_fired(ActiveTimer&, int)
{
    timeout_timer();
}

void HTTPRequestImpl::timeout_timer()
{
    get_log() << u"timeout_timer fired at " << log_seconds() << u"\n";
    if (!kill())
        return;
    HTTPRequest& owner = m_owner;
    owner.listener().on_status(owner, 1.0, status_server_send_failed);
    owner.listener().on_failed(owner); // may delete us
    get_log() << u"timeout_timer finished at " << log_seconds() << u"\n";
}

void HTTPRequestImpl::handle_data()
{
    SharedBuffer chunk = m_exchange->chunk;
    HTTPRequestListener& listener = m_owner.listener();
    if (!listener.on_data(m_owner, chunk))
        m_owner.keep_chunk(chunk);
    if (m_exchange->is_killed())
        return; // killed from inside on_data: the end has been reported, the worker stays stopped
    m_received += chunk.size();
    if (m_total != 0) {
        WString key = m_exchange->status_key;
        listener.on_status(
            m_owner, static_cast<double>(m_received) / static_cast<double>(m_total), key);
    }
    if (m_exchange->is_killed())
        return;
    resume_worker();
}

bool HTTPRequestImpl::handle_headers()
{
    ParsedHeaderBlock block = parse_header_block(m_exchange->headers);
    for (const ReplyHeader& header : block.headers) {
        if (m_exchange->is_killed())
            break;
        handle_header(header.name, header.value);
    }
    return block.is_2xx;
}

void HTTPRequestImpl::handle_header(const WString& name, const WString& value)
{
    get_log() << u"HTTP Header " << name << u": " << value << u"\n";
    HTTPRequestListener& listener = m_owner.listener();
    std::uint32_t length = 0;
    if (name == u"content-length" && !m_range_seen && parse_unsigned_decimal(value, length)) {
        m_total = length;
        listener.on_content_length(m_owner, length);
        return;
    }
    if (name == u"content-range") {
        if (std::optional<ContentRange> range = parse_content_range(value)) {
            m_range_seen = true;
            if (listener.on_content_range(m_owner, range->first, range->last, range->length)) {
                m_received = 0;
                m_total = range->last - range->first + 1;
            } else {
                m_total = range->length;
                m_received = range->first;
            }
            return;
        }
    }
    listener.on_http_header(m_owner, name, value);
}

void HTTPRequestImpl::resume_worker()
{
    set_active();
    m_exchange->resume.set();
    if (!m_exchange->is_killed())
        m_timer.start(m_patience ? m_patience : s_watchdog_period);
}

} // namespace corvane
