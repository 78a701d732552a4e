#include "device/model/EngineCache.h"

#include "common/records/WireValues.h"

namespace corvane {

void EngineCache::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    auth.save(writer);
    writer.save_string(loginKey);
    save_vector(writer, tasks);
    listCursor.save(writer);
    save_vector(writer, users);
    filter.save(writer);
    writer.save_int(listProject);
    save_bool(writer, morePages);
}

bool EngineCache::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    if (!auth.load(reader))
        return false;
    loginKey = reader.load_string();
    if (!load_vector(reader, tasks) || !listCursor.load(reader) || !load_vector(reader, users)
        || !filter.load(reader))
        return false;
    listProject = reader.load_int();
    morePages = load_bool(reader);
    return !reader.has_error();
}

} // namespace corvane
