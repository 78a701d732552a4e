#include "common/records/User.h"

#include "common/records/WireValues.h"

namespace corvane {

void User::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    writer.save_string(account);
    writer.save_int(id);
    writer.save_string(name);
}

bool User::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    account = reader.load_string();
    id = reader.load_int();
    name = reader.load_string();
    return !reader.has_error();
}

} // namespace corvane
