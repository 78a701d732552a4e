#pragma once

#include <string>

namespace corvane::load {

struct LiveLoadOptions {
    std::string vizserver; // the program
    int seconds { 5 }; // per throughput phase
    int connections { 8 }; // per throughput phase
    int waiters { 10'000 }; // parked waitNews calls on one instance
    // Empty: an SQLite file of its own. Otherwise a postgresql:// URI naming an empty schema;
    // the database's processes are then a tier of their own in the throughput rows.
    std::string database;
};

// The rows of live updates and several instances, on a fresh database of their own: parked
// waitNews calls (memory per waiter, commit to the last waiter's reply), the time from one
// account's commit to another account's news, and one instance against two behind haproxy
// (throughput and processor time per call of each process). Answers the number of failures.
int run_live_rows(const LiveLoadOptions& options);

} // namespace corvane::load
