#pragma once

#include "testing/ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace corvane::server::testing {

// Several real vizserver processes on one database behind a real haproxy that spreads single
// requests round robin, as a team that outgrew one machine would run them. The database is a
// file or a postgresql:// URI, the same for every instance; $CORVANE_CLUSTER_DB chooses it
// for tests (default: an SQLite file in the cluster's folder). For tests and the load program.
class ServiceCluster {
public:
    struct Options {
        std::string vizserver; // the program
        std::string folder; // logs, outboxes and the default database; the caller owns it
        std::string database; // empty: $CORVANE_CLUSTER_DB, else <folder>/service.db
        int instances { 2 };
        std::vector<std::string> extra; // more vizserver options, for every instance
        int proxy_connections { 2000 }; // haproxy's maxconn
    };

    explicit ServiceCluster(Options options)
        : m_options(std::move(options))
    {
        if (m_options.database.empty()) {
            const char* chosen = std::getenv("CORVANE_CLUSTER_DB");
            m_options.database
                = chosen && *chosen ? std::string(chosen) : m_options.folder + "/service.db";
        }
    }
    ~ServiceCluster() { stop(); }
    ServiceCluster(const ServiceCluster&) = delete;
    ServiceCluster& operator=(const ServiceCluster&) = delete;

    // Starts the instances one after another (the first creates the schema), then the proxy.
    // False, with the reason in error(), when any part did not come up.
    bool start()
    {
        for (int i = 0; i < m_options.instances; ++i) {
            if (!start_instance(i)) {
                stop();
                return false;
            }
        }
        return start_proxy();
    }

    // Ends the proxy, then the instances (each is sent SIGTERM and reaped).
    void stop()
    {
        m_proxy.reset();
        m_instances.clear();
        m_ports.clear();
    }

    const std::string& error() const { return m_error; }
    const std::string& database() const { return m_options.database; }
    int port() const { return m_proxy_port; }
    int instances() const { return int(m_instances.size()); }
    int instance_port(int i) const { return m_ports[std::size_t(i)]; }
    pid_t instance_pid(int i) const { return m_instances[std::size_t(i)]->pid(); }
    pid_t proxy_pid() const { return m_proxy ? m_proxy->pid() : -1; }
    std::string log_file(int i) const { return instance_folder(i) + "/service.log"; }
    std::string outbox(int i) const { return instance_folder(i) + "/outbox"; }

    // How many calls instance `i` has logged so far.
    int calls_logged(int i) const
    {
        std::ifstream log(log_file(i));
        std::string line;
        int calls = 0;
        while (std::getline(log, line))
            calls += line.find(" 127.0.0.1 ") != std::string::npos;
        return calls;
    }

private:
    std::string instance_folder(int i) const
    {
        return m_options.folder + "/instance-" + std::to_string(i);
    }

    bool start_instance(int i)
    {
        std::error_code ignored;
        std::filesystem::create_directories(outbox(i), ignored);
        // Every call comes from the proxy: no per-address connection limit, and the client's
        // own address from X-Forwarded-For for the login throttle.
        corvane::test::Launch launch;
        launch.arguments = { m_options.vizserver, "--listen", "127.0.0.1:0", "--db",
            m_options.database, "--log", log_file(i), "--outbox", outbox(i),
            "--max-connections-per-address", "0", "--trusted-proxy", "127.0.0.1" };
        launch.arguments.insert(
            launch.arguments.end(), m_options.extra.begin(), m_options.extra.end());
        launch.capture_output = true;
        auto instance = std::make_unique<corvane::test::ChildProcess>(std::move(launch));
        instance->read_output(
            [](const std::string& text) { return text.find('\n') != std::string::npos; },
            std::chrono::seconds(20));
        std::size_t at = instance->output().find("port ");
        if (at == std::string::npos)
            return fail("instance " + std::to_string(i) + " did not start; see " + log_file(i));
        m_ports.push_back(std::atoi(instance->output().c_str() + at + 5));
        m_instances.push_back(std::move(instance));
        return true;
    }

    // The proxy gets a socket already listening on a free port, so there is no port to guess
    // and no start-up to wait for: connections queue until it accepts them.
    bool start_proxy()
    {
        int listener = ::socket(AF_INET, SOCK_STREAM, 0); // inherited by the proxy
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0
            || ::listen(listener, 4096) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            if (listener >= 0)
                ::close(listener);
            return fail("no socket for the proxy");
        }
        std::string config_file = m_options.folder + "/haproxy.cfg";
        {
            std::ofstream config(config_file);
            config << "global\n  maxconn " << m_options.proxy_connections
                   << "\ndefaults\n  mode http\n  timeout connect 5s\n  timeout client 90s\n"
                      "  timeout server 90s\n"
                      // Every request is balanced on its own, not pinned to a connection.
                      "  option http-server-close\n  option forwardfor\n"
                      "frontend front\n  bind fd@"
                   << listener << "\n  default_backend instances\nbackend instances\n"
                   << "  balance roundrobin\n";
            for (std::size_t i = 0; i < m_ports.size(); ++i)
                config << "  server s" << i << " 127.0.0.1:" << m_ports[i] << "\n";
        }
        // A configuration the proxy refuses is found by its own check, before it runs.
        corvane::test::Launch proxy;
        proxy.arguments = { "haproxy", "-c", "-q", "-f", config_file };
        int checked = corvane::test::run_to_end(proxy);
        proxy.arguments = { "haproxy", "-q", "-db", "-f", config_file };
        if (checked == 0)
            m_proxy = std::make_unique<corvane::test::ChildProcess>(std::move(proxy));
        ::close(listener);
        if (checked < 0)
            return fail("haproxy could not be started (is it installed?)");
        if (!m_proxy || !m_proxy->started())
            return fail("haproxy refused " + config_file);
        m_proxy_port = ntohs(address.sin_port);
        return true;
    }

    bool fail(std::string reason)
    {
        m_error = std::move(reason);
        return false;
    }

    Options m_options;
    std::vector<std::unique_ptr<corvane::test::ChildProcess>> m_instances;
    std::vector<int> m_ports;
    std::unique_ptr<corvane::test::ChildProcess> m_proxy;
    int m_proxy_port { 0 };
    std::string m_error;
};

} // namespace corvane::server::testing
