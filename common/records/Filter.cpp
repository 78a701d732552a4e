#include "common/records/Filter.h"

#include "common/records/WireValues.h"

namespace corvane {

bool Filter::matches(const VizTask& task) const
{
    if (responsible != -1 && responsible != task.responsibleId)
        return false;
    return task.status >= 0 && static_cast<std::size_t>(task.status) < statuses.size()
        && statuses[static_cast<std::size_t>(task.status)];
}

void Filter::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    save_bool(writer, enabled);
    save_bool_array(writer, statuses);
    save_bool(writer, option);
    writer.save_int(responsible);
}

bool Filter::load(RpcReader& reader, StatusArrayFit fit)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    enabled = load_bool(reader);
    bool read = fit == StatusArrayFit::KeepSize ? load_bool_array_into(reader, statuses)
                                                : load_bool_array(reader, statuses);
    if (!read)
        return false;
    option = load_bool(reader);
    responsible = reader.load_int();
    return !reader.has_error();
}

} // namespace corvane
