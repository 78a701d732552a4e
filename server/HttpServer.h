#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

struct MHD_Daemon;
struct MHD_Connection;

namespace corvane::server {

struct HttpReply;
// Sends a reply that came later; from any thread, exactly once.
using ReplySender = std::function<void(HttpReply)>;

struct HttpReply {
    HttpReply() = default;
    HttpReply(int status_code, std::string text)
        : status(status_code)
        , body(std::move(text))
    {
    }

    int status { 200 };
    std::string body;
    // Set instead of a body: the transport parks the connection, holding no thread, and hands
    // this the sender that answers it. A reply is owed until the sender has run.
    std::function<void(ReplySender)> later;
};

// The request headers a call's handling depends on.
struct CallHeaders {
    std::string idempotency_key; // the Idempotency-Key header's value, unquoted; empty if none
};

// What the transport hands a complete, well-framed call to. Called on the listener's pool
// threads, several at once.
class CallHandler {
public:
    virtual ~CallHandler() = default;
    virtual HttpReply handle_call(
        std::string_view body, const std::string& client_address, const CallHeaders& headers = {})
        = 0;
    // A GET outside the call path (health, metrics); nothing for a path it does not serve.
    virtual std::optional<HttpReply> handle_get(std::string_view) { return std::nullopt; }
};

struct HttpSettings {
    std::string host { "127.0.0.1" };
    int port { 8080 }; // 0 picks a free port; see port().
    std::string base_path { "/" };
    unsigned threads { 4 };
    std::size_t body_limit { 1u << 20 };
    // No client can hold the service: connections in all, from one address (0: no limit),
    // and the time in which a request's head and body must have arrived completely.
    unsigned connection_limit { 1000 };
    unsigned per_address_limit { 64 };
    std::int64_t request_deadline_ms { 10'000 };
    // Peers whose X-Forwarded-For names the real client (numeric addresses).
    std::set<std::string> trusted_proxies;
    // PEM texts; both non-empty: HTTPS with the library's own TLS.
    std::string tls_cert;
    std::string tls_key;
};

// The HTTP/1.1 listener on libmicrohttpd with its internal thread pool. It owns the framing
// rules (path, verb, Content-Length, Content-Type, body limit) and answers them itself; only
// a well-framed POST to "<base path>service" reaches the handler.
// Thread safety: start() and stop() from one controlling thread.
class HttpServer {
public:
    HttpServer(HttpSettings settings, CallHandler& handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and starts serving; false with a reason in error() when the address is unusable.
    [[nodiscard]] bool start();
    // Stops accepting, lets the calls in flight finish (at most `grace_ms`), then closes. Every
    // parked call must have been answered by then: the owner of the senders answers them first.
    void stop(int grace_ms = 10000);

    int port() const { return m_port; }
    const std::string& error() const { return m_error; }
    // Requests begun and not yet answered completely.
    int in_flight();
    // Calls parked for a later reply.
    int parked();

private:
    struct Exchange;
    friend struct HttpCallbacks;
    int access(MHD_Connection* connection, const char* url, const char* method, const char* upload,
        std::size_t* upload_size, void** state);
    void completed(MHD_Connection* connection, void** state);
    void park(MHD_Connection* connection, Exchange& exchange, HttpReply reply);
    void connection_opened(MHD_Connection* connection);
    void connection_closed(MHD_Connection* connection);
    // From now on the connection's next request must arrive within the deadline; never when
    // `start` is nothing (a request is being answered).
    void set_request_start(MHD_Connection* connection, std::optional<std::int64_t> start);
    void watch_deadlines();
    std::string client_of(MHD_Connection* connection) const;

    struct Watched {
        int fd { -1 };
        std::optional<std::int64_t> request_start; // Milliseconds on the steady clock.
    };

    HttpSettings m_settings;
    std::string m_service_path;
    CallHandler& m_handler; // Outlives the server.
    MHD_Daemon* m_daemon { nullptr };
    int m_port { 0 };
    std::string m_error;
    std::mutex m_lock;
    std::condition_variable m_idle;
    int m_in_flight { 0 };
    int m_parked { 0 };
    std::atomic<bool> m_stopping { false };

    std::mutex m_watch_lock; // Held while a watched descriptor is shut down, so it stays open.
    std::condition_variable m_watch_wakeup;
    std::unordered_map<MHD_Connection*, Watched> m_watched;
    bool m_watch_stop { false };
    std::thread m_watchdog;
};

} // namespace corvane::server
