#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

struct MHD_Daemon;
struct MHD_Connection;

namespace corvane::server {

struct HttpReply {
    int status { 200 };
    std::string body;
};

// What the transport hands a complete, well-framed call to. Called on the listener's pool
// threads, several at once.
class CallHandler {
public:
    virtual ~CallHandler() = default;
    virtual HttpReply handle_call(std::string_view body, const std::string& client_address) = 0;
    // A GET outside the call path (health, metrics); nothing for a path it does not serve.
    virtual std::optional<HttpReply> handle_get(std::string_view) { return std::nullopt; }
};

struct HttpSettings {
    std::string host { "127.0.0.1" };
    int port { 8080 }; // 0 picks a free port; see port().
    std::string base_path { "/" };
    unsigned threads { 4 };
    std::size_t body_limit { 1u << 20 };
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
    // Stops accepting, lets the calls in flight finish (at most `grace_ms`), then closes.
    void stop(int grace_ms = 10000);

    int port() const { return m_port; }
    const std::string& error() const { return m_error; }
    // Requests begun and not yet answered completely.
    int in_flight();

private:
    struct Exchange;
    friend struct HttpCallbacks;
    int access(MHD_Connection* connection, const char* url, const char* method, const char* upload,
        std::size_t* upload_size, void** state);
    void completed(void** state);

    HttpSettings m_settings;
    std::string m_service_path;
    CallHandler& m_handler; // Outlives the server.
    MHD_Daemon* m_daemon { nullptr };
    int m_port { 0 };
    std::string m_error;
    std::mutex m_lock;
    std::condition_variable m_idle;
    int m_in_flight { 0 };
    std::atomic<bool> m_stopping { false };
};

} // namespace corvane::server
