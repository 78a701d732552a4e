#include "common/records/VizTask.h"

#include "common/records/WireValues.h"

#include <limits>

namespace corvane {

namespace {

    // The absolute value that cannot overflow: the most negative int has no positive twin.
    std::int32_t magnitude(std::int32_t value)
    {
        if (value == std::numeric_limits<std::int32_t>::min())
            return std::numeric_limits<std::int32_t>::max();
        return value < 0 ? -value : value;
    }

} // namespace

void VizTask::save(RpcWriter& writer, TaskChangesForm changes_form) const
{
    writer.save_string(signature);
    writer.save_int(ownerId);
    save_bool(writer, editable);
    if (changes_form == TaskChangesForm::Written)
        save_vector(writer, changes);
    else
        save_null(writer);
    writer.save_int(value1);
    writer.save_int(value2);
    save_bool(writer, complete);
    save_long(writer, date);
    writer.save_int(value3);
    save_long(writer, deadline);
    writer.save_int(done);
    writer.save_int(plan);
    writer.save_int(childCount);
    writer.save_int(unreadCount);
    writer.save_int(id);
    save_bool(writer, marked);
    save_bool(writer, unread);
    save_null(writer); // stringList
    writer.save_string(title);
    writer.save_int(parentId);
    save_vector(writer, permissions);
    writer.save_int(projectId);
    writer.save_int(responsibleId);
    writer.save_int(status);
    writer.save_string(tag);
}

bool VizTask::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    ownerId = reader.load_int();
    editable = load_bool(reader);
    if (!load_vector(reader, changes))
        return false;
    value1 = reader.load_int();
    value2 = reader.load_int();
    complete = load_bool(reader);
    if (!load_long(reader, date))
        return false;
    value3 = reader.load_int();
    if (!load_long(reader, deadline))
        return false;
    done = magnitude(reader.load_int());
    plan = magnitude(reader.load_int());
    childCount = reader.load_int();
    unreadCount = reader.load_int();
    id = reader.load_int();
    marked = load_bool(reader);
    unread = load_bool(reader);
    if (!load_string_array(reader, stringList))
        return false;
    title = reader.load_string();
    parentId = reader.load_int();
    if (!load_vector(reader, permissions))
        return false;
    projectId = reader.load_int();
    responsibleId = reader.load_int();
    status = reader.load_int();
    tag = reader.load_string();
    return !reader.has_error();
}

int compare_tasks(const VizTask& a, const VizTask& b)
{
    if (a.complete != b.complete)
        return a.complete ? 1 : -1;
    if (a.date != b.date)
        return a.date > b.date ? -1 : 1;
    bool a_has_deadline = a.deadline != 0;
    bool b_has_deadline = b.deadline != 0;
    if (a_has_deadline != b_has_deadline)
        return a_has_deadline ? -1 : 1;
    if (a.deadline != b.deadline)
        return a.deadline < b.deadline ? -1 : 1;
    int titles = a.title.compare(b.title);
    if (titles != 0)
        return titles < 0 ? -1 : 1;
    if (a.id != b.id)
        return a.id < b.id ? -1 : 1;
    return 0;
}

} // namespace corvane
