#include "common/records/WireValues.h"

namespace corvane {

ObjectStart load_object_start(RpcReader& reader, WStringView signature)
{
    WStringView found = reader.load_string();
    if (found.empty())
        return ObjectStart::Null;
    return found == signature ? ObjectStart::Present : ObjectStart::Wrong;
}

void save_long(RpcWriter& writer, std::int64_t value)
{
    if (value == 0) {
        save_null(writer);
        return;
    }
    writer.save_string(long_signature);
    writer.save_int64(value);
}

bool load_long(RpcReader& reader, std::int64_t& value)
{
    switch (load_object_start(reader, long_signature)) {
    case ObjectStart::Wrong:
        return false;
    case ObjectStart::Null:
        value = 0;
        return !reader.has_error();
    case ObjectStart::Present:
        value = reader.load_int64();
        return true;
    }
    return false;
}

bool load_count(RpcReader& reader, std::size_t& count)
{
    std::int32_t value = reader.load_int();
    if (value < 0 || static_cast<std::size_t>(value) > reader.remaining())
        return false;
    count = static_cast<std::size_t>(value);
    return true;
}

void save_int_vector(RpcWriter& writer, const std::vector<std::int32_t>& values)
{
    writer.save_string(vector_signature);
    writer.save_int(static_cast<std::int32_t>(values.size()));
    for (std::int32_t value : values) {
        writer.save_string(integer_signature);
        writer.save_int(value);
    }
}

bool load_int_vector(RpcReader& reader, std::vector<std::int32_t>& values)
{
    return load_sequence(reader, vector_signature, values, [&](std::vector<std::int32_t>& loaded) {
        switch (load_object_start(reader, integer_signature)) {
        case ObjectStart::Wrong:
            return false;
        case ObjectStart::Null:
            loaded.push_back(0);
            return true;
        case ObjectStart::Present:
            loaded.push_back(reader.load_int());
            return true;
        }
        return false;
    });
}

void save_bool_array(RpcWriter& writer, const std::vector<bool>& values)
{
    writer.save_string(boolean_array_signature);
    writer.save_int(static_cast<std::int32_t>(values.size()));
    for (bool value : values)
        save_bool(writer, value);
}

bool load_bool_array_into(RpcReader& reader, std::vector<bool>& values)
{
    switch (load_object_start(reader, boolean_array_signature)) {
    case ObjectStart::Wrong:
        return false;
    case ObjectStart::Null:
        return !reader.has_error();
    case ObjectStart::Present:
        break;
    }
    std::size_t count;
    if (!load_count(reader, count))
        return false;
    std::vector<bool> loaded = values;
    for (std::size_t i = 0; i < count; ++i) {
        bool value = load_bool(reader);
        if (i < loaded.size())
            loaded[i] = value;
    }
    if (reader.has_error())
        return false;
    values = std::move(loaded);
    return true;
}

bool load_bool_array(RpcReader& reader, std::vector<bool>& values)
{
    return load_sequence(reader, boolean_array_signature, values, [&](std::vector<bool>& loaded) {
        loaded.push_back(load_bool(reader));
        return true;
    });
}

bool load_string_array(RpcReader& reader, std::vector<WString>& values)
{
    return load_sequence(reader, string_array_signature, values, [&](std::vector<WString>& loaded) {
        loaded.emplace_back(reader.load_string());
        return true;
    });
}

} // namespace corvane
