#pragma once

#include "common/records/Change.h"
#include "common/records/User.h"
#include "common/records/VizTask.h"
#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <vector>

namespace corvane {

// The reply values that are not records of their own. The record replies (AuthInfo,
// VizTask, FilteredNews, VizList, VIZException) read with the record's load. Each answers
// false when the reply does not read, which the client reports as a network failure.

// The login key of the two-argument authenticate and of registerUser; empty = refused.
[[nodiscard]] bool read_login_key(RpcReader& reader, WString& key);
// The int result of changePermission, deleteTask and activateTicket: true when not 0.
[[nodiscard]] bool read_flag(RpcReader& reader, bool& result);
[[nodiscard]] bool read_tasks(RpcReader& reader, std::vector<VizTask>& tasks);
[[nodiscard]] bool read_changes(RpcReader& reader, std::vector<Change>& changes);
[[nodiscard]] bool read_users(RpcReader& reader, std::vector<User>& users);

// The service's side of the same values.
void write_login_key(RpcWriter& writer, WStringView key);
void write_flag(RpcWriter& writer, bool result);
// A call without a result still answers one value: readers reject an empty value list.
void write_nothing(RpcWriter& writer);

} // namespace corvane
