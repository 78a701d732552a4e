// vizserver-load: a load program for the task service. It builds a database once (folders of
// 200 tasks, one with 200,000 changes in its history, a project of 100,000 tasks, an owner of
// 1,000 projects), starts a real vizserver on a copy of it on loopback, and measures each
// call of interest for a fixed time over several kept-alive connections: requests per second,
// the 50th and 99th percentile latency, and the rate as a share of GET /health on the same
// server, the ceiling of the HTTP layer.
#include "bench/load/LiveLoad.h"
#include "bench/load/LoadData.h"
#include "bench/load/LoadRun.h"
#include "server/PgConnection.h"
#include "server/PgStorage.h"

#include "device/rpc/ServiceCalls.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace corvane;
using namespace corvane::load;

namespace {

// The live rows, on PostgreSQL in a schema of their own (dropped afterwards) when asked.
int run_live_rows(const LoadOptions& options, int waiters, const std::string& postgresql)
{
    LiveLoadOptions live { options.server, options.seconds, options.connections, waiters, {} };
    if (postgresql.empty())
        return load::run_live_rows(live);
    std::string schema = "vizserver_live_" + std::to_string(::getpid());
    try {
        server::PgConnection::open(postgresql)->execute(("CREATE SCHEMA " + schema).c_str());
        live.database = postgresql_schema_uri(postgresql, schema);
        int status = load::run_live_rows(live);
        server::PgConnection::open(postgresql)
            ->execute(("DROP SCHEMA " + schema + " CASCADE").c_str());
        return status;
    } catch (const server::StorageError& error) {
        std::fprintf(stderr, "vizserver-load: %s\n", error.what());
        return 1;
    }
}

// The rows' requests. Each connection's thread calls its maker with its own `c`.

// A Filter of its own for every request, so the reply cache never answers.
MakeRow uncached_children(LoadRun& run, LoadAccount Target::*account, int Target::*parent)
{
    return [&run, account, parent](Target& target) -> MakeRequest {
        return [&run, &target, account, parent](int c, long n) {
            Filter filter;
            filter.responsible = -2 - int(n * run.options().connections + c);
            return post_request(run.writer(c).getFilteredChildren(
                (target.*account).auth.session, filter, target.*parent));
        };
    };
}

MakeRow update(LoadRun& run, VizTask Target::*which)
{
    return [&run, which](Target& target) -> MakeRequest {
        return [&run, &target, which](int c, long) {
            VizTask task = target.*which;
            task.done = 1;
            task.plan = 0;
            return post_request(
                run.writer(c).updateTask(target.reader.auth.session, task, u"Progress note"));
        };
    };
}

// Pages that start at cursors all over the list, so no page is read twice in a row.
MakeRow list_pages(LoadRun& run)
{
    return [&run](Target& target) -> MakeRequest {
        return [&run, &target](int c, long n) {
            const Task& cursor = run.cursors()[std::size_t(n * 7 + c) % run.cursors().size()];
            return post_request(run.writer(c).getFilteredList(
                target.reader.auth.session, Filter {}, target.list_project, cursor, 25, u""));
        };
    };
}

MakeRow uncached_root_list(LoadRun& run)
{
    return [&run](Target& target) -> MakeRequest {
        return [&run, &target](int c, long n) {
            Filter filter;
            filter.responsible = -2 - int(n * run.options().connections + c);
            return post_request(
                run.writer(c).getFilteredChildren(target.many.auth.session, filter, 0));
        };
    };
}

MakeRow create(LoadRun& run, LoadAccount Target::*account, std::vector<int> Target::*folders)
{
    return [&run, account, folders](Target& target) -> MakeRequest {
        return [&run, &target, account, folders](int c, long n) {
            const std::vector<int>& mine = target.*folders;
            VizTask task;
            task.id = -1;
            task.parentId = mine[std::size_t(n * run.options().connections + c) % mine.size()];
            task.title = u"New task";
            task.responsibleId = (target.*account).auth.userId;
            return post_request(
                run.writer(c).createTask((target.*account).auth.session, task, u""));
        };
    };
}

// The command line.
struct Arguments {
    LoadOptions load;
    std::string postgresql;
    bool live { false };
    int waiters { LiveLoadOptions {}.waiters };
};

// Answers the program's exit status when it is to stop here (help, or a bad option).
std::optional<int> parse_arguments(int argc, char** argv, Arguments& out)
{
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    out.load.server = (folder / "vizserver").string();
    out.load.data = (folder / "vizserver-load-data.db").string();
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--seconds")
            out.load.seconds = std::max(1, std::atoi(value.c_str())), ++i;
        else if (option == "--connections")
            out.load.connections = std::max(1, std::atoi(value.c_str())), ++i;
        else if (option == "--server")
            out.load.server = value, ++i;
        else if (option == "--data")
            out.load.data = value, ++i;
        else if (option == "--only")
            out.load.only = value, ++i;
        else if (option == "--postgresql" && server::is_postgresql_uri(value))
            out.postgresql = value, ++i;
        else if (option == "--live")
            out.live = true;
        else if (option == "--waiters")
            out.waiters = std::max(1, std::atoi(value.c_str())), ++i;
        else {
            std::printf("usage: vizserver-load [--seconds N] [--connections N] [--server PATH] "
                        "[--data FILE] [--only TEXT] [--postgresql URI]\n"
                        "       vizserver-load --live [--waiters N] [--seconds N] "
                        "[--connections N] [--server PATH] [--postgresql URI]\n");
            return option == "--help" ? 0 : 2;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (std::optional<int> status = parse_arguments(argc, argv, arguments))
        return *status;
    // Live updates and several instances: a small database of their own, no load data.
    if (arguments.live)
        return run_live_rows(arguments.load, arguments.waiters, arguments.postgresql);
    if (!ensure_load_data(arguments.load.data)) {
        std::fprintf(stderr, "vizserver-load: the load database could not be built\n");
        return 1;
    }
    LoadRun run(arguments.load, arguments.postgresql);
    if (!run.set_up())
        return 1;
    std::printf("vizserver-load: %d connections, %d s per phase; rate, share of GET /health, "
                "latency\n",
        arguments.load.connections, arguments.load.seconds);
    run.measure_ceiling();
    run.compare("getFilteredChildren, 200 tasks, uncached",
        uncached_children(run, &Target::reader, &Target::fresh_folder),
        "  the same after 200,000 changes",
        uncached_children(run, &Target::reader, &Target::history_folder), true, ">= 0.8");
    run.compare("updateTask with a comment, one fresh task", update(run, &Target::fresh_task),
        "  the same after 200,000 changes", update(run, &Target::hot), false, ">= 0.8");
    run.measure("getFilteredList, 25 of 100,000, pages all over", true, list_pages(run));
    run.measure("root list of an owner of 1,000 projects, uncached", true, uncached_root_list(run));
    run.compare("createTask, owner of 1 project", create(run, &Target::one, &Target::one_folders),
        "createTask, owner of 1,000 projects", create(run, &Target::many, &Target::many_folders),
        false, "0.8 to 1.2");
    run.print_engine_table();
    return run.failures() == 0 ? 0 : 1;
}
