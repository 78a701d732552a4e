#include "common/records/AuthInfo.h"

#include "common/records/WireValues.h"

namespace corvane {

void AuthInfo::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    writer.save_int(newsCursor);
    writer.save_string(session);
    writer.save_int(userId);
    writer.save_string(serverVersion);
    writer.save_int(newsStamp);
}

bool AuthInfo::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    newsCursor = reader.load_int();
    session = reader.load_string();
    userId = reader.load_int();
    serverVersion = reader.load_string();
    newsStamp = reader.load_int();
    return !reader.has_error();
}

} // namespace corvane
