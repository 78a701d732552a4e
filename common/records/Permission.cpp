#include "common/records/Permission.h"

#include "common/records/WireValues.h"

namespace corvane {

void Permission::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    writer.save_int(level);
    writer.save_string(email);
    writer.save_int(userId);
}

bool Permission::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    level = reader.load_int();
    email = reader.load_string();
    userId = reader.load_int();
    return !reader.has_error();
}

} // namespace corvane
