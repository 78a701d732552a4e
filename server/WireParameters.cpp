#include "server/WireParameters.h"

#include "common/records/WireValues.h"

namespace corvane::server {

static constexpr std::int32_t max_filter_statuses = 64;

bool read_filter_parameter(RpcReader& reader, Filter& filter)
{
    filter = Filter {};
    switch (load_object_start(reader, Filter::signature)) {
    case ObjectStart::Wrong:
        return false;
    case ObjectStart::Null:
        return !reader.has_error();
    case ObjectStart::Present:
        break;
    }
    filter.enabled = load_bool(reader);
    switch (load_object_start(reader, boolean_array_signature)) {
    case ObjectStart::Wrong:
        return false;
    case ObjectStart::Null:
        break;
    case ObjectStart::Present: {
        std::int32_t count = reader.load_int();
        if (count < 0 || count > max_filter_statuses)
            return false;
        for (std::int32_t i = 0; i < count; ++i) {
            bool value = load_bool(reader);
            if (std::size_t(i) < filter.statuses.size())
                filter.statuses[std::size_t(i)] = value;
        }
        break;
    }
    }
    filter.option = load_bool(reader);
    filter.responsible = reader.load_int();
    return !reader.has_error();
}

bool read_task_parameter(RpcReader& reader, TaskEdit& edit)
{
    VizTask& task = edit.task;
    task = VizTask {};
    if (load_object_start(reader, VizTask::signature) != ObjectStart::Present)
        return false;
    task.ownerId = reader.load_int();
    task.editable = load_bool(reader);
    std::vector<Change> ignored_changes;
    if (!load_vector(reader, ignored_changes))
        return false;
    task.value1 = reader.load_int();
    task.value2 = reader.load_int();
    task.complete = load_bool(reader);
    if (!load_long(reader, task.date))
        return false;
    task.value3 = reader.load_int();
    if (!load_long(reader, task.deadline))
        return false;
    edit.done_delta = reader.load_int();
    edit.plan_delta = reader.load_int();
    task.childCount = reader.load_int();
    task.unreadCount = reader.load_int();
    task.id = reader.load_int();
    task.marked = load_bool(reader);
    task.unread = load_bool(reader);
    std::vector<WString> ignored_strings;
    if (!load_string_array(reader, ignored_strings))
        return false;
    task.title = reader.load_string();
    task.parentId = reader.load_int();
    std::vector<Permission> ignored_permissions;
    if (!load_vector(reader, ignored_permissions))
        return false;
    task.projectId = reader.load_int();
    task.responsibleId = reader.load_int();
    task.status = reader.load_int();
    task.tag = reader.load_string();
    return !reader.has_error();
}

} // namespace corvane::server
