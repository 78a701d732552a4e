#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
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

    RawSocketServer(std::string reply, After after)
        : m_reply(std::move(reply))
        , m_after(after)
    {
        if (pipe(m_wake) != 0)
            return;
        int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bool listens = after != After::NeverListen;
        if (listener < 0
            || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || (listens && listen(listener, 8) != 0)
            || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (listener >= 0)
                close(listener);
            return;
        }
        m_listener = listener;
        m_port = ntohs(address.sin_port);
        if (listens)
            m_thread = std::thread([this] { serve(); });
    }
    ~RawSocketServer()
    {
        if (m_thread.joinable()) {
            char stop = 1;
            (void)write(m_wake[1], &stop, 1);
            m_thread.join();
        }
        for (int fd : m_connections)
            close(fd);
        for (int fd : { m_listener, m_wake[0], m_wake[1] }) {
            if (fd >= 0)
                close(fd);
        }
    }
    RawSocketServer(const RawSocketServer&) = delete;
    RawSocketServer& operator=(const RawSocketServer&) = delete;

    bool is_running() const { return m_listener >= 0; }
    std::u16string wide_url(const std::string& path) const
    {
        std::string text = "http://127.0.0.1:" + std::to_string(m_port) + path;
        return std::u16string(text.begin(), text.end());
    }
    // Waits until `count` requests have been read completely.
    bool wait_for_requests(int count, int milliseconds)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
            [&] { return m_received.size() >= std::size_t(count); });
    }
    // Every request read so far, head and body, as sent.
    std::vector<std::string> received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    void serve()
    {
        for (;;) {
            pollfd fds[2] = { { m_wake[0], POLLIN, 0 }, { m_listener, POLLIN, 0 } };
            if (poll(fds, 2, -1) < 0)
                continue;
            if (fds[0].revents)
                return;
            int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            std::string request;
            if (!read_request(connection, request)) {
                close(connection);
                continue;
            }
            {
                std::lock_guard lock(m_mutex);
                m_received.push_back(std::move(request));
                m_changed.notify_all();
            }
            // One write, so that the whole reply reaches the client's socket at once.
            if (!m_reply.empty())
                (void)send(connection, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
            if (m_after == After::Close)
                close(connection);
            else
                m_connections.push_back(connection);
        }
    }
    bool read_request(int connection, std::string& data)
    {
        std::size_t needed = std::string::npos;
        for (;;) {
            std::size_t head_end = data.find("\r\n\r\n");
            if (head_end != std::string::npos && needed == std::string::npos) {
                std::size_t field = data.find("Content-Length: ");
                needed = head_end + 4
                    + (field < head_end ? std::strtoul(data.c_str() + field + 16, nullptr, 10) : 0);
            }
            if (needed != std::string::npos && data.size() >= needed)
                return true;
            pollfd fds[2] = { { m_wake[0], POLLIN, 0 }, { connection, POLLIN, 0 } };
            if (poll(fds, 2, 5000) <= 0 || fds[0].revents)
                return false;
            char buffer[4096];
            ssize_t got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            data.append(buffer, static_cast<std::size_t>(got));
        }
    }

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
// a Content-Length of the body is added unless `headers` frames it already. Any reason phrase
// will do; the status line needs one to count as a success.
inline std::string http_reply(
    unsigned status, const std::string& body, const std::string& headers = "")
{
    bool framed = headers.find("Transfer-Encoding:") != std::string::npos
        || headers.find("Content-Length:") != std::string::npos;
    std::string framing = !framed ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "";
    return "HTTP/1.1 " + std::to_string(status) + " Reason\r\n" + framing + headers + "\r\n" + body;
}

} // namespace corvane::test
