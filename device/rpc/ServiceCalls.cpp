#include "device/rpc/ServiceCalls.h"

#include "common/records/WireValues.h"
#include "device/core/FatalFault.h"

namespace corvane {

namespace {

    // The task as it goes out: the service takes neither its history nor its participants from
    // an edit, so they are never sent.
    void save_outgoing_task(RpcWriter& writer, const VizTask& task)
    {
        if (task.permissions.empty()) {
            task.save(writer);
            return;
        }
        VizTask outgoing = task;
        outgoing.permissions.clear();
        outgoing.save(writer);
    }

    void write_value(RpcWriter& writer, WStringView text)
    {
        writer.save_string(text);
    }
    void write_value(RpcWriter& writer, std::int32_t value)
    {
        writer.save_int(value);
    }
    void write_value(RpcWriter& writer, const Filter& filter)
    {
        filter.save(writer);
    }
    void write_value(RpcWriter& writer, const VizTask& task)
    {
        save_outgoing_task(writer, task);
    }
    void write_value(RpcWriter& writer, const std::vector<std::int32_t>& ids)
    {
        save_int_vector(writer, ids);
    }

    // Where the list continues: the last task of the page before, as the service reads it.
    struct ListPosition {
        const Task& cursor;
    };
    void write_value(RpcWriter& writer, const ListPosition& position)
    {
        const Task& cursor = position.cursor;
        save_bool(writer, cursor.id != 0);
        save_bool(writer, cursor.matchesFilter);
        save_bool(writer, cursor.complete);
        save_long(writer, cursor.date);
        save_long(writer, cursor.deadline);
        writer.save_string(cursor.title);
        writer.save_int(cursor.id);
    }

} // namespace

ServiceCalls::ServiceCalls(ServiceIdentity identity)
    : m_identity(std::move(identity))
{
}

RequesterServer& ServiceCalls::begin(WStringView key)
{
    const CallSpec* call = find_call_by_key(key);
    if (!call)
        fatal_fault(u"ServiceCalls::begin", u"unknown call");
    m_key = key;
    write_call_header(m_writer, m_identity, *call);
    return m_writer;
}

std::optional<RemoteCall> ServiceCalls::finish()
{
    RemoteCall call { std::move(m_key), {} };
    m_key.clear();
    if (!m_writer.finish(call.body))
        return std::nullopt;
    return call;
}

template<typename... Values>
std::optional<RemoteCall> ServiceCalls::send(WStringView key, const Values&... values)
{
    RequesterServer& writer = begin(key);
    (write_value(writer, values), ...);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::authenticate(WStringView email, WStringView password)
{
    return send(u"authenticate2", email, password);
}

std::optional<RemoteCall> ServiceCalls::authenticate(WStringView login_key)
{
    return send(u"authenticate", login_key);
}

std::optional<RemoteCall> ServiceCalls::registerUser(
    WStringView email, WStringView password, WStringView name)
{
    return send(u"registerUser", email, password, name);
}

std::optional<RemoteCall> ServiceCalls::getFilteredChildren(
    WStringView session, const Filter& filter, std::int32_t parent_id)
{
    return send(u"getFilteredChildren", session, filter, parent_id);
}

std::optional<RemoteCall> ServiceCalls::loadTask(
    WStringView session, const Filter& filter, std::int32_t task_id)
{
    return send(u"loadTask", session, filter, task_id);
}

std::optional<RemoteCall> ServiceCalls::getFilteredNews(
    WStringView session, const Filter& filter, std::int32_t news_cursor, std::int32_t news_stamp)
{
    return send(u"getFilteredNews", session, filter, news_cursor, news_stamp);
}

std::optional<RemoteCall> ServiceCalls::waitNews(WStringView session, std::int32_t news_cursor)
{
    return send(u"waitNews", session, news_cursor);
}

std::optional<RemoteCall> ServiceCalls::getChanges(
    WStringView session, std::int32_t task_id, std::int32_t count, std::int32_t position)
{
    return send(u"getChanges", session, task_id, count, position);
}

std::optional<RemoteCall> ServiceCalls::updateTask(
    WStringView session, const VizTask& task, WStringView comment)
{
    return send(u"updateTask", session, task, comment);
}

std::optional<RemoteCall> ServiceCalls::createTask(
    WStringView session, const VizTask& task, WStringView comment)
{
    return send(u"createTask", session, task, comment);
}

std::optional<RemoteCall> ServiceCalls::changePermission(
    WStringView session, std::int32_t project_id, WStringView text, std::int32_t level)
{
    return send(u"changePermission", session, project_id, text, level);
}

std::optional<RemoteCall> ServiceCalls::deleteTask(WStringView session, std::int32_t task_id)
{
    return send(u"deleteTask", session, task_id);
}

std::optional<RemoteCall> ServiceCalls::getUsers(
    WStringView session, const std::vector<std::int32_t>& user_ids)
{
    return send(u"getUsers", session, user_ids);
}

std::optional<RemoteCall> ServiceCalls::activateTicket(WStringView session, WStringView ticket)
{
    return send(u"activateTicket", session, ticket);
}

std::optional<RemoteCall> ServiceCalls::setViewed(WStringView session, std::int32_t task_id)
{
    return send(u"setViewed", session, task_id);
}

std::optional<RemoteCall> ServiceCalls::getFilteredList(WStringView session, const Filter& filter,
    std::int32_t list_project, const Task& cursor, std::int32_t page_size, WStringView list_text)
{
    return send(u"getFilteredList", session, filter, list_project, ListPosition { cursor },
        page_size, list_text);
}

} // namespace corvane
