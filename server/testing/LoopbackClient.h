#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace corvane::server::testing {

// A minimal HTTP/1.1 client over one kept-alive loopback connection, for tests and the load
// program: it sends exactly the bytes it is given, so malformed requests can be written too.
// One thread at a time.
class LoopbackClient {
public:
    struct Response {
        int status { 0 };
        std::string status_line;
        std::map<std::string, std::string> headers; // Names lower-cased.
        std::string body;
    };

    explicit LoopbackClient(int port)
        : m_port(port)
    {
    }
    ~LoopbackClient() { disconnect(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    // A POST with the given body and type; nothing when the exchange failed.
    // `extra_headers` are whole lines, each ending in CR LF.
    std::optional<Response> post(const std::string& path, const std::string& body,
        const std::string& content_type = "text/x-gwt-rpc; charset=utf-8",
        const std::string& extra_headers = {})
    {
        std::string request = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra_headers;
        if (!content_type.empty())
            request += "Content-Type: " + content_type + "\r\n";
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        return exchange(request);
    }

    // Sends the raw request and reads one response; reconnects once when a kept-alive
    // connection turns out to be closed.
    std::optional<Response> exchange(const std::string& request)
    {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (m_socket < 0 && !connect_socket())
                return std::nullopt;
            // A service may answer before the whole body is sent (a refusal of a declared size)
            // and close; its answer is then already waiting, so it is read either way.
            (void)send_all(request);
            std::optional<Response> response = read_response();
            if (response)
                return response;
            disconnect();
        }
        return std::nullopt;
    }

    // The two halves of exchange(), to keep many requests outstanding on many clients.
    bool send_request(const std::string& request)
    {
        return (m_socket >= 0 || connect_socket()) && send_all(request);
    }
    std::optional<Response> read_reply() { return read_response(); }

    // A POST of the GWT-RPC body as the service expects it.
    static std::string call_request(const std::string& body)
    {
        return "POST /service HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
               "text/x-gwt-rpc; charset=utf-8\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

    void disconnect()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
        m_buffer.clear();
    }

private:
    bool connect_socket()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_socket < 0)
            return false;
        int one = 1;
        ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        timeval timeout { 15, 0 };
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(std::uint16_t(m_port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            disconnect();
            return false;
        }
        return true;
    }

    bool send_all(const std::string& data)
    {
        std::size_t sent = 0;
        while (sent < data.size()) {
            ssize_t n = ::send(m_socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += std::size_t(n);
        }
        return true;
    }

    bool fill()
    {
        char chunk[65536];
        ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        m_buffer.append(chunk, std::size_t(n));
        return true;
    }

    std::optional<Response> read_response()
    {
        std::size_t end;
        while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!fill())
                return std::nullopt;
        }
        Response response;
        std::string head = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 4);
        std::size_t line_end = head.find("\r\n");
        response.status_line = head.substr(0, line_end);
        if (response.status_line.size() < 12)
            return std::nullopt;
        response.status = std::atoi(response.status_line.c_str() + 9);
        std::size_t at = line_end == std::string::npos ? head.size() : line_end + 2;
        while (at < head.size()) {
            std::size_t next = head.find("\r\n", at);
            if (next == std::string::npos)
                next = head.size();
            std::string line = head.substr(at, next - at);
            std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                for (char& c : name)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                std::size_t value = line.find_first_not_of(' ', colon + 1);
                response.headers[name] = value == std::string::npos ? "" : line.substr(value);
            }
            at = next + 2;
        }
        std::size_t length = 0;
        auto found = response.headers.find("content-length");
        if (found != response.headers.end())
            length = std::size_t(std::strtoull(found->second.c_str(), nullptr, 10));
        while (m_buffer.size() < length) {
            if (!fill())
                return std::nullopt;
        }
        response.body = m_buffer.substr(0, length);
        m_buffer.erase(0, length);
        auto connection = response.headers.find("connection");
        if (connection != response.headers.end() && connection->second == "close")
            disconnect();
        return response;
    }

    int m_port;
    int m_socket { -1 };
    std::string m_buffer;
};

} // namespace corvane::server::testing
