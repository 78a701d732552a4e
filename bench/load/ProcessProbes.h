#pragma once

#include <sys/types.h>

namespace corvane::load {

// Processor time (user and system, seconds) and resident memory of processes, read from /proc,
// for the per-tier costs the load rows print.
double cpu_seconds(pid_t pid);
double own_cpu_seconds();
long rss_kb(pid_t pid);
// Every PostgreSQL server process on this machine, with the backends that have already ended
// (their time is added to the postmaster's waited-for children): the database tier's cost.
double postgresql_cpu_seconds();

} // namespace corvane::load
