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

std::optional<RemoteCall> ServiceCalls::authenticate(WStringView email, WStringView password)
{
    RequesterServer& writer = begin(u"authenticate2");
    writer.save_string(email);
    writer.save_string(password);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::authenticate(WStringView login_key)
{
    RequesterServer& writer = begin(u"authenticate");
    writer.save_string(login_key);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::registerUser(
    WStringView email, WStringView password, WStringView name)
{
    RequesterServer& writer = begin(u"registerUser");
    writer.save_string(email);
    writer.save_string(password);
    writer.save_string(name);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::getFilteredChildren(
    WStringView session, const Filter& filter, std::int32_t parent_id)
{
    RequesterServer& writer = begin(u"getFilteredChildren");
    writer.save_string(session);
    filter.save(writer);
    writer.save_int(parent_id);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::loadTask(
    WStringView session, const Filter& filter, std::int32_t task_id)
{
    RequesterServer& writer = begin(u"loadTask");
    writer.save_string(session);
    filter.save(writer);
    writer.save_int(task_id);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::getFilteredNews(
    WStringView session, const Filter& filter, std::int32_t news_cursor, std::int32_t news_stamp)
{
    RequesterServer& writer = begin(u"getFilteredNews");
    writer.save_string(session);
    filter.save(writer);
    writer.save_int(news_cursor);
    writer.save_int(news_stamp);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::getChanges(
    WStringView session, std::int32_t task_id, std::int32_t count, std::int32_t position)
{
    RequesterServer& writer = begin(u"getChanges");
    writer.save_string(session);
    writer.save_int(task_id);
    writer.save_int(count);
    writer.save_int(position);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::updateTask(
    WStringView session, const VizTask& task, WStringView comment)
{
    RequesterServer& writer = begin(u"updateTask");
    writer.save_string(session);
    save_outgoing_task(writer, task);
    writer.save_string(comment);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::createTask(
    WStringView session, const VizTask& task, WStringView comment)
{
    RequesterServer& writer = begin(u"createTask");
    writer.save_string(session);
    save_outgoing_task(writer, task);
    writer.save_string(comment);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::changePermission(
    WStringView session, std::int32_t project_id, WStringView text, std::int32_t level)
{
    RequesterServer& writer = begin(u"changePermission");
    writer.save_string(session);
    writer.save_int(project_id);
    writer.save_string(text);
    writer.save_int(level);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::deleteTask(WStringView session, std::int32_t task_id)
{
    RequesterServer& writer = begin(u"deleteTask");
    writer.save_string(session);
    writer.save_int(task_id);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::getUsers(
    WStringView session, const std::vector<std::int32_t>& user_ids)
{
    RequesterServer& writer = begin(u"getUsers");
    writer.save_string(session);
    save_int_vector(writer, user_ids);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::activateTicket(WStringView session, WStringView ticket)
{
    RequesterServer& writer = begin(u"activateTicket");
    writer.save_string(session);
    writer.save_string(ticket);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::setViewed(WStringView session, std::int32_t task_id)
{
    RequesterServer& writer = begin(u"setViewed");
    writer.save_string(session);
    writer.save_int(task_id);
    return finish();
}

std::optional<RemoteCall> ServiceCalls::getFilteredList(WStringView session, const Filter& filter,
    std::int32_t list_project, const Task& cursor, std::int32_t page_size, WStringView list_text)
{
    RequesterServer& writer = begin(u"getFilteredList");
    writer.save_string(session);
    filter.save(writer);
    writer.save_int(list_project);
    save_bool(writer, cursor.id != 0);
    save_bool(writer, cursor.matchesFilter);
    save_bool(writer, cursor.complete);
    save_long(writer, cursor.date);
    save_long(writer, cursor.deadline);
    writer.save_string(cursor.title);
    writer.save_int(cursor.id);
    writer.save_int(page_size);
    writer.save_string(list_text);
    return finish();
}

} // namespace corvane
