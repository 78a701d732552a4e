#include "common/records/VizList.h"

#include "common/records/WireValues.h"

namespace corvane {

namespace {

    void save_tasks(
        RpcWriter& writer, const std::vector<VizTask>& tasks, TaskChangesForm changes_form)
    {
        writer.save_string(vector_signature);
        writer.save_int(static_cast<std::int32_t>(tasks.size()));
        for (const VizTask& task : tasks)
            task.save(writer, changes_form);
    }

} // namespace

void VizList::save(RpcWriter& writer, TaskChangesForm changes_form) const
{
    writer.save_string(signature);
    save_tasks(writer, mainList, changes_form);
    save_tasks(writer, secondList, changes_form);
}

bool VizList::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    return load_vector(reader, mainList) && load_vector(reader, secondList) && !reader.has_error();
}

} // namespace corvane
