#pragma once

// The services vizserver-load measures: a vizserver process on a copy of the load database
// (or on a PostgreSQL copy of it), the accounts logged in there and the ids the rows use.
#include "common/records/AuthInfo.h"
#include "common/records/Task.h"
#include "common/records/VizTask.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace corvane::load {

// A logged-in account on the server under load, with its projects.
struct LoadAccount {
    AuthInfo auth;
    std::vector<VizTask> projects;
};

// One engine under load: its server, the accounts logged in there and the ids the rows use.
// Both engines hold the same data with the same ids (the PostgreSQL one is a copy).
struct Target {
    Target(const char* engine, std::string database)
        : engine(engine)
        , database(std::move(database))
    {
    }
    const char* engine;
    std::string database;
    pid_t server { -1 };
    int port { 0 };
    LoadAccount reader, one, many;
    int fresh_folder { 0 }, history_folder { 0 }, list_project { 0 };
    VizTask fresh_task, hot;
    std::vector<int> one_folders, many_folders;
};

// Starts the service program on the target's database and finds what the rows need; false
// with a message on failure. The caller stops the server (target.server) in any case.
bool prepare(const std::string& program, Target& target);

// Runs the service program with `arguments` and waits for it; true when it exits with 0.
bool run_server_command(const std::string& program, std::vector<std::string> arguments);

// Cursors spread over the whole list of the big project, in list order, read from the SQLite
// file before any server opens it. Empty when the file lacks the project.
std::vector<Task> big_list_cursors(const std::string& database, int count);

// A fresh schema in the PostgreSQL database `base` names, as a URI that works in it.
std::string postgresql_schema_uri(const std::string& base, const std::string& schema);

} // namespace corvane::load
