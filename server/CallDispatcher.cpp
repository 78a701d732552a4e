#include "server/CallDispatcher.h"

#include "server/ServerLog.h"
#include "server/Service.h"
#include "server/WireParameters.h"

#include "device/core/Text.h"
#include "device/model/VIZException.h"
#include "device/model/WireValues.h"
#include "device/rpc/ReplyWriter.h"
#include "device/rpc/RequestReader.h"

#include <chrono>
#include <functional>
#include <optional>

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
    };

    struct Entry {
        WStringView method;
        std::initializer_list<WStringView> types;
        Parse parse;
        Caching caching { Caching::None };
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

    const Entry s_catalogue[] = {
        { u"authenticate", { S, S },
            [](Service& service, RpcReader& r, const std::string& client) -> std::optional<Run> {
                WString email = text(r), password = text(r);
                return Run([&service, email, password, client](ReplyWriter& w) {
                    w.save_string(service.authenticate(email, password, client));
                });
            } },
        { u"authenticate", { S },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString key = text(r);
                return Run(
                    [&service, key](ReplyWriter& w) { service.authenticate_key(key).save(w); });
            } },
        { u"registerUser", { S, S, S },
            [](Service& service, RpcReader& r, const std::string& client) -> std::optional<Run> {
                WString email = text(r), password = text(r), name = text(r);
                return Run([&service, email, password, name, client](ReplyWriter& w) {
                    w.save_string(service.register_user(email, password, name, client));
                });
            } },
        { u"getFilteredChildren", { S, F, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                Filter filter;
                if (!read_filter_parameter(r, filter))
                    return std::nullopt;
                std::int32_t parent = r.load_int();
                return Run([&service, session, filter, parent](ReplyWriter& w) {
                    save_vector(w, service.get_filtered_children(session, filter, parent));
                });
            },
            Caching::Reply },
        { u"loadTask", { S, F, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                Filter filter;
                if (!read_filter_parameter(r, filter))
                    return std::nullopt;
                std::int32_t id = r.load_int();
                return Run([&service, session, filter, id](ReplyWriter& w) {
                    save_vector(w, service.load_task(session, filter, id));
                });
            },
            Caching::Reply },
        { u"getFilteredNews", { S, F, I, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                Filter filter;
                if (!read_filter_parameter(r, filter))
                    return std::nullopt;
                std::int32_t cursor = r.load_int();
                std::int32_t stamp = r.load_int();
                return Run([&service, session, filter, cursor, stamp](ReplyWriter& w) {
                    service.get_filtered_news(session, filter, cursor, stamp).save(w);
                });
            } },
        { u"getChanges", { S, I, I, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                std::int32_t task = r.load_int();
                std::int32_t count = r.load_int();
                std::int32_t position = r.load_int();
                return Run([&service, session, task, count, position](ReplyWriter& w) {
                    save_vector(w, service.get_changes(session, task, count, position));
                });
            } },
        { u"updateTask", { S, T, S },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                TaskEdit edit;
                if (!read_task_parameter(r, edit))
                    return std::nullopt;
                WString comment = text(r);
                return Run([&service, session, edit, comment](ReplyWriter& w) {
                    service.update_task(session, edit, comment).save(w);
                });
            } },
        { u"createTask", { S, T, S },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                TaskEdit edit;
                if (!read_task_parameter(r, edit))
                    return std::nullopt;
                WString comment = text(r);
                return Run([&service, session, edit, comment](ReplyWriter& w) {
                    service.create_task(session, edit, comment).save(w);
                });
            } },
        { u"changePermission", { S, I, S, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                std::int32_t project = r.load_int();
                WString address = text(r);
                std::int32_t level = r.load_int();
                return Run([&service, session, project, address, level](ReplyWriter& w) {
                    w.save_int(service.change_permission(session, project, address, level));
                });
            } },
        { u"deleteTask", { S, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                std::int32_t id = r.load_int();
                return Run([&service, session, id](
                               ReplyWriter& w) { w.save_int(service.delete_task(session, id)); });
            } },
        { u"getUsers", { S, V },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                std::vector<std::int32_t> ids;
                if (!load_int_vector(r, ids))
                    return std::nullopt;
                return Run([&service, session, ids](ReplyWriter& w) {
                    save_vector(w, service.get_users(session, ids));
                });
            } },
        { u"activateTicket", { S, S },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r), ticket = text(r);
                return Run([&service, session, ticket](ReplyWriter& w) {
                    w.save_int(service.activate_ticket(session, ticket));
                });
            } },
        { u"setViewed", { S, I },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                std::int32_t id = r.load_int();
                return Run([&service, session, id](ReplyWriter& w) {
                    service.set_viewed(session, id);
                    w.save_int(0); // A reply without values does not parse: void is one 0.
                });
            } },
        { u"getFilteredList", { S, F, I, Z, Z, Z, L, L, S, I, I, S },
            [](Service& service, RpcReader& r, const std::string&) -> std::optional<Run> {
                WString session = text(r);
                Filter filter;
                if (!read_filter_parameter(r, filter))
                    return std::nullopt;
                std::int32_t project = r.load_int();
                ListCursor cursor;
                bool matches_filter = false;
                if (!boolean(r, cursor.present) || !boolean(r, matches_filter)
                    || !boolean(r, cursor.complete))
                    return std::nullopt;
                if (!load_long(r, cursor.date) || !load_long(r, cursor.deadline))
                    return std::nullopt;
                cursor.title = text(r);
                cursor.id = r.load_int();
                std::int32_t page_size = r.load_int();
                WString list_text = text(r);
                return Run([&service, session, filter, project, cursor, page_size, list_text](
                               ReplyWriter& w) {
                    service
                        .get_filtered_list(session, filter, project, cursor, page_size, list_text)
                        .save(w);
                });
            } },
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

    HttpReply exception_reply(WStringView key)
    {
        ReplyWriter writer;
        VIZException { WString(key) }.save(writer);
        HttpReply reply;
        writer.finish_utf8(reply.body, ReplyOutcome::Exception);
        return reply;
    }

} // namespace

CallDispatcher::CallDispatcher(Service& service)
    : m_service(service)
{
}

HttpReply CallDispatcher::handle_call(std::string_view body, const std::string& client_address)
{
    auto started = std::chrono::steady_clock::now();
    std::string method = "?";
    std::string result = "ok";
    HttpReply reply;
    try {
        reply = dispatch(body, client_address, method);
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

HttpReply CallDispatcher::dispatch(
    std::string_view body, const std::string& client_address, std::string& method_name)
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
    method_name = to_utf8(method);

    if (!m_service.config().strong_names.contains(strong_name))
        throw ServiceException(u"ERROR_VERSION");
    const Entry* entry = interface == interface_name ? find_entry(method, types) : nullptr;
    if (!entry)
        throw ServiceException(u"ERROR_NOT_SUPPORTED");
    RequestReader session_reader = reader; // Every cached read has the session first.
    std::optional<Run> run = entry->parse(m_service, reader, client_address);
    if (!run || !reader.is_complete())
        return malformed(reader, reader.remaining() ? "values left over" : "parameter values");
    std::optional<ReadState> state;
    std::string request;
    if (entry->caching == Caching::Reply) {
        state = m_service.read_state(WString(session_reader.load_string()));
        request.assign(body);
        std::int64_t now = m_service.clock().now_ms();
        if (auto cached = m_cache.find(request, *state, now)) {
            m_metrics.count_reply_cache_hit();
            return { 200, *cached };
        }
    }
    ReplyWriter writer;
    (*run)(writer);
    HttpReply reply;
    writer.finish_utf8(reply.body);
    if (state)
        m_cache.store(request, *state, m_service.clock().now_ms(), reply.body);
    return reply;
}

} // namespace corvane::server
