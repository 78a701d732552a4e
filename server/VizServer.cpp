#include "server/VizServer.h"

#include "server/CallDispatcher.h"
#include "server/HttpServer.h"
#include "server/PasswordHasher.h"
#include "server/Secrets.h"
#include "server/ServerLog.h"
#include "server/Service.h"
#include "server/ServiceClock.h"
#include "server/SqliteStorage.h"
#include "server/TicketOutbox.h"

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
    try {
        m_storage = SqliteStorage::open(m_config.database);
    } catch (const StorageError& error) {
        m_error = error.what();
        return false;
    }
    m_hasher = std::make_unique<PasswordHasher>(m_config.password_cost);
    m_outbox = std::make_unique<TicketOutbox>(m_config.outbox);
    m_service = std::make_unique<Service>(*m_storage, m_config, *m_clock, *m_hasher, *m_outbox);
    return true;
}

bool VizServer::start()
{
    if (!m_service && !open())
        return false;
    m_dispatcher = std::make_unique<CallDispatcher>(*m_service);
    HttpSettings settings;
    settings.host = m_config.listen_host;
    settings.port = m_config.listen_port;
    settings.base_path = m_config.base_path;
    settings.threads = m_config.threads;
    m_http = std::make_unique<HttpServer>(settings, *m_dispatcher);
    if (!m_http->start()) {
        m_error = m_http->error();
        m_http.reset();
        return false;
    }
    return true;
}

void VizServer::stop()
{
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

} // namespace corvane::server
