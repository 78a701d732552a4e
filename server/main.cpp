#include "server/AdminCommands.h"
#include "server/Backup.h"
#include "server/CommandLine.h"
#include "server/DatabaseCopy.h"
#include "server/PgStorage.h"
#include "server/ServerLog.h"
#include "server/Service.h"
#include "server/VizServer.h"

#include "CorvaneVersion.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <pthread.h>
#include <string_view>
#include <sys/resource.h>

using namespace corvane::server;

int main(int argc, char** argv)
{
    // Replies of tens of kilobytes are built and freed on every pool thread. glibc would hand
    // that memory back after each call (madvise, then page faults and cross-CPU flushes on
    // the next one); keeping it costs a few megabytes and saves most of a read's time.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);

    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("vizserver %s\n", CORVANE_VERSION);
        return 0;
    }
    if (argc >= 2 && std::string_view(argv[1]) == "backup")
        return run_backup_command(argc, argv);
    if (argc >= 2 && std::string_view(argv[1]) == "migrate")
        return run_migrate_command(argc, argv);
    if (argc >= 2 && std::string_view(argv[1]) == "copy")
        return run_copy_command(argc, argv);
    CommandLine line = parse_command_line(argc, argv);
    if (line.help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }
    if (!line.error.empty()) {
        std::fprintf(stderr, "vizserver: %s (see --help)\n", line.error.c_str());
        return 2;
    }
    if (!line.config.log_file.empty() && !set_log_file(line.config.log_file)) {
        std::fprintf(stderr, "vizserver: cannot open log file %s\n", line.config.log_file.c_str());
        return 1;
    }
    set_log_quiet(line.config.quiet);

    // Signals are taken by sigwait below: block them before any thread starts, so none of the
    // listener's threads is interrupted by them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Every parked waitNews call holds a descriptor: the usual soft limit of 1024 would refuse
    // clients long before --max-connections does.
    rlimit files {};
    rlim_t wanted = rlim_t(line.config.connection_limit) + 64;
    if (line.subcommand.empty() && getrlimit(RLIMIT_NOFILE, &files) == 0
        && files.rlim_cur < wanted) {
        files.rlim_cur
            = files.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, files.rlim_max);
        if (setrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur < wanted)
            std::fprintf(stderr,
                "vizserver: only %lu open files allowed; --max-connections %u may not be reached\n",
                static_cast<unsigned long>(files.rlim_cur), line.config.connection_limit);
    }

    VizServer server(line.config);
    if (!server.open()) {
        std::fprintf(stderr, "vizserver: %s\n", server.error().c_str());
        return 1;
    }
    if (!line.subcommand.empty())
        return run_admin_command(server.service(), line.subcommand, line.arguments);
    if (line.config.demo) {
        std::string error;
        if (!seed_demo(server.service(), error)) {
            std::fprintf(stderr, "vizserver: demo data: %s\n", error.c_str());
            return 1;
        }
    }
    if (!server.start()) {
        std::fprintf(stderr, "vizserver: %s\n", server.error().c_str());
        return 1;
    }
    log_line("listening on " + line.config.listen_host + ":" + std::to_string(server.port())
        + " with database " + database_for_log(line.config.database));
    std::printf("vizserver listening on port %d\n", server.port());
    std::fflush(stdout);

    int received = 0;
    // SIGHUP: logrotate has moved the file away; continue in a new one under the same name.
    while (sigwait(&signals, &received) == 0 && received == SIGHUP) {
        if (line.config.log_file.empty())
            continue;
        if (set_log_file(line.config.log_file))
            log_line("SIGHUP: log reopened");
        else
            log_line(
                "SIGHUP: cannot reopen " + line.config.log_file + ", still writing the old file");
    }
    log_line(received == SIGINT ? "SIGINT: finishing calls in flight"
                                : "SIGTERM: finishing calls in flight");
    server.stop();
    log_line("stopped");
    return 0;
}
