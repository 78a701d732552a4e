#include "common/records/Change.h"

#include "common/records/WireValues.h"

namespace corvane {

void Change::save(RpcWriter& writer) const
{
    writer.save_string(signature);
    writer.save_int(kind);
    writer.save_string(text);
    writer.save_int(complete);
    save_long(writer, deadline);
    save_bool(writer, flag);
    writer.save_int(doneDelta);
    writer.save_int(planDelta);
    writer.save_int(changeId);
    writer.save_int(value4);
    writer.save_string(title);
    writer.save_int(responsibleId);
    writer.save_int(status);
    save_long(writer, time);
    writer.save_int(userId);
    writer.save_int(authorId);
}

bool Change::load(RpcReader& reader)
{
    ObjectStart start = load_object_start(reader, signature);
    if (start != ObjectStart::Present)
        return start == ObjectStart::Null && !reader.has_error();
    kind = reader.load_int();
    text = reader.load_string();
    complete = reader.load_int();
    if (!load_long(reader, deadline))
        return false;
    flag = load_bool(reader);
    doneDelta = reader.load_int();
    planDelta = reader.load_int();
    changeId = reader.load_int();
    value4 = reader.load_int();
    title = reader.load_string();
    responsibleId = reader.load_int();
    status = reader.load_int();
    if (!load_long(reader, time))
        return false;
    userId = reader.load_int();
    authorId = reader.load_int();
    return !reader.has_error();
}

} // namespace corvane
