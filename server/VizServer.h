#pragma once

#include "server/ServiceConfig.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace corvane::server {

class CallDispatcher;
class HttpServer;
class NewsWatcher;
class PasswordHasher;
class Service;
class ServiceClock;
class Storage;
class TicketOutbox;

// The whole service in one object: store, clock, password hashing, ticket outbox, methods
// and the HTTP listener. Tests start it in-process on a free port; the program runs it until
// a signal arrives.
// Thread safety: open(), start() and stop() from one controlling thread.
class VizServer {
public:
    explicit VizServer(ServiceConfig config);
    ~VizServer();
    VizServer(const VizServer&) = delete;
    VizServer& operator=(const VizServer&) = delete;

    // Opens (creating or migrating) the database; false with a reason in error().
    [[nodiscard]] bool open();
    // Starts listening; false with a reason in error().
    [[nodiscard]] bool start();
    // Lets the calls in flight finish, then stops listening.
    void stop();

    int port() const;
    int calls_in_flight() const;
    // Calls of waitNews parked until news or their time is up.
    int news_waiters() const;
    const std::string& error() const { return m_error; }
    Service& service() { return *m_service; }
    ServiceClock& clock() { return *m_clock; }
    const ServiceConfig& config() const { return m_config; }

private:
    // The PEM text of a TLS file into `text`; false with a message naming the file.
    bool read_pem(const std::string& path, const char* what, std::string& text);

    ServiceConfig m_config;
    std::string m_error;
    std::unique_ptr<ServiceClock> m_clock;
    std::unique_ptr<Storage> m_storage;
    std::unique_ptr<PasswordHasher> m_hasher;
    std::unique_ptr<TicketOutbox> m_outbox;
    std::unique_ptr<Service> m_service;
    std::unique_ptr<NewsWatcher> m_watcher;
    std::unique_ptr<CallDispatcher> m_dispatcher;
    std::unique_ptr<HttpServer> m_http;

    // Housekeeping on a timer while the listener runs.
    void run_purges();
    std::mutex m_purge_lock;
    std::condition_variable m_purge_wakeup;
    bool m_purge_stop { false };
    std::thread m_purger;
};

} // namespace corvane::server
