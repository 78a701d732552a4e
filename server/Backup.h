#pragma once

#include <string>

namespace corvane::server {

// Copies the database at `source` to `target` while the service keeps running and writing:
// SQLite's online backup takes one consistent snapshot (a read transaction, which in WAL mode
// holds no writer up). The copy is written owner-only beside the target and renamed over it
// only once complete and checked, so a failure (unwritable folder, full disk) leaves neither a
// half-written target nor any change to the source. False with a message naming the file.
[[nodiscard]] bool backup_database(
    const std::string& source, const std::string& target, std::string& error);

// "vizserver backup --db FILE --to FILE": the exit status of the command.
int run_backup_command(int argc, const char* const* argv);

} // namespace corvane::server
