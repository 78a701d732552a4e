#include "device/model/engine/Outbox.h"

#include "common/wire/ReplyWriter.h"
#include "device/core/File.h"
#include "device/core/Log.h"
#include "device/rpc/ReplyReader.h"

#include <array>
#include <cstring>
#include <random>

namespace corvane {

namespace {

    constexpr std::string_view file_header = "corvane outbox 1\n";
    // Each record starts with this marker so that a reader can find the next record after a
    // damaged one, whatever the damage did to its length.
    constexpr std::array<std::uint8_t, 4> record_marker { 0xC0, 0x0B, 0x0C, 0x5E };
    constexpr std::int32_t payload_version = 1;
    constexpr std::uint32_t max_record = 4u << 20;

    std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size)
    {
        static const auto table = [] {
            std::array<std::uint32_t, 256> t {};
            for (std::uint32_t i = 0; i < 256; ++i) {
                std::uint32_t c = i;
                for (int k = 0; k < 8; ++k)
                    c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[i] = c;
            }
            return t;
        }();
        std::uint32_t c = 0xFFFFFFFFu;
        for (std::size_t i = 0; i < size; ++i)
            c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
        return c ^ 0xFFFFFFFFu;
    }

    void put_u32(std::string& out, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }

    std::uint32_t get_u32(const std::uint8_t* p)
    {
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
            | std::uint32_t(p[3]) << 24;
    }

    std::string encode_payload(const OutboxEntry& entry)
    {
        ReplyWriter writer;
        writer.save_int(payload_version);
        writer.save_int(static_cast<std::int32_t>(entry.kind));
        writer.save_string(entry.key);
        writer.save_int(entry.owner);
        writer.save_string(entry.name);
        writer.save_string(entry.text);
        writer.save_int(entry.id);
        writer.save_int(entry.level);
        if (entry.kind == OutboxEntry::Kind::Save) {
            // The record reader takes progress as a count and drops its sign; these are signed
            // differences, so they travel again beside it.
            writer.save_int(entry.task.done);
            writer.save_int(entry.task.plan);
            entry.task.save(writer);
        }
        std::string bytes;
        writer.finish_utf8(bytes);
        return bytes;
    }

    bool decode_payload(const std::uint8_t* bytes, std::size_t size, OutboxEntry& entry)
    {
        ReplyReader reader;
        if (!reader.parse(bytes, size) || reader.is_exception())
            return false;
        if (reader.load_int() != payload_version)
            return false;
        std::int32_t kind = reader.load_int();
        if (kind < 1 || kind > 4)
            return false;
        entry.kind = static_cast<OutboxEntry::Kind>(kind);
        entry.key = WString(reader.load_string());
        entry.owner = reader.load_int();
        entry.name = WString(reader.load_string());
        entry.text = WString(reader.load_string());
        entry.id = reader.load_int();
        entry.level = reader.load_int();
        if (entry.kind == OutboxEntry::Kind::Save) {
            std::int32_t done = reader.load_int();
            std::int32_t plan = reader.load_int();
            if (!entry.task.load(reader))
                return false;
            entry.task.done = done;
            entry.task.plan = plan;
        }
        return !reader.has_error() && entry.key.size() == 32 && entry.owner != 0;
    }

} // namespace

std::int32_t OutboxEntry::target() const
{
    switch (kind) {
    case Kind::Save:
        return task.id;
    case Kind::Delete:
    case Kind::Permission:
        return id;
    case Kind::Ticket:
        break;
    }
    return -1;
}

Outbox::Outbox(WString path)
    : m_path(std::move(path))
{
}

WString Outbox::path_beside(WStringView cache_path)
{
    std::size_t slash = cache_path.find_last_of(u'/');
    WString folder(slash == WStringView::npos ? WStringView() : cache_path.substr(0, slash + 1));
    return folder + u"outbox.dat";
}

WString Outbox::new_key()
{
    // random_device draws from the system's entropy source: keys of two devices (or of two
    // runs of one) must not meet, which a time-seeded generator cannot promise.
    std::random_device device;
    static constexpr char16_t digits[] = u"0123456789abcdef";
    WString key;
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = device();
        for (int nibble = 0; nibble < 8; ++nibble)
            key.push_back(digits[(bits >> (4 * nibble)) & 0xF]);
    }
    return key;
}

std::string Outbox::encode(const std::deque<OutboxEntry>& entries)
{
    std::string out(file_header);
    for (const OutboxEntry& entry : entries) {
        std::string payload = encode_payload(entry);
        out.append(reinterpret_cast<const char*>(record_marker.data()), record_marker.size());
        put_u32(out, static_cast<std::uint32_t>(payload.size()));
        put_u32(out, crc32(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()));
        out += payload;
    }
    return out;
}

std::deque<OutboxEntry> Outbox::decode(const SharedBuffer& buffer, std::size_t& dropped)
{
    std::deque<OutboxEntry> entries;
    dropped = 0;
    const std::uint8_t* bytes = buffer.data();
    std::size_t size = buffer.size();
    std::size_t at = 0;
    if (size >= file_header.size()
        && std::memcmp(bytes, file_header.data(), file_header.size()) == 0)
        at = file_header.size();
    else if (size > 0)
        ++dropped; // a damaged header: the records may still be whole
    auto find_marker = [&](std::size_t from) {
        for (std::size_t i = from; i + record_marker.size() <= size; ++i) {
            if (std::memcmp(bytes + i, record_marker.data(), record_marker.size()) == 0)
                return i;
        }
        return size;
    };
    // Bytes skipped to reach a marker were a record whose marker was damaged.
    auto next_record = [&](std::size_t from) {
        std::size_t found = find_marker(from);
        if (found != from && from < size)
            ++dropped;
        return found;
    };
    at = dropped ? find_marker(0) : next_record(at);
    while (at < size) {
        constexpr std::size_t head = 12;
        bool whole = size - at >= head;
        std::uint32_t length = whole ? get_u32(bytes + at + 4) : 0;
        whole = whole && length <= max_record && length <= size - at - head;
        OutboxEntry entry;
        if (whole && crc32(bytes + at + head, length) == get_u32(bytes + at + 8)
            && decode_payload(bytes + at + head, length, entry)) {
            entries.push_back(std::move(entry));
            at = next_record(at + head + length);
            continue;
        }
        ++dropped;
        at = find_marker(at + 1);
    }
    return entries;
}

std::size_t Outbox::load()
{
    m_entries.clear();
    if (m_path.empty())
        return 0;
    std::optional<SharedBuffer> content = read_whole_file(m_path);
    if (!content)
        return 0;
    std::size_t dropped = 0;
    m_entries = decode(*content, dropped);
    if (dropped)
        get_log() << u"Outbox: " << to_wstring(std::uint64_t(dropped))
                  << u" damaged record(s) dropped from " << m_path << u", "
                  << to_wstring(std::uint64_t(m_entries.size())) << u" kept\n";
    return dropped;
}

bool Outbox::persist() const
{
    if (m_path.empty())
        return true;
    std::string bytes = encode(m_entries);
    // Holds the user's unsent work and the account it belongs to: owner-only, replaced whole.
    bool ok = write_file_atomically(m_path, bytes.data(), bytes.size(), true);
    if (!ok)
        get_log() << u"Outbox: could not write " << m_path << u"\n";
    return ok;
}

bool Outbox::add(OutboxEntry entry)
{
    m_entries.push_back(std::move(entry));
    return persist();
}

bool Outbox::remove(WStringView key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->key == key) {
            m_entries.erase(it);
            (void)persist();
            return true;
        }
    }
    return false;
}

std::size_t Outbox::discard(std::int32_t owner)
{
    std::size_t before = m_entries.size();
    std::erase_if(m_entries, [owner](const OutboxEntry& e) { return e.owner == owner; });
    std::size_t gone = before - m_entries.size();
    if (gone)
        (void)persist();
    return gone;
}

const OutboxEntry* Outbox::first_for(std::int32_t owner) const
{
    for (const OutboxEntry& entry : m_entries) {
        if (entry.owner == owner)
            return &entry;
    }
    return nullptr;
}

std::size_t Outbox::count_for(std::int32_t owner) const
{
    std::size_t n = 0;
    for (const OutboxEntry& entry : m_entries)
        n += entry.owner == owner ? 1 : 0;
    return n;
}

bool Outbox::has_task(std::int32_t owner, std::int32_t task_id) const
{
    for (const OutboxEntry& entry : m_entries) {
        if (entry.owner == owner && entry.target() == task_id)
            return true;
    }
    return false;
}

} // namespace corvane
