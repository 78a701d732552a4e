#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvane {

// The value forms that records are built from: booleans, nullable Longs, vectors and arrays,
// and the opening of an object by its type signature. Readers and writers of requests,
// replies and the cache all go through these, so each form is written in one place.

inline constexpr WStringView vector_signature = u"java.util.Vector/3125574444";
inline constexpr WStringView integer_signature = u"java.lang.Integer/3438268394";
inline constexpr WStringView long_signature = u"java.lang.Long/4227064769";
inline constexpr WStringView boolean_array_signature = u"[Z/1413617015";
inline constexpr WStringView string_array_signature = u"[Ljava.lang.String;/2600011424";

inline void save_bool(RpcWriter& writer, bool value)
{
    writer.save_int(value ? 1 : 0);
}
inline bool load_bool(RpcReader& reader)
{
    return reader.load_int() != 0;
}
// A null object (or a null vector) is the reference 0.
inline void save_null(RpcWriter& writer)
{
    writer.save_int(0);
}

enum class ObjectStart {
    Null, // the empty signature: the record keeps what it holds
    Present, // the expected signature: the fields follow
    Wrong, // any other signature: the read fails
};
ObjectStart load_object_start(RpcReader& reader, WStringView signature);

// A nullable java.lang.Long: the null reference when the value is 0.
void save_long(RpcWriter& writer, std::int64_t value);
// Null reads as 0; answers false on any other signature.
[[nodiscard]] bool load_long(RpcReader& reader, std::int64_t& value);

// An element count that the remaining values can hold: each element takes at least one value,
// so a larger count (or a negative one) can only come from a corrupt text and fails the read
// before anything is allocated for it.
[[nodiscard]] bool load_count(RpcReader& reader, std::size_t& count);

// A Vector of Integer.
void save_int_vector(RpcWriter& writer, const std::vector<std::int32_t>& values);
// A null vector reads as empty; a null element reads as 0. `values` is replaced only on
// success.
[[nodiscard]] bool load_int_vector(RpcReader& reader, std::vector<std::int32_t>& values);

// A boolean array: the signature, the count and 0/1 per element.
void save_bool_array(RpcWriter& writer, const std::vector<bool>& values);
// Reads into the array as it is: elements beyond its size are read and dropped, missing ones
// keep their values, and the array is never resized. A null array changes nothing.
[[nodiscard]] bool load_bool_array_into(RpcReader& reader, std::vector<bool>& values);

// Replaces the array with the elements as sent; a null array reads as empty.
[[nodiscard]] bool load_bool_array(RpcReader& reader, std::vector<bool>& values);

// A String array; null reads as empty.
[[nodiscard]] bool load_string_array(RpcReader& reader, std::vector<WString>& values);

// A Vector of records, each written as an object with its own signature.
template<typename Record> void save_vector(RpcWriter& writer, const std::vector<Record>& records)
{
    writer.save_string(vector_signature);
    writer.save_int(static_cast<std::int32_t>(records.size()));
    for (const Record& record : records)
        record.save(writer);
}

// A counted object: null, or the signature, a count and the elements, each read by
// `read_one(loaded)`. A null object reads as empty. `values` is replaced only when every element
// read; the count is checked against what is left before anything is allocated.
template<typename Value, typename ReadOne>
[[nodiscard]] bool load_sequence(
    RpcReader& reader, WStringView signature, std::vector<Value>& values, ReadOne read_one)
{
    switch (load_object_start(reader, signature)) {
    case ObjectStart::Wrong:
        return false;
    case ObjectStart::Null:
        values.clear();
        return !reader.has_error();
    case ObjectStart::Present:
        break;
    }
    std::size_t count;
    if (!load_count(reader, count))
        return false;
    std::vector<Value> loaded;
    loaded.reserve(std::min<std::size_t>(count, 1024));
    for (std::size_t i = 0; i < count; ++i) {
        if (!read_one(loaded))
            return false;
    }
    if (reader.has_error())
        return false;
    values = std::move(loaded);
    return true;
}

// A Vector of records; a null element keeps the record's defaults, and any element that does
// not read fails the whole vector.
template<typename Record>
[[nodiscard]] bool load_vector(RpcReader& reader, std::vector<Record>& records)
{
    return load_sequence(reader, vector_signature, records,
        [&](std::vector<Record>& loaded) { return loaded.emplace_back().load(reader); });
}

} // namespace corvane
