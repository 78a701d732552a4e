#include "server/Backup.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace corvane::server {

namespace {

    struct CloseDatabase {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };
    using Database = std::unique_ptr<sqlite3, CloseDatabase>;

    Database open_database(const std::string& path, int flags, std::string& error)
    {
        sqlite3* handle = nullptr;
        int result = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
        Database db(handle);
        if (result != SQLITE_OK) {
            error = path + ": " + (handle ? sqlite3_errmsg(handle) : sqlite3_errstr(result));
            return nullptr;
        }
        sqlite3_busy_timeout(handle, 10000);
        return db;
    }

    bool is_intact(sqlite3* db)
    {
        sqlite3_stmt* statement = nullptr;
        bool ok
            = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW
            && std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))
                == "ok";
        sqlite3_finalize(statement);
        return ok;
    }

    bool copy_into(sqlite3* from, const std::string& partial, std::string& error)
    {
        // Created owner-only before SQLite opens it: the copy holds every account's data.
        int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = partial + ": cannot create (" + std::strerror(errno) + ")";
            return false;
        }
        ::close(fd);
        Database to = open_database(partial, SQLITE_OPEN_READWRITE, error);
        if (!to)
            return false;
        sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from, "main");
        if (!backup) {
            error = partial + ": " + sqlite3_errmsg(to.get());
            return false;
        }
        // All pages in one step: one snapshot, so the copy is consistent however busy the
        // writers are (page batches would restart each time another connection writes).
        int result = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (result != SQLITE_DONE) {
            // The system's reason ("No space left on device") says more than SQLite's.
            int system_error = sqlite3_system_errno(to.get());
            error = partial + ": "
                + (system_error ? std::strerror(system_error) : sqlite3_errstr(result));
            return false;
        }
        // The copy stands alone: no write-ahead log beside it to lose in the rename.
        if (sqlite3_exec(to.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr)
                != SQLITE_OK
            || !is_intact(to.get())) {
            error = partial + ": the copy does not pass its integrity check ("
                + sqlite3_errmsg(to.get()) + ")";
            return false;
        }
        return true;
    }

    void sync_folder(const std::string& file)
    {
        std::string folder = std::filesystem::path(file).parent_path().string();
        int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

} // namespace

bool backup_database(const std::string& source, const std::string& target, std::string& error)
{
    // Read-only and without creating: a mistyped source is an error, never a new empty file.
    Database from = open_database(source, SQLITE_OPEN_READONLY, error);
    if (!from)
        return false;
    std::string partial = target + ".partial";
    bool copied = copy_into(from.get(), partial, error);
    if (copied && std::rename(partial.c_str(), target.c_str()) != 0) {
        error = target + ": cannot replace (" + std::strerror(errno) + ")";
        copied = false;
    }
    if (!copied) {
        std::remove(partial.c_str());
        std::remove((partial + "-journal").c_str());
        return false;
    }
    sync_folder(target);
    return true;
}

int run_backup_command(int argc, const char* const* argv)
{
    std::string source, target;
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        if ((option == "--db" || option == "--to") && i + 1 < argc) {
            (option == "--db" ? source : target) = argv[++i];
        } else {
            std::fprintf(
                stderr, "vizserver: backup: unknown or incomplete option %s\n", option.c_str());
            return 2;
        }
    }
    if (source.empty() || target.empty()) {
        std::fprintf(stderr, "vizserver: backup needs --db FILE and --to FILE\n");
        return 2;
    }
    if (source.starts_with("postgresql://") || source.starts_with("postgres://")) {
        std::fprintf(stderr,
            "vizserver: backup copies SQLite files; back up a PostgreSQL database with pg_dump\n");
        return 2;
    }
    std::string error;
    if (!backup_database(source, target, error)) {
        std::fprintf(stderr, "vizserver: backup failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("vizserver: backed up %s to %s\n", source.c_str(), target.c_str());
    return 0;
}

} // namespace corvane::server
