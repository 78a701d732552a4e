#include "server/PgConnection.h"

#include "server/Storage.h"

#include "common/wire/WireUtf8.h"

#include <libpq-fe.h>

#include <endian.h>

#include <cstring>

namespace corvane::server {

// Type identifiers of the built-in types the store uses (pg_type.oid, fixed since 7.x).
namespace {
    constexpr Oid bool_oid = 16;
    constexpr Oid bytea_oid = 17;
    constexpr Oid int8_oid = 20;
    constexpr Oid int2_oid = 21;
    constexpr Oid int4_oid = 23;
    constexpr Oid int8_array_oid = 1016;

    void append_be32(std::string& out, std::uint32_t value)
    {
        std::uint32_t network = htobe32(value);
        out.append(reinterpret_cast<const char*>(&network), sizeof network);
    }
} // namespace

PgParams& PgParams::add(std::int64_t value)
{
    std::uint64_t network = htobe64(static_cast<std::uint64_t>(value));
    m_values.emplace_back(reinterpret_cast<const char*>(&network), sizeof network);
    m_types.push_back(int8_oid);
    return *this;
}

PgParams& PgParams::add(const Text& text)
{
    m_values.push_back(encode_wire_utf8(text));
    m_types.push_back(bytea_oid);
    return *this;
}

PgParams& PgParams::add_bytes(const std::string& bytes)
{
    m_values.push_back(bytes);
    m_types.push_back(bytea_oid);
    return *this;
}

// The binary array format: dimensions, a has-nulls flag, the element type, then per
// dimension its length and lower bound, then each element with its length.
PgParams& PgParams::add_array(const std::vector<int>& values)
{
    std::string data;
    data.reserve(20 + values.size() * 12);
    append_be32(data, 1);
    append_be32(data, 0);
    append_be32(data, int8_oid);
    append_be32(data, std::uint32_t(values.size()));
    append_be32(data, 1);
    for (int value : values) {
        append_be32(data, 8);
        std::uint64_t network = htobe64(static_cast<std::uint64_t>(std::int64_t(value)));
        data.append(reinterpret_cast<const char*>(&network), sizeof network);
    }
    m_values.push_back(std::move(data));
    m_types.push_back(int8_array_oid);
    return *this;
}

std::vector<const char*> PgParams::pointers() const
{
    std::vector<const char*> pointers;
    for (const std::string& value : m_values)
        pointers.push_back(value.data());
    return pointers;
}

std::vector<int> PgParams::lengths() const
{
    std::vector<int> lengths;
    for (const std::string& value : m_values)
        lengths.push_back(int(value.size()));
    return lengths;
}

PgResult::PgResult(pg_result* result)
    : m_result(result)
{
}

PgResult::~PgResult()
{
    PQclear(m_result);
}

PgResult::PgResult(PgResult&& other) noexcept
    : m_result(other.m_result)
{
    other.m_result = nullptr;
}

int PgResult::rows() const
{
    return PQntuples(m_result);
}

const char* PgResult::cell(int row, int column, int& length) const
{
    if (row < 0 || row >= PQntuples(m_result) || column < 0 || column >= PQnfields(m_result))
        throw StorageError("result read out of range");
    length = PQgetlength(m_result, row, column);
    return PQgetvalue(m_result, row, column);
}

bool PgResult::is_null(int row, int column) const
{
    int length = 0;
    cell(row, column, length);
    return PQgetisnull(m_result, row, column);
}

std::int64_t PgResult::int64(int row, int column) const
{
    int length = 0;
    const char* data = cell(row, column, length);
    if (PQgetisnull(m_result, row, column))
        return 0; // As SQLite reads a NULL (an aggregate over no rows).
    Oid type = PQftype(m_result, column);
    if (type == int8_oid && length == 8) {
        std::uint64_t value;
        std::memcpy(&value, data, 8);
        return static_cast<std::int64_t>(be64toh(value));
    }
    if (type == int4_oid && length == 4) {
        std::uint32_t value;
        std::memcpy(&value, data, 4);
        return static_cast<std::int32_t>(be32toh(value));
    }
    if (type == int2_oid && length == 2) {
        std::uint16_t value;
        std::memcpy(&value, data, 2);
        return static_cast<std::int16_t>(be16toh(value));
    }
    if (type == bool_oid && length == 1)
        return data[0] != 0;
    throw StorageError("column " + std::to_string(column) + " is not a whole number");
}

std::string PgResult::bytes(int row, int column) const
{
    int length = 0;
    const char* data = cell(row, column, length);
    if (PQftype(m_result, column) != bytea_oid)
        throw StorageError("column " + std::to_string(column) + " is not bytes");
    return std::string(data, std::size_t(length));
}

Text PgResult::text(int row, int column) const
{
    std::string stored = bytes(row, column);
    if (std::optional<Text> units = decode_strict_wire_utf8(stored))
        return std::move(*units);
    return decode_wire_utf8(stored);
}

int PgResult::affected() const
{
    const char* count = PQcmdTuples(m_result);
    return count && *count ? std::atoi(count) : 0;
}

} // namespace corvane::server
