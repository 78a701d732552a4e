#include "common/records/FilteredNews.h"

#include "common/records/WireValues.h"

namespace corvane {

bool FilteredNews::is_idle() const
{
    return tasks.empty() && taskStates.empty() && removed.empty() && users.empty() && seen.empty()
        && cleared.empty();
}

void FilteredNews::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    writer.save_string(vector_signature);
    writer.save_int(static_cast<std::int32_t>(tasks.size()));
    for (const VizTask& task : tasks)
        task.save(writer, TaskChangesForm::Written);
    writer.save_int(cursor);
    save_int_vector(writer, taskStates);
    save_int_vector(writer, removed);
    save_vector(writer, users);
    save_int_vector(writer, seen);
    save_int_vector(writer, cleared);
    writer.save_int(stamp);
}

bool FilteredNews::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    if (!load_vector(reader, tasks))
        return false;
    cursor = reader.load_int();
    if (!load_int_vector(reader, taskStates) || !load_int_vector(reader, removed)
        || !load_vector(reader, users) || !load_int_vector(reader, seen)
        || !load_int_vector(reader, cleared))
        return false;
    stamp = reader.load_int();
    return !reader.has_error();
}

} // namespace corvane
