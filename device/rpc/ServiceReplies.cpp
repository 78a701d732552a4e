#include "device/rpc/ServiceReplies.h"

#include "common/records/WireValues.h"

namespace corvane {

bool read_login_key(RpcReader& reader, WString& key)
{
    WStringView read = reader.load_string();
    if (reader.has_error())
        return false;
    key = read;
    return true;
}

bool read_flag(RpcReader& reader, bool& result)
{
    bool read = load_bool(reader);
    if (reader.has_error())
        return false;
    result = read;
    return true;
}

bool read_tasks(RpcReader& reader, std::vector<VizTask>& tasks)
{
    return load_vector(reader, tasks);
}

bool read_changes(RpcReader& reader, std::vector<Change>& changes)
{
    return load_vector(reader, changes);
}

bool read_users(RpcReader& reader, std::vector<User>& users)
{
    return load_vector(reader, users);
}

void write_login_key(RpcWriter& writer, WStringView key)
{
    writer.save_string(key);
}

void write_flag(RpcWriter& writer, bool result)
{
    save_bool(writer, result);
}

void write_nothing(RpcWriter& writer)
{
    writer.save_int(0);
}

} // namespace corvane
