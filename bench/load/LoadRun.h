#pragma once

// A run of vizserver-load's rows on a copy of the load data: on SQLite and, when asked, on a
// PostgreSQL copy in a schema of its own, each row on one engine and then on the other.
#include "bench/load/LoadPhase.h"
#include "bench/load/LoadTargets.h"

#include "device/rpc/ServiceCalls.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane::load {

// A row's requests on one target: `make(target)(connection, n)` is the request to send.
using MakeRequest = std::function<std::string(int, long)>;
using MakeRow = std::function<MakeRequest(Target&)>;

// One row's figures on each engine, for the closing table.
struct Row {
    std::string name;
    bool reads;
    Phase on[2];
};

// The destructor stops the servers, deletes the SQLite copy and drops the schema.
class LoadRun {
public:
    LoadRun(const LoadOptions& options, std::string postgresql);
    ~LoadRun();
    LoadRun(const LoadRun&) = delete;
    LoadRun& operator=(const LoadRun&) = delete;

    // The copies, the servers and what the rows need; false with a message on failure.
    [[nodiscard]] bool set_up();

    // GET /health on each engine: the ceiling the other rows are a share of. Runs first.
    void measure_ceiling();
    // A row at the set number of connections and again on one.
    void measure(const char* name, bool reads, const MakeRow& make);
    // Two rows in turn, and the second's rate against the first's.
    void compare(const char* first_name, const MakeRow& first, const char* second_name,
        const MakeRow& second, bool reads, const char* goal);
    // PostgreSQL's rate against SQLite's, row by row, when both ran.
    void print_engine_table() const;

    const LoadOptions& options() const { return m_options; }
    // The calls of one connection; only that connection's thread uses it.
    ServiceCalls& writer(int connection) const { return *m_writers[std::size_t(connection)]; }
    // Cursors spread over the whole big list.
    const std::vector<Task>& cursors() const { return m_cursors; }
    int failures() const { return m_failures; }

private:
    [[nodiscard]] bool copy_to_postgresql();
    bool skipped(const std::string& name) const;
    void record(const std::string& name, bool reads, std::size_t engine, const Phase& phase);
    std::string label(const std::string& name, std::size_t engine) const;
    Phase run_on(std::size_t engine, int connections, const MakeRow& make);

    LoadOptions m_options;
    std::string m_postgresql; // Empty: SQLite only.
    std::string m_schema;
    std::string m_database; // The SQLite copy.
    std::vector<Target> m_targets;
    std::vector<Task> m_cursors;
    std::vector<std::unique_ptr<ServiceCalls>> m_writers; // One per connection.
    std::vector<double> m_ceilings;
    std::vector<Row> m_rows;
    int m_failures { 0 };
};

} // namespace corvane::load
