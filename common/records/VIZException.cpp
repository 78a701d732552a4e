#include "common/records/VIZException.h"

#include "common/records/WireValues.h"

namespace corvane {

void VIZException::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    writer.save_string(key);
}

bool VIZException::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    key = reader.load_string();
    return !reader.has_error();
}

} // namespace corvane
