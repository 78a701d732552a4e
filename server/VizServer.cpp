#include "server/VizServer.h"

#include "server/CallDispatcher.h"
#include "server/HttpServer.h"
#include "server/PasswordHasher.h"
#include "server/Secrets.h"
#include "server/ServerLog.h"
#include "server/Service.h"
#include "server/ServiceClock.h"
#include "server/SqliteStorage.h"
#include "server/SqliteTransaction.h"
#include "server/TicketOutbox.h"

#include "device/platform/Platform.h"

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace corvane::server {

namespace {

    class MemorySettings final : public SettingsStore {
    public:
        bool ensure_key(const std::u16string&) override { return true; }
        std::optional<Value> read(const std::u16string& key, const std::u16string& name) override
        {
            std::lock_guard lock(m_lock);
            auto found = m_values.find(key + u"\\" + name);
            if (found == m_values.end())
                return std::nullopt;
            return found->second;
        }
        bool write(
            const std::u16string& key, const std::u16string& name, const Value& value) override
        {
            std::lock_guard lock(m_lock);
            m_values[key + u"\\" + name] = value;
            return true;
        }

    private:
        std::mutex m_lock;
        std::map<std::u16string, Value> m_values;
    };

} // namespace

void install_service_platform()
{
    static std::mutex lock;
    std::lock_guard guard(lock);
    if (!platform().settings) // Leaked on purpose: loggers may run during static teardown.
        platform().settings = std::make_unique<MemorySettings>().release();
    install_default_platform();
}

VizServer::VizServer(ServiceConfig config)
    : m_config(std::move(config))
{
    install_service_platform();
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
    m_dispatcher = std::make_unique<CallDispatcher>(*m_service);
    m_dispatcher->metrics().set_session_probe([this]() -> std::optional<std::int64_t> {
        try {
            SqliteTransaction transaction(*m_storage, TransactionKind::Read);
            return transaction.count_sessions();
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
