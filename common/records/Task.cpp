#include "common/records/Task.h"

#include "common/records/WireValues.h"

namespace corvane {

void Task::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    VizTask::save(writer);
    save_int_vector(writer, childIds);
    save_bool(writer, childrenPending);
    save_bool(writer, listed);
    save_bool(writer, matchesFilter);
}

bool Task::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    if (!VizTask::load(reader) || !load_int_vector(reader, childIds))
        return false;
    childrenPending = load_bool(reader);
    listed = load_bool(reader);
    matchesFilter = load_bool(reader);
    return !reader.has_error();
}

} // namespace corvane
