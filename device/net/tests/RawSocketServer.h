#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::test {

// A bare TCP server on 127.0.0.1 for replies that no HTTP library would send. For each
// connection it reads the request head and its Content-Length body, writes `reply` exactly as
// given, and then closes the connection or keeps it open and silent until the server stops.
class RawSocketServer {
public:
    enum class After { Close, StaySilent };

    RawSocketServer(std::string reply, After after);
    ~RawSocketServer();
    RawSocketServer(const RawSocketServer&) = delete;
    RawSocketServer& operator=(const RawSocketServer&) = delete;

    bool is_running() const { return m_listener >= 0; }
    std::u16string wide_url(const std::string& path) const;
    // Waits until `count` requests have been read completely.
    bool wait_for_requests(int count, int milliseconds);

private:
    void serve();
    bool read_request(int connection);

    std::string m_reply;
    After m_after;
    int m_listener { -1 };
    int m_wake[2] { -1, -1 };
    std::uint16_t m_port { 0 };
    std::vector<int> m_connections; // server thread only
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_requests { 0 };
    std::thread m_thread;
};

} // namespace corvane::test
