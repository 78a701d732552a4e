#pragma once

#include <sys/types.h>

namespace corvane::load {

// Processor time (user and system, seconds) and resident memory of processes, read from /proc,
// for the per-tier costs the load rows print.
double cpu_seconds(pid_t pid);
double own_cpu_seconds();
long rss_kb(pid_t pid);
pid_t parent_of(pid_t pid);
// A database server and every process it started, with those that have already ended (their
// time is added to the server's waited-for children): the database tier's cost.
double server_tree_cpu_seconds(pid_t server);

} // namespace corvane::load
