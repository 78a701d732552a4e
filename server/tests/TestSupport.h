#pragma once

#include "server/PgConnection.h"
#include "server/Service.h"
#include "server/ServiceClock.h"
#include "server/VizServer.h"
#include "server/testing/LoopbackClient.h"

#include "common/records/AuthInfo.h"
#include "common/records/Change.h"
#include "common/records/FilteredNews.h"
#include "common/records/Task.h"
#include "common/records/User.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "common/records/WireValues.h"
#include "device/core/testing/TempFolder.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"
#include "testing/ChildProcess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane::server::test {

using corvane::test::TempFolder;
using corvane::test::wait_until;
using Clock = std::chrono::steady_clock;

// The suite runs on SQLite, and once more on PostgreSQL when CORVANE_TEST_POSTGRESQL names a
// database (a libpq URI; "postgresql://" takes the PG* variables). There every database a
// test names becomes its own schema, new for ":memory:", the same again for the same file.
inline const char* postgresql_under_test()
{
    const char* uri = std::getenv("CORVANE_TEST_POSTGRESQL");
    return uri && *uri ? uri : nullptr;
}

inline std::string test_database(const std::string& database)
{
    const char* base = postgresql_under_test();
    if (!base)
        return database;
    static std::map<std::string, std::string> s_schemas;
    static int s_next = 0;
    bool fresh = database == ":memory:" || database.empty();
    auto found = s_schemas.find(database);
    if (!fresh && found != s_schemas.end())
        return found->second;
    std::string schema = "t" + std::to_string(::getpid()) + "_" + std::to_string(++s_next);
    PgConnection::open(base)->execute(("CREATE SCHEMA " + schema).c_str());
    std::string uri = std::string(base)
        + (std::string(base).find('?') == std::string::npos ? "?" : "&")
        + "options=-c%20search_path%3D" + schema;
    if (!fresh)
        s_schemas[database] = uri;
    return uri;
}

inline ServiceConfig test_config(std::string database = ":memory:")
{
    database = test_database(database);
    ServiceConfig config;
    config.listen_host = "127.0.0.1";
    config.listen_port = 0;
    config.database = std::move(database);
    config.password_cost = PasswordCost::cheap();
    config.throttling = false;
    config.quiet = true;
    config.threads = 4;
    config.test_clock_start = 1'800'000'000'000; // Frozen: tests move time themselves.
    return config;
}

// The real server with its listener on a free loopback port.
class RunningServer {
public:
    explicit RunningServer(ServiceConfig config = test_config())
        : m_server(std::make_unique<VizServer>(std::move(config)))
    {
        if (!m_server->start())
            ADD_FAILURE() << "server did not start: " << m_server->error();
    }
    int port() const { return m_server->port(); }
    VizServer& server() { return *m_server; }
    Service& service() { return m_server->service(); }
    void advance(std::int64_t ms) { m_server->clock().advance(ms); }

private:
    std::unique_ptr<VizServer> m_server;
};

// A client speaking to the server as the device program does: the client's own call writer
// and reply reader over HTTP. After each call, `status` is the HTTP status and `error` the
// VIZException key ("" when none).
class RpcClient {
public:
    explicit RpcClient(int port)
        : m_calls(ServiceIdentity { u"http://127.0.0.1:" + to_wstring(port) + u"/" })
        , m_http(port)
    {
    }

    std::string idempotency_key; // sent with every call while not empty
    int status { 0 };
    WString error;
    std::string body;
    WString session;
    AuthInfo auth;

    // Sends the call and parses the reply; false when there is nothing to read a result from.
    bool send(std::optional<RemoteCall> call)
    {
        status = 0;
        error.clear();
        body.clear();
        if (!call) {
            ADD_FAILURE() << "the call could not be written";
            return false;
        }
        std::string bytes(reinterpret_cast<const char*>(call->body.data()), call->body.size());
        std::string extra;
        if (!idempotency_key.empty())
            extra = "Idempotency-Key: \"" + idempotency_key + "\"\r\n";
        std::optional<testing::LoopbackClient::Response> response
            = m_http.post("/service", bytes, "text/x-gwt-rpc; charset=utf-8", extra);
        if (!response)
            return false;
        status = response->status;
        body = response->body;
        if (status != 200)
            return false;
        if (!m_reader.parse(std::string_view(body))) {
            ADD_FAILURE() << "reply does not parse: " << body;
            return false;
        }
        if (m_reader.is_exception()) {
            VIZException exception;
            if (!exception.load(m_reader))
                ADD_FAILURE() << "exception does not read: " << body;
            error = exception.key;
            return false;
        }
        return true;
    }

    ReplyReader& reader() { return m_reader; }
    ServiceCalls& calls() { return m_calls; }

    WString text_reply(std::optional<RemoteCall> call)
    {
        return send(std::move(call)) ? WString(m_reader.load_string()) : WString();
    }
    WString login(WStringView email, WStringView password)
    {
        return text_reply(m_calls.authenticate(email, password));
    }
    WString register_user(WStringView email, WStringView password, WStringView name)
    {
        return text_reply(m_calls.registerUser(email, password, name));
    }
    bool open_session(WStringView login_key)
    {
        AuthInfo info;
        if (!send(m_calls.authenticate(login_key)) || !info.load(m_reader))
            return false;
        auth = info;
        session = info.session;
        return true;
    }
    // Registers and logs in; the account is "<name>@example.org".
    bool sign_up(const std::string& name)
    {
        WString key = register_user(
            from_utf8(name + "@example.org"), u"secret-" + from_utf8(name), from_utf8(name));
        m_login_key = key;
        return !key.empty() && open_session(key);
    }
    const WString& login_key() const { return m_login_key; }
    int user_id() const { return auth.userId; }

    std::vector<VizTask> children(int parent, const Filter& filter = {})
    {
        return vector_reply<VizTask>(m_calls.getFilteredChildren(session, filter, parent));
    }
    std::vector<VizTask> load(int id, const Filter& filter = {})
    {
        return vector_reply<VizTask>(m_calls.loadTask(session, filter, id));
    }
    template<typename T> std::vector<T> vector_reply(std::optional<RemoteCall> call)
    {
        std::vector<T> list;
        if (send(std::move(call)) && !load_vector(m_reader, list))
            ADD_FAILURE() << "vector does not read: " << body;
        return list;
    }
    template<typename T> T record_reply(std::optional<RemoteCall> call)
    {
        T record;
        if (send(std::move(call)) && !record.load(m_reader))
            ADD_FAILURE() << "record does not read: " << body;
        return record;
    }
    VizTask create(
        int parent, WStringView title, WStringView comment = u"", int done = 0, int plan = 0)
    {
        VizTask task;
        task.id = -1;
        task.parentId = parent;
        task.title = WString(title);
        task.responsibleId = auth.userId;
        task.done = done;
        task.plan = plan;
        return record_reply<VizTask>(m_calls.createTask(session, task, comment));
    }
    // Sends the task as edited: done and plan carry the differences.
    VizTask update(VizTask task, WStringView comment = u"", int done_delta = 0, int plan_delta = 0)
    {
        task.done = done_delta;
        task.plan = plan_delta;
        task.changes.clear();
        task.permissions.clear();
        return record_reply<VizTask>(m_calls.updateTask(session, task, comment));
    }
    int flag(std::optional<RemoteCall> call)
    {
        if (!send(std::move(call)))
            return -1;
        return m_reader.load_int();
    }
    int remove(int id) { return flag(m_calls.deleteTask(session, id)); }
    int share(int project, WStringView text, int level = 2)
    {
        return flag(m_calls.changePermission(session, project, text, level));
    }
    int activate(WStringView ticket) { return flag(m_calls.activateTicket(session, ticket)); }
    bool viewed(int id) { return send(m_calls.setViewed(session, id)) && m_reader.load_int() == 0; }
    std::vector<Change> changes(int task, int count, int position)
    {
        return vector_reply<Change>(m_calls.getChanges(session, task, count, position));
    }
    // Every change entry of a task, newest first, read page by page.
    std::vector<Change> history(int task)
    {
        std::vector<Change> all;
        for (int position = 1'000'000'000;;) {
            std::vector<Change> page = changes(task, 100, position);
            all.insert(all.end(), page.begin(), page.end());
            if (page.empty() || all.size() > 100'000)
                return all;
            position = page.back().changeId - 1;
        }
    }
    std::vector<User> users(const std::vector<std::int32_t>& ids)
    {
        return vector_reply<User>(m_calls.getUsers(session, ids));
    }
    // News from the client's own cursor and stamp, which move on as the client's would.
    FilteredNews news(const Filter& filter = {})
    {
        auto news = record_reply<FilteredNews>(
            m_calls.getFilteredNews(session, filter, auth.newsCursor, auth.newsStamp));
        if (status == 200 && error.empty()) {
            auth.newsCursor = news.cursor;
            auth.newsStamp = news.stamp;
        }
        return news;
    }
    VizList list(int project, const Task& cursor, const WString& text = u"", int page_size = 25)
    {
        return record_reply<VizList>(
            m_calls.getFilteredList(session, Filter {}, project, cursor, page_size, text));
    }

private:
    ServiceCalls m_calls;
    testing::LoopbackClient m_http;
    ReplyReader m_reader;
    WString m_login_key;
};

// A request text from its elements, each followed by U+FFFF, as UTF-8.
inline std::string request_text(const std::vector<std::string>& elements)
{
    std::string text;
    for (const std::string& element : elements)
        text += element + "\xEF\xBF\xBF";
    return text;
}

inline const VizTask* find_task(const std::vector<VizTask>& tasks, int id)
{
    for (const VizTask& task : tasks)
        if (task.id == id)
            return &task;
    return nullptr;
}

inline const std::string strong_name = "3C9A1E77B0D24F6A8E15C2B9D07F4A63";
inline const std::string interface_name = "com.ulmar.viz.client.rpc.VIZService";

// A setViewed call (or, under another name, an unknown one) with session "s" and `id_token`.
inline std::string set_viewed_text(
    const std::string& id_token, const std::string& method = "setViewed")
{
    return request_text({ "3", "0", "7", "http://x/", strong_name, interface_name, method,
        "java.lang.String", "I", "s", "1", "2", "3", "4", "2", "5", "6", "7", id_token });
}

// The ticket in the mail to `address` in an outbox folder, or "" when there is none.
inline std::string ticket_in(const std::string& outbox, const std::string& address)
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(outbox, ignored)) {
        std::ifstream file(entry.path());
        std::string mail((std::istreambuf_iterator<char>(file)), {});
        std::size_t start = mail.find("--START-OF-TICKET--\r\n");
        std::size_t end = mail.find("\r\n--END-OF-TICKET--");
        if (mail.find("To: " + address + "\r\n") != std::string::npos && end != std::string::npos
            && start != std::string::npos)
            return mail.substr(start + 21, end - start - 21);
    }
    return {};
}

struct Outcome {
    int status { -1 };
    std::string output; // standard output, and standard error when asked for
};

// Runs the service program to its end with `arguments`.
inline Outcome run_vizserver(const std::vector<std::string>& arguments, bool with_errors = true)
{
    corvane::test::Launch launch;
    launch.arguments = { corvane::test::program_folder() + "/vizserver" };
    launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
    launch.error_file = with_errors ? "/dev/stdout" : "/dev/null";
    Outcome outcome;
    outcome.status = corvane::test::run_to_end(std::move(launch), &outcome.output);
    return outcome;
}

} // namespace corvane::server::test
