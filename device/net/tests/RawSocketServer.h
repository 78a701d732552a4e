#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::test {

// A bare TCP server on 127.0.0.1 that answers every request with the same bytes, exactly as given,
// so a test controls the framing down to the byte (replies no HTTP library would send among
// them). For each connection it reads the request head and its Content-Length body, writes
// `reply`, and then closes the connection or keeps it open and silent until the server stops.
// With NeverListen it only holds its port, so connections to it are refused.
class RawSocketServer {
public:
    enum class After { Close, StaySilent, NeverListen };

    RawSocketServer(std::string reply, After after);
    ~RawSocketServer();
    RawSocketServer(const RawSocketServer&) = delete;
    RawSocketServer& operator=(const RawSocketServer&) = delete;

    bool is_running() const { return m_listener >= 0; }
    std::u16string wide_url(const std::string& path) const;
    // Waits until `count` requests have been read completely.
    bool wait_for_requests(int count, int milliseconds);
    // Every request read so far, head and body, as sent.
    std::vector<std::string> received() const;

private:
    void serve();
    bool read_request(int connection, std::string& data);

    std::string m_reply;
    After m_after;
    int m_listener { -1 };
    int m_wake[2] { -1, -1 };
    std::uint16_t m_port { 0 };
    std::vector<int> m_connections; // server thread only
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_received;
    std::thread m_thread;
};

// An HTTP/1.1 reply with the status, the extra header lines (each ending in CRLF) and the body;
// a Content-Length of the body is added unless `headers` frames it already.
std::string http_reply(unsigned status, const std::string& body, const std::string& headers = "");

} // namespace corvane::test
