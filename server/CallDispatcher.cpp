#include "server/CallDispatcher.h"

#include "server/IdempotencyScope.h"
#include "server/NewsWatcher.h"
#include "server/ServerLog.h"
#include "server/Service.h"
#include "server/WireParameters.h"

#include "common/base/Text.h"
#include "common/records/VIZException.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "common/wire/RequestReader.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <tuple>
#include <type_traits>
#include <vector>

namespace corvane::server {

namespace {

    double seconds_since(std::chrono::steady_clock::time_point started)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }

    constexpr WStringView interface_name = u"com.ulmar.viz.client.rpc.VIZService";
    constexpr std::int32_t max_parameters = 32;

    using Run = std::function<void(ReplyWriter&)>;

    // Reads the parameters of one method; nothing when they are malformed. The returned run
    // does the call and writes its result.
    using Parse = std::optional<Run> (*)(Service&, RpcReader&, const std::string& client);

    enum class Caching {
        None,
        Reply, // A heavy read whose reply may be served again while nothing changed.
        Wait, // waitNews: its reply may come much later, and is never cached.
    };

    struct Entry {
        WStringView method;
        std::initializer_list<WStringView> types;
        Parse parse;
        Caching caching { Caching::None };
        bool changes { false }; // a change call: its Idempotency-Key is honoured
    };

    constexpr WStringView S = u"java.lang.String";
    constexpr WStringView I = u"I";
    constexpr WStringView Z = u"Z";
    constexpr WStringView L = u"java.lang.Long";
    constexpr WStringView V = u"java.util.Vector";
    constexpr WStringView F = u"com.ulmar.viz.client.Filter";
    constexpr WStringView T = u"com.ulmar.viz.client.VizTask";

    WString text(RpcReader& reader)
    {
        return WString(reader.load_string());
    }

    bool boolean(RpcReader& reader, bool& out)
    {
        std::int32_t value = reader.load_int();
        out = value == 1;
        return value == 0 || value == 1;
    }

    bool read_value(RpcReader& reader, WString& out)
    {
        out = text(reader);
        return true;
    }
    bool read_value(RpcReader& reader, std::int32_t& out)
    {
        out = reader.load_int();
        return true;
    }
    bool read_value(RpcReader& reader, Filter& out)
    {
        return read_filter_parameter(reader, out);
    }
    bool read_value(RpcReader& reader, TaskEdit& out)
    {
        return read_task_parameter(reader, out);
    }
    bool read_value(RpcReader& reader, std::vector<std::int32_t>& out)
    {
        return load_int_vector(reader, out);
    }
    // The list's position as the client sends it: present, "matches the filter" (which the
    // service works out itself), complete, date, deadline, title and id.
    bool read_value(RpcReader& reader, ListCursor& out)
    {
        bool matches_filter = false;
        if (!boolean(reader, out.present) || !boolean(reader, matches_filter)
            || !boolean(reader, out.complete))
            return false;
        if (!load_long(reader, out.date) || !load_long(reader, out.deadline))
            return false;
        out.title = text(reader);
        out.id = reader.load_int();
        return true;
    }

    template<typename T> constexpr bool is_vector = false;
    template<typename T> constexpr bool is_vector<std::vector<T>> = true;

    template<typename Result> void write_result(ReplyWriter& writer, const Result& result)
    {
        if constexpr (std::is_same_v<Result, WString>)
            writer.save_string(result);
        else if constexpr (std::is_same_v<Result, std::int32_t>)
            writer.save_int(result);
        else if constexpr (is_vector<Result>)
            save_vector(writer, result);
        else
            result.save(writer);
    }

    // Reads the parameters in order (stopping at the first malformed one); the run calls the
    // method with them, and with the client's address when `with_client` says so, and writes
    // its result. A method without a result answers one 0: a reply without values does not
    // parse.
    template<auto method, bool with_client, typename... Params>
    std::optional<Run> call(Service& service, RpcReader& reader, const std::string& client)
    {
        std::tuple<Params...> params;
        bool read = std::apply(
            [&reader](Params&... values) { return (read_value(reader, values) && ...); }, params);
        if (!read)
            return std::nullopt;
        return Run([&service, params, client](ReplyWriter& writer) {
            auto invoke = [&service, &client](const Params&... values) {
                (void)client; // Only the log-in calls pass it on.
                if constexpr (with_client)
                    return (service.*method)(values..., client);
                else
                    return (service.*method)(values...);
            };
            using Result = decltype(std::apply(invoke, params));
            if constexpr (std::is_void_v<Result>) {
                std::apply(invoke, params);
                writer.save_int(0);
            } else {
                write_result(writer, std::apply(invoke, params));
            }
        });
    }

    template<auto method, typename... Params>
    constexpr Parse plain = &call<method, false, Params...>;
    template<auto method, typename... Params>
    constexpr Parse from_client = &call<method, true, Params...>;

    using Int = std::int32_t;
    using Ids = std::vector<std::int32_t>;

    const Entry s_catalogue[] = {
        { u"authenticate", { S, S }, from_client<&Service::authenticate, WString, WString> },
        { u"authenticate", { S }, plain<&Service::authenticate_key, WString> },
        { u"registerUser", { S, S, S },
            from_client<&Service::register_user, WString, WString, WString> },
        { u"getFilteredChildren", { S, F, I },
            plain<&Service::get_filtered_children, WString, Filter, Int>, Caching::Reply },
        { u"loadTask", { S, F, I }, plain<&Service::load_task, WString, Filter, Int>,
            Caching::Reply },
        { u"getFilteredNews", { S, F, I, I },
            plain<&Service::get_filtered_news, WString, Filter, Int, Int> },
        { u"waitNews", { S, I }, nullptr, Caching::Wait },
        { u"getChanges", { S, I, I, I }, plain<&Service::get_changes, WString, Int, Int, Int> },
        { u"updateTask", { S, T, S }, plain<&Service::update_task, WString, TaskEdit, WString>,
            Caching::None, true },
        { u"createTask", { S, T, S }, plain<&Service::create_task, WString, TaskEdit, WString>,
            Caching::None, true },
        { u"changePermission", { S, I, S, I },
            plain<&Service::change_permission, WString, Int, WString, Int>, Caching::None, true },
        { u"deleteTask", { S, I }, plain<&Service::delete_task, WString, Int>, Caching::None,
            true },
        { u"getUsers", { S, V }, plain<&Service::get_users, WString, Ids> },
        { u"activateTicket", { S, S }, plain<&Service::activate_ticket, WString, WString>,
            Caching::None, true },
        { u"setViewed", { S, I }, plain<&Service::set_viewed, WString, Int> },
        { u"getFilteredList", { S, F, I, Z, Z, Z, L, L, S, I, I, S },
            plain<&Service::get_filtered_list, WString, Filter, Int, ListCursor, Int, WString> },
    };

    const Entry* find_entry(WStringView method, const std::vector<WString>& types)
    {
        for (const Entry& entry : s_catalogue) {
            if (entry.method != method || entry.types.size() != types.size())
                continue;
            if (std::equal(entry.types.begin(), entry.types.end(), types.begin()))
                return &entry;
        }
        return nullptr;
    }

    HttpReply malformed(const RequestReader& reader, const char* fallback)
    {
        WStringView reason = reader.failure();
        return { 400,
            "malformed request: " + (reason.empty() ? std::string(fallback) : to_utf8(reason)) };
    }

    std::string int_reply(std::int32_t value)
    {
        ReplyWriter writer;
        writer.save_int(value);
        std::string body;
        writer.finish_utf8(body);
        return body;
    }

    HttpReply exception_reply(WStringView key)
    {
        ReplyWriter writer;
        VIZException { WString(key) }.save(writer);
        HttpReply reply;
        writer.finish_utf8(reply.body, ReplyOutcome::Exception);
        return reply;
    }

} // namespace

CallDispatcher::CallDispatcher(Service& service, NewsWatcher* watcher)
    : m_service(service)
    , m_watcher(watcher)
{
}

HttpReply CallDispatcher::handle_call(
    std::string_view body, const std::string& client_address, const CallHeaders& headers)
{
    auto started = std::chrono::steady_clock::now();
    std::string method = "?";
    std::string result = "ok";
    HttpReply reply;
    try {
        reply = dispatch(body, client_address, headers, method);
        if (reply.status == 400)
            result = "malformed";
    } catch (const ServiceException& error) {
        reply = exception_reply(error.key());
        m_metrics.record_call(method, "exception", seconds_since(started));
        method += " -> " + to_utf8(error.key());
        result.clear();
    } catch (const StorageError& error) {
        log_line(std::string("storage failure: ") + error.what());
        reply = { 500, "internal failure" };
        m_metrics.count_database_error();
        result = "failure";
    } catch (const std::exception& error) {
        log_line(std::string("internal failure: ") + error.what());
        reply = { 500, "internal failure" };
        result = "failure";
    }
    if (!result.empty())
        m_metrics.record_call(method, result, seconds_since(started));
    if (!is_log_quiet()) {
        auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - started);
        log_line(client_address + " " + method + " " + std::to_string(reply.status) + " "
            + std::to_string(elapsed.count() / 1000.0).substr(0, 6) + " ms");
    }
    return reply;
}

std::optional<HttpReply> CallDispatcher::handle_get(std::string_view path)
{
    if (path == "/healthz") {
        if (m_metrics.live_sessions())
            return HttpReply { 200, "ok\n" };
        return HttpReply { 503, "database does not answer\n" };
    }
    if (path == "/metrics")
        return HttpReply { 200, m_metrics.render() };
    return std::nullopt;
}

HttpReply CallDispatcher::dispatch(std::string_view body, const std::string& client_address,
    const CallHeaders& headers, std::string& method_name)
{
    RequestReader reader;
    if (!reader.parse(body))
        return malformed(reader, "unreadable text");
    (void)reader.load_string(); // The module base: only ever logged by other services.
    WString strong_name(reader.load_string());
    WString interface(reader.load_string());
    WString method(reader.load_string());
    std::int32_t count = reader.load_int();
    if (reader.has_error())
        return malformed(reader, "call header");
    if (count < 0 || count > max_parameters || std::size_t(count) > reader.remaining())
        return { 400, "malformed request: parameter count" };
    std::vector<WString> types;
    for (std::int32_t i = 0; i < count; ++i)
        types.emplace_back(reader.load_string());
    if (reader.has_error())
        return malformed(reader, "parameter types");
    // Only a name the service offers reaches the log: the rest is the client's text.
    bool offered = std::any_of(std::begin(s_catalogue), std::end(s_catalogue),
        [&](const Entry& entry) { return entry.method == method; });
    method_name = offered ? to_utf8(method) : "unknown-method";

    if (!m_service.config().strong_names.contains(strong_name))
        throw ServiceException(u"ERROR_VERSION");
    const Entry* entry = interface == interface_name ? find_entry(method, types) : nullptr;
    if (!entry)
        throw ServiceException(u"ERROR_NOT_SUPPORTED");
    if (entry->caching == Caching::Wait)
        return wait_news(reader);
    RequestReader session_reader = reader; // Every cached read has the session first.
    std::optional<Run> run = entry->parse(m_service, reader, client_address);
    if (!run || !reader.is_complete())
        return malformed(reader, reader.remaining() ? "values left over" : "parameter values");
    std::optional<Service::CachedRead> read;
    std::optional<ReadState> state;
    std::string request;
    if (entry->caching == Caching::Reply) {
        read.emplace(m_service, WString(session_reader.load_string()));
        state = read->state();
        request.assign(body);
        std::int64_t now = m_service.clock().now_ms();
        if (auto cached = m_cache.find(request, *state, now)) {
            m_metrics.count_reply_cache_hit();
            return { 200, *cached };
        }
    }
    ReplyWriter writer;
    if (entry->changes && !headers.idempotency_key.empty()) {
        WString session(session_reader.load_string());
        IdempotencyScope scope(
            headers.idempotency_key, IdempotencyScope::request_digest(body, session));
        try {
            (*run)(writer);
        } catch (IdempotentReplay& replay) {
            method_name += " (replayed)";
            m_metrics.count_idempotent_replay();
            return { 200, std::move(replay.reply) };
        }
    } else {
        (*run)(writer);
    }
    HttpReply reply;
    writer.finish_utf8(reply.body);
    if (entry->changes && m_watcher)
        m_watcher->notify_commit(); // Waiting clients hear of it now, not at the next poll.
    if (state)
        m_cache.store(request, *state, m_service.clock().now_ms(), reply.body);
    return reply;
}

HttpReply CallDispatcher::wait_news(RequestReader& reader)
{
    WString session(reader.load_string());
    std::int32_t cursor = reader.load_int();
    if (!reader.is_complete())
        return malformed(reader, reader.remaining() ? "values left over" : "parameter values");
    Service::NewsWait wait = m_service.look_for_news(session, cursor);
    if (wait.ready || !m_watcher)
        return { 200, int_reply(wait.ready ? std::int32_t(wait.seq) : cursor) };
    HttpReply reply;
    NewsWatcher* watcher = m_watcher;
    reply.later = [watcher, wait, cursor](ReplySender send) {
        watcher->add(wait.user_id, cursor, wait.seq, [send = std::move(send)](std::int64_t seq) {
            send({ 200, int_reply(std::int32_t(seq)) });
        });
    };
    return reply;
}

} // namespace corvane::server
