#pragma once

#include <arpa/inet.h>
#include <cctype>
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

inline sockaddr_in loopback_address(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

inline std::u16string loopback_url(int port, const std::string& path = "/")
{
    std::string text = "http://127.0.0.1:" + std::to_string(port) + path;
    return std::u16string(text.begin(), text.end());
}

// A TCP socket on a free port of 127.0.0.1, listening unless `listens` is false (connections to
// it are then refused). Answers the descriptor and sets `port`; -1 on failure.
inline int open_loopback_socket(int& port, bool listens = true)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback_address(0);
    socklen_t length = sizeof address;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && (!listens || listen(fd, 64) == 0)
        && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
        return fd;
    }
    if (fd >= 0)
        close(fd);
    return -1;
}

// Where the line of header `name` (lower case, with its colon) starts in `message`, or npos.
inline std::size_t find_header(const std::string& message, const std::string& name)
{
    std::string head = message.substr(0, message.find("\r\n\r\n"));
    for (auto& c : head)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t at = head.find("\r\n" + name);
    return at == std::string::npos ? at : at + 2;
}

// One HTTP message (head and Content-Length body) from `buffer` into `message`, leaving in
// `buffer` what came after it. `more` appends what arrives next to `buffer`, and answers false
// on close, error or when the reader gives up, which this answers too.
template<typename More> bool read_http_message(std::string& buffer, std::string& message, More more)
{
    std::size_t head_end;
    while ((head_end = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (!more())
            return false;
    }
    std::size_t at = find_header(buffer, "content-length:");
    std::size_t total = head_end + 4
        + (at == std::string::npos ? 0 : std::strtoul(buffer.c_str() + at + 15, nullptr, 10));
    while (buffer.size() < total) {
        if (!more())
            return false;
    }
    message = buffer.substr(0, total);
    buffer.erase(0, total);
    return true;
}

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
        bool listens = after != After::NeverListen;
        m_listener = open_loopback_socket(m_port, listens);
        if (m_listener >= 0 && listens)
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
    std::u16string wide_url(const std::string& path) const { return loopback_url(m_port, path); }
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
    bool read_request(int connection, std::string& request)
    {
        std::string buffer;
        return read_http_message(buffer, request, [&] {
            pollfd fds[2] = { { m_wake[0], POLLIN, 0 }, { connection, POLLIN, 0 } };
            if (poll(fds, 2, 5000) <= 0 || fds[0].revents)
                return false;
            char chunk[4096];
            ssize_t got = recv(connection, chunk, sizeof chunk, 0);
            if (got > 0)
                buffer.append(chunk, static_cast<std::size_t>(got));
            return got > 0;
        });
    }

    std::string m_reply;
    After m_after;
    int m_listener { -1 };
    int m_wake[2] { -1, -1 };
    int m_port { 0 };
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
