#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

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
            Process instance;
            if (!start_instance(i, instance)) {
                stop();
                return false;
            }
            m_instances.push_back(instance);
        }
        return start_proxy();
    }

    void stop()
    {
        end(m_proxy);
        for (Process& instance : m_instances)
            end(instance);
        m_instances.clear();
    }

    const std::string& error() const { return m_error; }
    const std::string& database() const { return m_options.database; }
    int port() const { return m_proxy.port; } // the proxy's
    int instances() const { return int(m_instances.size()); }
    int instance_port(int i) const { return m_instances[std::size_t(i)].port; }
    pid_t instance_pid(int i) const { return m_instances[std::size_t(i)].pid; }
    pid_t proxy_pid() const { return m_proxy.pid; }
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
    struct Process {
        pid_t pid { -1 };
        int port { 0 };
    };

    std::string instance_folder(int i) const
    {
        return m_options.folder + "/instance-" + std::to_string(i);
    }

    bool start_instance(int i, Process& instance)
    {
        std::error_code ignored;
        std::filesystem::create_directories(outbox(i), ignored);
        // Every call comes from the proxy: no per-address connection limit, and the client's
        // own address from X-Forwarded-For for the login throttle.
        std::vector<std::string> args { m_options.vizserver, "--listen", "127.0.0.1:0", "--db",
            m_options.database, "--log", log_file(i), "--outbox", outbox(i),
            "--max-connections-per-address", "0", "--trusted-proxy", "127.0.0.1" };
        args.insert(args.end(), m_options.extra.begin(), m_options.extra.end());
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return fail("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        bool spawned = spawn(args, &actions, instance.pid);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (spawned && line.find('\n') == std::string::npos
            && std::chrono::steady_clock::now() < deadline) {
            pollfd ready { out[0], POLLIN, 0 };
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            char buffer[256];
            ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, std::size_t(n));
        }
        ::close(out[0]);
        std::size_t at = line.find("port ");
        if (at == std::string::npos) {
            end(instance);
            return fail("instance " + std::to_string(i) + " did not start; see " + log_file(i));
        }
        instance.port = std::atoi(line.c_str() + at + 5);
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
            for (std::size_t i = 0; i < m_instances.size(); ++i)
                config << "  server s" << i << " 127.0.0.1:" << m_instances[i].port << "\n";
        }
        // A configuration the proxy refuses is found by its own check, before it runs.
        pid_t checker = -1;
        int checked = -1;
        if (spawn({ "haproxy", "-c", "-q", "-f", config_file }, nullptr, checker))
            (void)::waitpid(checker, &checked, 0);
        bool spawned = checked == 0
            && spawn({ "haproxy", "-q", "-db", "-f", config_file }, nullptr, m_proxy.pid);
        ::close(listener);
        if (checker < 0)
            return fail("haproxy could not be started (is it installed?)");
        if (!spawned)
            return fail("haproxy refused " + config_file);
        m_proxy.port = ntohs(address.sin_port);
        return true;
    }

    bool spawn(std::vector<std::string> args, const posix_spawn_file_actions_t* actions, pid_t& pid)
    {
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        return ::posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), environ) == 0;
    }

    static void end(Process& process)
    {
        if (process.pid <= 0)
            return;
        ::kill(process.pid, SIGTERM);
        ::waitpid(process.pid, nullptr, 0);
        process.pid = -1;
    }

    bool fail(std::string reason)
    {
        m_error = std::move(reason);
        return false;
    }

    Options m_options;
    std::vector<Process> m_instances;
    Process m_proxy;
    std::string m_error;
};

} // namespace corvane::server::testing
