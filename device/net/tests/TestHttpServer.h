#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;

namespace corvane::test {

// What the loopback server received.
struct ReceivedRequest {
    std::string method;
    std::string path;
    std::map<std::string, std::string> headers; // names as sent
    std::string body;
};

struct ServerReply {
    enum class Framing {
        Length, // a Content-Length header and the whole body
        Chunked, // chunked transfer encoding, `piece` bytes at a time
        CloseEarly, // announces the whole body, sends `piece` bytes, then drops the connection
    };
    unsigned status { 200 };
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    Framing framing { Framing::Length };
    std::size_t piece { 1000 };
};

// A real HTTP (or HTTPS) server on 127.0.0.1, on a port of its own, run by libmicrohttpd with a
// thread per connection. Every request is answered by the handler.
class TestHttpServer {
public:
    using Handler = std::function<ServerReply(const ReceivedRequest&)>;

    explicit TestHttpServer(Handler handler);
    // HTTPS with the given PEM certificate and key.
    TestHttpServer(Handler handler, const char* certificate_pem, const char* key_pem);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    bool is_running() const { return m_daemon != nullptr; }
    std::uint16_t port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path (or https).
    std::string url(const std::string& path) const;
    std::u16string wide_url(const std::string& path) const;
    std::vector<ReceivedRequest> received() const;

private:
    friend struct ServerAccess;
    void start(const char* certificate_pem, const char* key_pem);

    Handler m_handler;
    MHD_Daemon* m_daemon { nullptr };
    std::uint16_t m_port { 0 };
    bool m_tls { false };
    mutable std::mutex m_mutex;
    std::vector<ReceivedRequest> m_received;
};

} // namespace corvane::test
