#include "bench/load/LoadRun.h"

#include "server/PgConnection.h"
#include "server/Storage.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>

namespace corvane::load {

using Clock = std::chrono::steady_clock;

LoadRun::LoadRun(const LoadOptions& options, std::string postgresql)
    : m_options(options)
    , m_postgresql(std::move(postgresql))
    , m_schema("vizserver_load_" + std::to_string(::getpid()))
    , m_database((std::filesystem::temp_directory_path()
          / ("vizserver-load-" + std::to_string(::getpid()) + ".db"))
                     .string())
{
}

LoadRun::~LoadRun()
{
    for (Target& target : m_targets) {
        if (target.server > 0) {
            ::kill(target.server, SIGTERM);
            ::waitpid(target.server, nullptr, 0);
        }
    }
    for (const char* suffix : { "", "-wal", "-shm" })
        std::filesystem::remove(m_database + suffix);
    if (!m_postgresql.empty()) {
        try {
            server::PgConnection::open(m_postgresql)
                ->execute(("DROP SCHEMA IF EXISTS " + m_schema + " CASCADE").c_str());
        } catch (const server::StorageError& error) {
            std::fprintf(stderr, "vizserver-load: %s\n", error.what());
        }
    }
}

bool LoadRun::set_up()
{
    // Every run measures a copy, so the calls that write leave the built file as it was.
    std::filesystem::copy_file(
        m_options.data, m_database, std::filesystem::copy_options::overwrite_existing);
    m_targets.emplace_back("SQLite", m_database);
    if (!m_postgresql.empty() && !copy_to_postgresql())
        return false;
    // Read before the servers open the copy.
    m_cursors = big_list_cursors(m_database, 64);
    if (m_cursors.empty()) {
        std::fprintf(stderr, "vizserver-load: the load database lacks the big list\n");
        return false;
    }
    for (Target& target : m_targets)
        if (!prepare(m_options.server, target))
            return false;
    for (int c = 0; c < m_options.connections; ++c)
        m_writers.push_back(
            std::make_unique<ServiceCalls>(ServiceIdentity { u"http://127.0.0.1/" }));
    m_ceilings.assign(m_targets.size(), 0.0);
    return true;
}

// The copy is made before any server writes to the file, so both start equal.
bool LoadRun::copy_to_postgresql()
{
    try {
        server::PgConnection::open(m_postgresql)->execute(("CREATE SCHEMA " + m_schema).c_str());
    } catch (const server::StorageError& error) {
        std::fprintf(stderr, "vizserver-load: %s\n", error.what());
        m_postgresql.clear(); // Nothing to drop.
        return false;
    }
    std::string uri = postgresql_schema_uri(m_postgresql, m_schema);
    Clock::time_point started = Clock::now();
    if (!run_server_command(m_options.server, { "copy", "--from", m_database, "--to", uri })) {
        std::fprintf(stderr, "vizserver-load: the load data could not be copied\n");
        return false;
    }
    std::printf("vizserver-load: copied the load data into PostgreSQL in %.1f s\n",
        std::chrono::duration<double>(Clock::now() - started).count());
    // The copy leaves a few hundred megabytes of pages to write out. Written now, they do not
    // fall on whichever row happens to run first.
    try {
        server::PgConnection::open(m_postgresql)->execute("CHECKPOINT");
    } catch (const server::StorageError& error) {
        std::fprintf(stderr,
            "vizserver-load: no checkpoint after the copy, so the first rows "
            "may run slower: %s\n",
            error.what());
    }
    m_targets.emplace_back("PostgreSQL", uri);
    return true;
}

bool LoadRun::skipped(const std::string& name) const
{
    return !m_options.only.empty() && name.find(m_options.only) == std::string::npos;
}

void LoadRun::record(const std::string& name, bool reads, std::size_t engine, const Phase& phase)
{
    auto found = std::find_if(
        m_rows.begin(), m_rows.end(), [&](const Row& row) { return row.name == name; });
    if (found == m_rows.end())
        found = m_rows.insert(m_rows.end(), Row { name, reads, {} });
    found->on[engine] = phase;
}

std::string LoadRun::label(const std::string& name, std::size_t engine) const
{
    return m_targets.size() > 1 ? name + " [" + m_targets[engine].engine + "]" : name;
}

// Each row runs on one engine and then on the other, so a neighbour's load on this shared
// machine falls on both alike.
Phase LoadRun::run_on(std::size_t engine, int connections, const MakeRow& make)
{
    LoadOptions here = m_options;
    here.port = m_targets[engine].port;
    here.connections = connections;
    return run_phase(here, make(m_targets[engine]));
}

void LoadRun::measure_ceiling()
{
    const std::string health = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (std::size_t engine = 0; engine < m_targets.size(); ++engine) {
        Phase phase = run_on(engine, m_options.connections,
            [&](Target&) { return [&](int, long) { return health; }; });
        print(label("GET /health (the ceiling)", engine).c_str(), phase, 0);
        record("GET /health (the ceiling)", true, engine, phase);
        m_failures += int(phase.failures);
        m_ceilings[engine] = phase.requests_per_second;
    }
}

// Latency goals are for one call at a time; these rows also run on one connection. With two
// engines, each runs twice in turn and keeps its better run, as in compare().
void LoadRun::measure(const char* name, bool reads, const MakeRow& make)
{
    if (skipped(name))
        return;
    int runs = m_targets.size() > 1 ? 2 : 1;
    for (int connections : { m_options.connections, 1 }) {
        std::string row = connections == 1 ? std::string(name) + ", one connection" : name;
        std::vector<Phase> best(m_targets.size());
        for (int run = 0; run < runs; ++run) {
            for (std::size_t engine = 0; engine < m_targets.size(); ++engine) {
                Phase phase = run_on(engine, connections, make);
                m_failures += int(phase.failures);
                if (phase.requests_per_second > best[engine].requests_per_second)
                    best[engine] = phase;
            }
        }
        for (std::size_t engine = 0; engine < m_targets.size(); ++engine) {
            print(label(row, engine).c_str(), best[engine], m_ceilings[engine]);
            record(row, reads, engine, best[engine]);
        }
    }
}

// The two rows of a comparison run in turn twice and each keeps its better run, so a
// neighbour's load or the write-ahead log's growth does not decide the ratio.
void LoadRun::compare(const char* first_name, const MakeRow& first, const char* second_name,
    const MakeRow& second, bool reads, const char* goal)
{
    if (skipped(first_name) && skipped(second_name))
        return;
    for (std::size_t engine = 0; engine < m_targets.size(); ++engine) {
        Phase a = run_on(engine, m_options.connections, first);
        Phase b = run_on(engine, m_options.connections, second);
        Phase a2 = run_on(engine, m_options.connections, first);
        Phase b2 = run_on(engine, m_options.connections, second);
        m_failures += int(a.failures + a2.failures + b.failures + b2.failures);
        if (a2.requests_per_second > a.requests_per_second)
            a = a2;
        if (b2.requests_per_second > b.requests_per_second)
            b = b2;
        print(label(first_name, engine).c_str(), a, m_ceilings[engine]);
        print(label(second_name, engine).c_str(), b, m_ceilings[engine]);
        std::printf("%-64s %8.2f (goal %s)\n", "    ratio",
            b.requests_per_second / std::max(1.0, a.requests_per_second), goal);
        record(first_name, reads, engine, a);
        // "  the same ..." names a variant of the row before it.
        std::string variant = second_name;
        if (variant.starts_with("  "))
            variant = std::string(first_name) + ";" + variant.substr(1);
        record(variant, reads, engine, b);
    }
}

void LoadRun::print_engine_table() const
{
    if (m_targets.size() < 2)
        return;
    std::printf("\nPostgreSQL against SQLite, same run (requests per second; reads: goal >= "
                "0.5)\n%-52s %10s %12s %7s\n",
        "row", "SQLite", "PostgreSQL", "ratio");
    for (const Row& row : m_rows) {
        double ratio = row.on[1].requests_per_second / std::max(1.0, row.on[0].requests_per_second);
        std::printf("%-52s %10.0f %12.0f %7.2f%s\n", row.name.c_str(),
            row.on[0].requests_per_second, row.on[1].requests_per_second, ratio,
            row.reads && ratio < 0.5 ? "  below the goal" : "");
    }
}

} // namespace corvane::load
