#pragma once

#include "server/Service.h"

#include "common/records/Filter.h"
#include "common/wire/RpcReader.h"

namespace corvane::server {

// Parameter forms the records' own load() does not give the service as it needs them. Each
// reads the same fields in the same order through the records' value helpers.

// A Filter whose status array holds at most 64 elements (a longer one is malformed). Null
// reads as the default Filter.
[[nodiscard]] bool read_filter_parameter(RpcReader& reader, Filter& filter);

// A VizTask whose done and plan keep their signs: the client sends differences there. Null
// is malformed. The task's changes, string list and permissions are read and dropped.
[[nodiscard]] bool read_task_parameter(RpcReader& reader, TaskEdit& edit);

} // namespace corvane::server
