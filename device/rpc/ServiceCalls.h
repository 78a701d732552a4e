#pragma once

#include "common/records/Filter.h"
#include "common/records/Task.h"
#include "common/records/VizTask.h"
#include "device/core/SharedBuffer.h"
#include "device/rpc/RequesterServer.h"
#include "device/rpc/ServiceCatalogue.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// One call ready to send: the request body and the key under which its reply is awaited.
struct RemoteCall {
    WString key;
    SharedBuffer body;
};

// Writes the service's calls, one operation per method of the same name. Each answers the
// finished call, or nothing when one of its strings cannot travel in the request form (the
// writer logs it; nothing is left behind for the next call). Main thread only.
class ServiceCalls {
public:
    explicit ServiceCalls(ServiceIdentity identity);

    const ServiceIdentity& identity() const { return m_identity; }

    // The e-mail address and password typed at login; the reply is the login key.
    std::optional<RemoteCall> authenticate(WStringView email, WStringView password);
    // A new session from the login key; the reply is an AuthInfo.
    std::optional<RemoteCall> authenticate(WStringView login_key);
    std::optional<RemoteCall> registerUser(
        WStringView email, WStringView password, WStringView name);
    std::optional<RemoteCall> getFilteredChildren(
        WStringView session, const Filter& filter, std::int32_t parent_id);
    std::optional<RemoteCall> loadTask(
        WStringView session, const Filter& filter, std::int32_t task_id);
    std::optional<RemoteCall> getFilteredNews(WStringView session, const Filter& filter,
        std::int32_t news_cursor, std::int32_t news_stamp);
    // Answers once there is news past the cursor (the new cursor), or after a while (the same).
    std::optional<RemoteCall> waitNews(WStringView session, std::int32_t news_cursor);
    // Up to `count` changes at or below `position`, newest first.
    std::optional<RemoteCall> getChanges(
        WStringView session, std::int32_t task_id, std::int32_t count, std::int32_t position);
    // The task as edited: its `done` and `plan` hold the differences; its changes and
    // permissions are never sent.
    std::optional<RemoteCall> updateTask(
        WStringView session, const VizTask& task, WStringView comment);
    // A new task (id -1), prepared as for updateTask.
    std::optional<RemoteCall> createTask(
        WStringView session, const VizTask& task, WStringView comment);
    // `text` is the user's account, or the address of a pending invitation.
    std::optional<RemoteCall> changePermission(
        WStringView session, std::int32_t project_id, WStringView text, std::int32_t level);
    std::optional<RemoteCall> deleteTask(WStringView session, std::int32_t task_id);
    std::optional<RemoteCall> getUsers(
        WStringView session, const std::vector<std::int32_t>& user_ids);
    std::optional<RemoteCall> activateTicket(WStringView session, WStringView ticket);
    std::optional<RemoteCall> setViewed(WStringView session, std::int32_t task_id);
    // The next page after `cursor`, the last task of the list fetched so far (id 0 = none).
    std::optional<RemoteCall> getFilteredList(WStringView session, const Filter& filter,
        std::int32_t list_project, const Task& cursor, std::int32_t page_size,
        WStringView list_text);

private:
    RequesterServer& begin(WStringView key);
    std::optional<RemoteCall> finish();
    // One call: its header, then the values in order.
    template<typename... Values>
    std::optional<RemoteCall> send(WStringView key, const Values&... values);

    ServiceIdentity m_identity;
    RequesterServer m_writer;
    WString m_key;
};

} // namespace corvane
