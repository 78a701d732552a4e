#include "server/HttpServer.h"

#include "server/RequestHead.h"
#include "server/ServerLog.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

namespace corvane::server {

struct HttpServer::Exchange {
    std::string body;
    std::size_t expected { 0 };
    std::string client;
    bool is_call { false };
    bool parked { false };
    std::optional<HttpReply> answer; // a parked call's reply, once it came
};

static std::int64_t steady_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

HttpServer::HttpServer(HttpSettings settings, CallHandler& handler)
    : m_settings(std::move(settings))
    , m_handler(handler)
{
    if (m_settings.base_path.empty() || m_settings.base_path.front() != '/')
        m_settings.base_path = "/" + m_settings.base_path;
    if (m_settings.base_path.back() != '/')
        m_settings.base_path.push_back('/');
    m_service_path = m_settings.base_path + "service";
}

HttpServer::~HttpServer()
{
    stop(0);
}

static MHD_Result queue_text(MHD_Connection* connection, int status, std::string_view text)
{
    MHD_Response* response = MHD_create_response_from_buffer(
        text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, "Content-Type", "text/plain; charset=utf-8");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    MHD_Result result = MHD_queue_response(connection, unsigned(status), response);
    MHD_destroy_response(response);
    return result;
}

static std::string peer_address(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return "?";
    char text[INET6_ADDRSTRLEN] = "?";
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET)
        inet_ntop(
            AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
            sizeof text);
    return text;
}

// The peer, or behind a trusted proxy the nearest address in X-Forwarded-For that is not
// itself a trusted proxy. Entries further left were written by the client and prove nothing.
std::string HttpServer::client_of(MHD_Connection* connection) const
{
    std::string client = peer_address(connection);
    if (!m_settings.trusted_proxies.contains(client))
        return client;
    const char* header
        = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Forwarded-For");
    std::string_view hops(header ? header : "");
    while (!hops.empty()) {
        std::size_t comma = hops.rfind(',');
        std::string_view hop = comma == std::string_view::npos ? hops : hops.substr(comma + 1);
        hops = comma == std::string_view::npos ? std::string_view() : hops.substr(0, comma);
        std::optional<std::string> address = canonical_address(hop);
        if (!address)
            break;
        client = *address;
        if (!m_settings.trusted_proxies.contains(client))
            break;
    }
    return client;
}

// The listener's callbacks, with exactly the signatures the library calls.
struct HttpCallbacks {
    static MHD_Result access(void* self, MHD_Connection* connection, const char* url,
        const char* method, const char*, const char* upload, std::size_t* upload_size, void** state)
    {
        return static_cast<HttpServer*>(self)->access(
                   connection, url, method, upload, upload_size, state)
            ? MHD_YES
            : MHD_NO;
    }
    static void completed(
        void* self, MHD_Connection* connection, void** state, MHD_RequestTerminationCode)
    {
        static_cast<HttpServer*>(self)->completed(connection, state);
    }
    static void notify(
        void* self, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code)
    {
        auto* server = static_cast<HttpServer*>(self);
        if (code == MHD_CONNECTION_NOTIFY_STARTED)
            server->connection_opened(connection);
        else
            server->connection_closed(connection);
    }
};

void HttpServer::connection_opened(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    std::lock_guard lock(m_watch_lock);
    m_watched[connection] = { info ? int(info->connect_fd) : -1, steady_ms() };
}

void HttpServer::connection_closed(MHD_Connection* connection)
{
    // The library closes the descriptor after this returns: from here on the watchdog must
    // not touch it.
    std::lock_guard lock(m_watch_lock);
    m_watched.erase(connection);
}

void HttpServer::set_request_start(MHD_Connection* connection, std::optional<std::int64_t> start)
{
    std::lock_guard lock(m_watch_lock);
    auto found = m_watched.find(connection);
    if (found != m_watched.end())
        found->second.request_start = start;
}

// Each byte restarts the library's idle timeout, so a client trickling a request could hold a
// connection for ever; this cuts any request that has not arrived whole within the deadline.
void HttpServer::watch_deadlines()
{
    std::int64_t deadline = m_settings.request_deadline_ms;
    auto period = std::chrono::milliseconds(std::clamp<std::int64_t>(deadline / 4, 10, 1000));
    std::unique_lock lock(m_watch_lock);
    while (!m_watch_stop) {
        m_watch_wakeup.wait_for(lock, period);
        std::int64_t now = steady_ms();
        for (auto& [connection, watched] : m_watched) {
            if (watched.fd < 0 || !watched.request_start || now - *watched.request_start < deadline)
                continue;
            ::shutdown(watched.fd, SHUT_RDWR); // The library sees the end and closes it.
            watched.request_start.reset();
        }
    }
}

int HttpServer::in_flight()
{
    std::lock_guard lock(m_lock);
    return m_in_flight;
}

int HttpServer::parked()
{
    std::lock_guard lock(m_lock);
    return m_parked;
}

int HttpServer::access(MHD_Connection* connection, const char* url, const char* method,
    const char* upload, std::size_t* upload_size, void** state)
{
    auto* exchange = static_cast<Exchange*>(*state);
    if (!exchange) {
        // The library keeps it in the state slot until completed() takes it back.
        exchange = std::make_unique<Exchange>().release();
        *state = exchange;
        {
            std::lock_guard lock(m_lock);
            ++m_in_flight;
        }
        std::string_view path(url ? url : "");
        bool is_post = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0;
        int refusal = 0;
        if (path == "/health") {
            bool is_get = std::strcmp(method, MHD_HTTP_METHOD_GET) == 0
                || std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
            refusal = is_get ? 200 : 405;
        } else if (path != m_service_path) {
            if (std::strcmp(method, MHD_HTTP_METHOD_GET) == 0) {
                // Health and metrics: nothing to read, answered at once.
                set_request_start(connection, std::nullopt);
                std::optional<HttpReply> answer = m_handler.handle_get(path);
                return answer ? queue_text(connection, answer->status, answer->body)
                              : queue_text(connection, 404, "not found");
            }
            refusal = 404;
        } else if (!is_post) {
            refusal = 405;
        } else if (!parse_content_length(MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                             MHD_HTTP_HEADER_CONTENT_LENGTH),
                       exchange->expected)) {
            refusal = 411;
        } else if (exchange->expected > m_settings.body_limit) {
            refusal = 413;
        } else if (!is_accepted_type(MHD_lookup_connection_value(
                       connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_TYPE))) {
            refusal = 415;
        } else {
            exchange->is_call = true;
            exchange->client = client_of(connection);
            exchange->body.reserve(exchange->expected);
            return MHD_YES;
        }
        // Answered before any body is read: no "100 Continue", and the library closes the
        // connection rather than reading what was declared.
        set_request_start(connection, std::nullopt);
        switch (refusal) {
        case 200:
            return queue_text(connection, 200, "ok");
        case 404:
            return queue_text(connection, 404, "not found");
        case 405:
            return queue_text(connection, 405, "method not allowed");
        case 411:
            return queue_text(connection, 411, "Content-Length required");
        case 413:
            return queue_text(connection, 413, "request body too large");
        default:
            return queue_text(connection, 415, "Content-Type must be text/x-gwt-rpc in UTF-8");
        }
    }
    if (!exchange->is_call)
        return MHD_NO; // A refusal is queued; nothing more to read.
    if (*upload_size != 0) {
        // The declared length bounds the body.
        if (exchange->body.size() + *upload_size > exchange->expected)
            return MHD_NO;
        exchange->body.append(upload, *upload_size);
        *upload_size = 0;
        return MHD_YES;
    }
    set_request_start(connection, std::nullopt);
    CallHeaders headers;
    if (!read_idempotency_key(
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Idempotency-Key"),
            headers.idempotency_key))
        return queue_text(connection, 400, "Idempotency-Key must be 1 to 255 printable characters");
    if (exchange->parked) {
        // Resumed: the reply has come.
        std::optional<HttpReply> answer;
        {
            std::lock_guard lock(m_lock);
            answer.swap(exchange->answer);
        }
        if (!answer)
            return MHD_NO;
        return queue_text(connection, answer->status, answer->body);
    }
    HttpReply reply = m_handler.handle_call(exchange->body, exchange->client, headers);
    if (reply.later) {
        park(connection, *exchange, std::move(reply));
        return MHD_YES;
    }
    return queue_text(connection, reply.status, reply.body);
}

// The connection leaves the library's polling until the sender resumes it, so a waiting call
// costs its socket and its few buffers, and no thread. The exchange stays alive meanwhile: the
// library does not complete a suspended connection.
void HttpServer::park(MHD_Connection* connection, Exchange& exchange, HttpReply reply)
{
    exchange.parked = true;
    {
        std::lock_guard lock(m_lock);
        ++m_parked;
    }
    MHD_suspend_connection(connection);
    Exchange* parked = &exchange;
    reply.later([this, connection, parked](HttpReply answer) {
        {
            std::lock_guard lock(m_lock);
            parked->answer = std::move(answer);
            --m_parked;
        }
        MHD_resume_connection(connection);
    });
}

void HttpServer::completed(MHD_Connection* connection, void** state)
{
    std::unique_ptr<Exchange> exchange(static_cast<Exchange*>(*state));
    *state = nullptr;
    set_request_start(connection, steady_ms()); // The next request's time starts now.
    if (!exchange)
        return;
    std::lock_guard lock(m_lock);
    if (--m_in_flight == 0)
        m_idle.notify_all();
}

bool HttpServer::start()
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    std::string host = m_settings.host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::string port = std::to_string(m_settings.port);
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &found) != 0
        || !found) {
        m_error = "cannot use listen address " + m_settings.host + " (a numeric address is needed)";
        return false;
    }
    sockaddr_storage address {};
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    bool is_ipv6 = found->ai_family == AF_INET6;
    freeaddrinfo(found);

    // An idle connection (between requests, or a client that stopped sending) is dropped
    // after the request deadline too.
    unsigned idle_seconds = unsigned(
        std::clamp<std::int64_t>((m_settings.request_deadline_ms + 999) / 1000, 1, 3600));
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC
        | MHD_ALLOW_SUSPEND_RESUME;
    if (is_ipv6)
        flags |= MHD_USE_IPv6;
    bool tls = !m_settings.tls_cert.empty() && !m_settings.tls_key.empty();
    if (tls && MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
        m_error = "this libmicrohttpd was built without TLS";
        return false;
    }
    MHD_OptionItem tls_options[] = {
        { MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(m_settings.tls_cert.c_str()) },
        { MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(m_settings.tls_key.c_str()) },
        { MHD_OPTION_END, 0, nullptr },
    };
    if (tls)
        flags |= MHD_USE_TLS;
    m_daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &HttpCallbacks::access, this,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address), MHD_OPTION_THREAD_POOL_SIZE,
        m_settings.threads, MHD_OPTION_NOTIFY_COMPLETED, &HttpCallbacks::completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &HttpCallbacks::notify, this, MHD_OPTION_CONNECTION_TIMEOUT,
        idle_seconds, MHD_OPTION_CONNECTION_LIMIT,
        std::max(m_settings.connection_limit, m_settings.threads),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, m_settings.per_address_limit,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, std::size_t(64 * 1024), MHD_OPTION_LISTEN_BACKLOG_SIZE,
        256u, MHD_OPTION_ARRAY, tls ? tls_options : tls_options + 2, MHD_OPTION_END);
    if (!m_daemon) {
        m_error = "cannot listen on " + m_settings.host + ":" + port
            + (tls ? " (address in use or not available, or the TLS certificate and key are not "
                     "valid PEM or do not match)"
                   : " (address in use or not available)");
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? info->port : m_settings.port;
    m_watch_stop = false;
    m_watchdog = std::thread([this] { watch_deadlines(); });
    return true;
}

void HttpServer::stop(int grace_ms)
{
    if (!m_daemon)
        return;
    m_stopping = true;
    MHD_socket listener = MHD_quiesce_daemon(m_daemon);
    if (listener != MHD_INVALID_SOCKET)
        close(listener);
    {
        std::unique_lock lock(m_lock);
        m_idle.wait_for(
            lock, std::chrono::milliseconds(grace_ms), [&] { return m_in_flight == 0; });
    }
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    {
        std::lock_guard lock(m_watch_lock);
        m_watch_stop = true;
    }
    m_watch_wakeup.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
}

} // namespace corvane::server
