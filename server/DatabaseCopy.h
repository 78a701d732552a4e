#pragma once

namespace corvane::server {

// "vizserver migrate --db URI|FILE": creates or upgrades the schema and says from which
// version. The exit status of the command.
int run_migrate_command(int argc, const char* const* argv);

// "vizserver copy --from FILE --to URI": copies every table of a SQLite database into an
// empty PostgreSQL database in one transaction, checks that each table holds as many rows
// on both sides, and commits only then; a target that holds anything is refused. The
// source is read on one snapshot, so a service may keep running on it (its later writes are
// not copied). The exit status of the command.
int run_copy_command(int argc, const char* const* argv);

} // namespace corvane::server
