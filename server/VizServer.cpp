#include "server/VizServer.h"

#include "server/CallDispatcher.h"
#include "server/HttpServer.h"
#include "server/NewsWatcher.h"
#include "server/PasswordHasher.h"
#include "server/PgStorage.h"
#include "server/Secrets.h"
#include "server/ServerLog.h"
#include "server/Service.h"
#include "server/ServiceClock.h"
#include "server/TicketOutbox.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <unistd.h>

namespace corvane::server {

VizServer::VizServer(ServiceConfig config)
    : m_config(std::move(config))
{
    if (m_config.quiet)
        set_log_quiet(true);
}

VizServer::~VizServer()
{
    stop();
}

bool VizServer::open()
{
    if (!initialise_secrets()) {
        m_error = "the random generator could not be initialised";
        return false;
    }
    m_clock = m_config.test_clock_start ? std::make_unique<ServiceClock>(*m_config.test_clock_start)
                                        : std::make_unique<ServiceClock>();
    if (!m_config.outbox.empty()) {
        // A ticket must never go to the log because of a typo: make the folder, or refuse.
        std::error_code error;
        // A new folder holds tickets only: its owner's alone.
        if (std::filesystem::create_directories(m_config.outbox, error))
            std::filesystem::permissions(m_config.outbox, std::filesystem::perms::owner_all, error);
        if (!std::filesystem::is_directory(m_config.outbox)
            || ::access(m_config.outbox.c_str(), W_OK | X_OK) != 0) {
            m_error = "the outbox folder " + m_config.outbox + " cannot be created or written"
                + (error ? " (" + error.message() + ")" : std::string());
            return false;
        }
    }
    try {
        m_storage = open_storage(m_config.database);
    } catch (const StorageError& error) {
        m_error = error.what();
        return false;
    }
    m_hasher = std::make_unique<PasswordHasher>(m_config.password_cost);
    m_outbox = std::make_unique<TicketOutbox>(m_config.outbox);
    m_service = std::make_unique<Service>(*m_storage, m_config, *m_clock, *m_hasher, *m_outbox);
    return true;
}

bool VizServer::read_pem(const std::string& path, const char* what, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (!in.good() && !in.eof()) {
        m_error = std::string("cannot read the TLS ") + what + " " + path;
        return false;
    }
    if (text.find("-----BEGIN ") == std::string::npos) {
        m_error = std::string("the TLS ") + what + " " + path + " is not a PEM file";
        return false;
    }
    return true;
}

bool VizServer::start()
{
    if (!m_service && !open())
        return false;
    m_watcher
        = std::make_unique<NewsWatcher>(*m_storage, m_config.news_wait_ms, m_config.news_poll_ms);
    m_watcher->start();
    m_dispatcher = std::make_unique<CallDispatcher>(*m_service, m_watcher.get());
    m_dispatcher->metrics().set_waiter_probe([this] { return m_watcher->waiting(); });
    m_dispatcher->metrics().set_session_probe([this]() -> std::optional<std::int64_t> {
        try {
            return m_storage->begin(TransactionKind::Read)->count_sessions();
        } catch (const StorageError& error) {
            log_line(std::string("health check: ") + error.what());
            return std::nullopt;
        }
    });
    HttpSettings settings;
    settings.host = m_config.listen_host;
    settings.port = m_config.listen_port;
    settings.base_path = m_config.base_path;
    settings.threads = m_config.threads;
    settings.connection_limit = m_config.connection_limit;
    settings.per_address_limit = m_config.per_address_limit;
    settings.request_deadline_ms = m_config.request_deadline_ms;
    settings.trusted_proxies = m_config.trusted_proxies;
    if (!m_config.tls_cert.empty() || !m_config.tls_key.empty()) {
        if (!read_pem(m_config.tls_cert, "certificate", settings.tls_cert)
            || !read_pem(m_config.tls_key, "private key", settings.tls_key))
            return false;
    }
    m_http = std::make_unique<HttpServer>(settings, *m_dispatcher);
    if (!m_http->start()) {
        m_error = m_http->error();
        if (!settings.tls_cert.empty())
            m_error += ": " + m_config.tls_cert + " and " + m_config.tls_key;
        m_http.reset();
        m_watcher.reset();
        return false;
    }
    m_purge_stop = false;
    m_purger = std::thread([this] { run_purges(); });
    return true;
}

void VizServer::run_purges()
{
    std::unique_lock lock(m_purge_lock);
    for (;;) {
        m_purge_wakeup.wait_for(lock, std::chrono::milliseconds(m_config.purge_interval_ms),
            [this] { return m_purge_stop; });
        if (m_purge_stop)
            return;
        lock.unlock();
        try {
            int removed = m_service->purge();
            if (removed > 0)
                log_line("purged " + std::to_string(removed) + " expired rows");
        } catch (const StorageError& error) {
            log_line(std::string("purge failed, tried again later: ") + error.what());
        }
        lock.lock();
    }
}

void VizServer::stop()
{
    {
        std::lock_guard lock(m_purge_lock);
        m_purge_stop = true;
    }
    m_purge_wakeup.notify_all();
    if (m_purger.joinable())
        m_purger.join();
    // Parked calls are answered (nothing new) before the listener may close their connections.
    if (m_watcher)
        m_watcher->stop();
    if (m_http) {
        m_http->stop();
        m_http.reset();
    }
}

int VizServer::port() const
{
    return m_http ? m_http->port() : 0;
}

int VizServer::calls_in_flight() const
{
    return m_http ? m_http->in_flight() : 0;
}

int VizServer::news_waiters() const
{
    return m_watcher ? int(m_watcher->waiting()) : 0;
}

} // namespace corvane::server
