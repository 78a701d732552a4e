#include "bench/load/LoadTargets.h"
#include "bench/load/LoadData.h"

#include "server/SqliteStorage.h"
#include "server/UserView.h"
#include "server/testing/LoopbackClient.h"

#include "common/base/Text.h"
#include "common/records/WireValues.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace corvane::load {

namespace {

    using server::testing::LoopbackClient;

    std::string body_of(const std::optional<RemoteCall>& call)
    {
        return call
            ? std::string(reinterpret_cast<const char*>(call->body.data()), call->body.size())
            : std::string();
    }

    // One call whose reply must be a result; the reader is left at the reply's values.
    bool call(LoopbackClient& http, const std::string& body, ReplyReader& reader)
    {
        auto response = http.post("/service", body);
        return response && response->status == 200 && reader.parse(std::string_view(response->body))
            && !reader.is_exception();
    }

    pid_t start_server(const std::string& program, const std::string& database, int& port)
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return -1;
        pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(ends[1], 1);
            ::close(ends[0]);
            const char* argv[] = { program.c_str(), "--listen", "127.0.0.1:0", "--db",
                database.c_str(), "--quiet", "--no-throttle", "--password-cost", "cheap", nullptr };
            ::execv(program.c_str(), const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::close(ends[1]);
        std::string line;
        char c;
        while (::read(ends[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(ends[0]);
        std::size_t at = line.rfind(' ');
        port = at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 1);
        return pid;
    }

    bool log_in(int port, const char* account, LoadAccount& out)
    {
        ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1/" });
        LoopbackClient http(port);
        ReplyReader reader;
        if (!call(http, body_of(calls.authenticate(from_utf8(account), from_utf8(load_password))),
                reader))
            return false;
        WString key(reader.load_string());
        if (!call(http, body_of(calls.authenticate(key)), reader) || !out.auth.load(reader))
            return false;
        return call(
                   http, body_of(calls.getFilteredChildren(out.auth.session, Filter {}, 0)), reader)
            && load_vector(reader, out.projects);
    }

    std::vector<VizTask> children(int port, const LoadAccount& account, int parent)
    {
        ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1/" });
        LoopbackClient http(port);
        ReplyReader reader;
        std::vector<VizTask> tasks;
        if (!call(http, body_of(calls.getFilteredChildren(account.auth.session, Filter {}, parent)),
                reader)
            || !load_vector(reader, tasks))
            tasks.clear();
        return tasks;
    }

    const VizTask* titled(const std::vector<VizTask>& tasks, WStringView title)
    {
        for (const VizTask& task : tasks)
            if (task.title == title)
                return &task;
        return nullptr;
    }

    // Cursors spread over the whole list of the project, in list order, read from the file.
    std::vector<Task> list_cursors(const std::string& database, int project_id, int count)
    {
        auto storage = server::SqliteStorage::open(database);
        auto transaction = storage->begin(server::TransactionKind::Read);
        std::vector<server::TaskRow> rows;
        for (server::TaskRow& row : transaction->project_tasks(project_id))
            if (row.parent_id != 0)
                rows.push_back(std::move(row));
        std::sort(rows.begin(), rows.end(), server::task_before);
        std::vector<Task> cursors;
        for (int i = 0; i < count && !rows.empty(); ++i) {
            const server::TaskRow& row
                = rows[std::size_t(i) * (rows.size() - 1) / std::size_t(count)];
            Task cursor;
            cursor.id = row.id;
            cursor.complete = row.complete;
            cursor.date = row.date;
            cursor.deadline = row.deadline;
            cursor.title = row.title;
            cursors.push_back(cursor);
        }
        return cursors;
    }

} // namespace

bool run_server_command(const std::string& program, std::vector<std::string> arguments)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv { const_cast<char*>(program.c_str()) };
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

std::vector<Task> big_list_cursors(const std::string& database, int count)
{
    int list_project = 0;
    {
        auto storage = server::SqliteStorage::open(database);
        auto transaction = storage->begin(server::TransactionKind::Read);
        std::optional<server::UserRow> user
            = transaction->find_user_by_account(from_utf8(reader_account));
        for (const server::VisibleProject& row : transaction->user_projects(user ? user->id : 0))
            if (row.project.title == list_project_title)
                list_project = row.project.id;
    }
    return list_cursors(database, list_project, count);
}

bool prepare(const std::string& program, Target& target)
{
    target.server = start_server(program, target.database, target.port);
    if (target.server < 0 || target.port == 0) {
        std::fprintf(
            stderr, "vizserver-load: could not start %s on %s\n", program.c_str(), target.engine);
        return false;
    }
    int port = target.port;
    if (!log_in(port, reader_account, target.reader)
        || !log_in(port, one_project_account, target.one)
        || !log_in(port, many_projects_account, target.many)) {
        std::fprintf(stderr, "vizserver-load: login failed on %s\n", target.engine);
        return false;
    }
    const VizTask* fresh_project = titled(target.reader.projects, u"Fresh project");
    const VizTask* history_project = titled(target.reader.projects, u"Project with a long history");
    const VizTask* list_project = titled(target.reader.projects, list_project_title);
    const VizTask* fresh_folder = fresh_project
        ? titled(children(port, target.reader, fresh_project->id), fresh_folder_title)
        : nullptr;
    const VizTask* history_folder = history_project
        ? titled(children(port, target.reader, history_project->id), history_folder_title)
        : nullptr;
    if (!list_project || !fresh_folder || !history_folder) {
        std::fprintf(stderr, "vizserver-load: the load database lacks a project or folder\n");
        return false;
    }
    target.list_project = list_project->id;
    target.fresh_folder = fresh_folder->id;
    target.history_folder = history_folder->id;
    std::vector<VizTask> fresh_tasks = children(port, target.reader, target.fresh_folder);
    std::vector<VizTask> history_tasks = children(port, target.reader, target.history_folder);
    const VizTask* hot = titled(history_tasks, hot_task_title);
    for (const VizTask& task : children(port, target.one, target.one.projects.front().id))
        target.one_folders.push_back(task.id);
    const VizTask* first_of_many = titled(target.many.projects, u"Project 0");
    for (const VizTask& task : children(port, target.many, first_of_many ? first_of_many->id : 0))
        target.many_folders.push_back(task.id);
    if (!hot || fresh_tasks.empty() || target.one_folders.empty() || target.many_folders.empty()) {
        std::fprintf(stderr, "vizserver-load: the load database is incomplete\n");
        return false;
    }
    target.fresh_task = fresh_tasks.front();
    target.hot = *hot;
    return true;
}

std::string postgresql_schema_uri(const std::string& base, const std::string& schema)
{
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-c%20search_path%3D"
        + schema;
}

} // namespace corvane::load
