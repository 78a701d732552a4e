#pragma once

#include "device/net/tests/RawSocketServer.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <poll.h>
#include <random>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace corvane::test {

// An HTTP proxy on loopback between the program and the service that breaks exchanges the
// way mobile links do. Each request takes the next queued fault (or, once the queue is empty,
// a random one at the configured rates); requests pass untouched otherwise. Only POSTs that
// carry an Idempotency-Key (the changes) take faults when `changes_only` is set.
// Thread safety: configure before traffic or under its own lock; counters are atomic.
class FaultProxy {
public:
    enum class Fault {
        Pass,
        DropReply, // the service answers; the client's connection is reset before the reply
        ResetMidRequest, // half the request reaches the service, then both sides are reset
    };

    explicit FaultProxy(int upstream_port)
        : m_upstream(upstream_port)
    {
        m_listener = open_loopback_socket(m_port);
        m_accepter = std::thread([this] { accept_loop(); });
    }
    ~FaultProxy()
    {
        m_stopping = true;
        m_accepter.join();
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(m_lock);
            workers.swap(m_workers);
        }
        for (auto& worker : workers)
            worker.join();
        ::close(m_listener);
    }
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    int port() const { return m_port; }
    std::u16string base_url() const { return loopback_url(m_port); }
    void set_upstream(int port) { m_upstream = port; }

    void queue(std::vector<Fault> faults, bool changes_only = true)
    {
        std::lock_guard lock(m_lock);
        m_changes_only = changes_only;
        m_faults.insert(m_faults.end(), faults.begin(), faults.end());
    }
    // Random faults once the queue is empty, each a fraction of the matching requests.
    void set_rates(double drop_reply, double reset, unsigned seed)
    {
        std::lock_guard lock(m_lock);
        m_drop_rate = drop_reply;
        m_reset_rate = reset;
        m_random.seed(seed);
    }
    // Forwards requests without their Idempotency-Key, as to a service that ignores it.
    void set_strip_keys(bool strip) { m_strip_keys = strip; }

    std::atomic<int> requests { 0 }; // requests read from clients
    std::atomic<int> faults_done { 0 };
    // The Idempotency-Key of every change request, in arrival order.
    std::vector<std::string> keys()
    {
        std::lock_guard lock(m_lock);
        return m_keys;
    }

private:
    static void reset(int fd)
    {
        linger abort { 1, 0 }; // close with RST, as a dropped mobile link looks to the peer
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(fd);
    }
    static bool send_all(int fd, std::string_view data)
    {
        while (!data.empty()) {
            ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (sent <= 0)
                return false;
            data.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }
    bool fill(int fd, std::string& buffer)
    {
        while (!m_stopping) {
            pollfd p { fd, POLLIN, 0 };
            int ready = ::poll(&p, 1, 50);
            if (ready < 0)
                return false;
            if (ready == 0)
                continue;
            char chunk[16384];
            ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        return false;
    }

    // The fault for `request`, after noting its key; `request` loses the key when keys are
    // stripped.
    Fault choose(std::string& request)
    {
        std::string key;
        std::size_t at = find_header(request, "idempotency-key:");
        if (at != std::string::npos) {
            std::size_t end = request.find("\r\n", at);
            key = request.substr(at + 16, end - at - 16);
            key.erase(0, key.find_first_not_of(" \""));
            key.erase(key.find_last_not_of(" \"") + 1);
            if (m_strip_keys)
                request.erase(at, end + 2 - at);
        }
        std::lock_guard lock(m_lock);
        if (!key.empty())
            m_keys.push_back(key);
        if (m_changes_only && key.empty())
            return Fault::Pass;
        if (!m_faults.empty()) {
            Fault fault = m_faults.front();
            m_faults.pop_front();
            return fault;
        }
        double roll = std::uniform_real_distribution<double>(0, 1)(m_random);
        if (roll < m_drop_rate)
            return Fault::DropReply;
        return roll < m_drop_rate + m_reset_rate ? Fault::ResetMidRequest : Fault::Pass;
    }

    // Forwards `bytes` of the request; answers the service's reply, empty when there was none.
    std::string forward(const std::string& request, std::size_t bytes)
    {
        int up = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback_address(m_upstream);
        std::string reply, buffer;
        if (::connect(up, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && send_all(up, std::string_view(request).substr(0, bytes)) && bytes == request.size())
            read_http_message(buffer, reply, [&] { return fill(up, buffer); });
        if (bytes < request.size())
            reset(up);
        else
            ::close(up);
        return reply;
    }

    void serve(int client)
    {
        std::string buffer, request;
        while (read_http_message(buffer, request, [&] { return fill(client, buffer); })) {
            ++requests;
            Fault fault = choose(request);
            faults_done += fault != Fault::Pass;
            if (fault == Fault::Pass) {
                std::string reply = forward(request, request.size());
                if (reply.empty() || !send_all(client, reply))
                    return reset(client);
            } else {
                forward(request, fault == Fault::DropReply ? request.size() : request.size() / 2);
                return reset(client);
            }
        }
        ::close(client);
    }

    void accept_loop()
    {
        while (!m_stopping) {
            pollfd p { m_listener, POLLIN, 0 };
            if (::poll(&p, 1, 50) <= 0)
                continue;
            int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            std::lock_guard lock(m_lock);
            m_workers.emplace_back([this, client] { serve(client); });
        }
    }

    std::atomic<int> m_upstream;
    int m_listener { -1 };
    int m_port { 0 };
    std::atomic<bool> m_stopping { false };
    std::thread m_accepter;
    std::mutex m_lock;
    std::vector<std::thread> m_workers;
    std::deque<Fault> m_faults;
    bool m_changes_only { true };
    std::atomic<bool> m_strip_keys { false };
    double m_drop_rate { 0 };
    double m_reset_rate { 0 };
    std::mt19937 m_random { 1 };
    std::vector<std::string> m_keys;
};

} // namespace corvane::test
