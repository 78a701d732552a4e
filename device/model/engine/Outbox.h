#pragma once

#include "common/base/Text.h"
#include "common/records/Task.h"
#include "device/core/SharedBuffer.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace corvane {

// One change made on this device that the service has not confirmed yet.
struct OutboxEntry {
    enum class Kind : std::int32_t {
        Save = 1, // createTask (task id -1) or updateTask; done and plan are differences
        Delete = 2,
        Permission = 3,
        Ticket = 4,
    };

    Kind kind { Kind::Save };
    WString key; // sent as Idempotency-Key: 128 random bits as 32 hex digits
    std::int32_t owner { 0 }; // the account (user id) that made the change
    Task task; // Save: the edit
    WString text; // Save: the comment; Permission: the address; Ticket: the ticket
    std::int32_t id { -1 }; // Delete: the task; Permission: the project
    std::int32_t level { 0 }; // Permission
    WString name; // the task's title when the change was made, for messages

    // The task the change is about, -1 for a creation or a ticket.
    std::int32_t target() const;
    bool operator==(const OutboxEntry&) const = default;
};

// The changes still to send, in the order they were made, kept in a file beside the cache.
// Each change is written to disk (a flushed temporary file renamed over the old one) before
// add() returns, so it survives an exit, a crash or a power cut. Each record carries a marker,
// its length and a checksum: a damaged record is dropped alone and the rest is kept.
// Main thread only.
class Outbox {
public:
    // An empty path keeps the entries in memory only.
    explicit Outbox(WString path = {});

    // The outbox beside a cache file: "…/cache.dat" gives "…/outbox.dat".
    static WString path_beside(WStringView cache_path);
    static WString new_key();

    // Reads the file, replacing what is held; a missing file is an empty outbox. Answers how
    // many damaged records were dropped (each one is logged).
    std::size_t load();
    // False when the file could not be written (the entry is still held and will be sent).
    [[nodiscard]] bool add(OutboxEntry entry);
    // Drops the entry with that key; false when there is none.
    bool remove(WStringView key);
    // Drops every entry of the account; answers how many.
    std::size_t discard(std::int32_t owner);

    const std::deque<OutboxEntry>& entries() const { return m_entries; }
    const OutboxEntry* first_for(std::int32_t owner) const;
    std::size_t count_for(std::int32_t owner) const;
    bool has_task(std::int32_t owner, std::int32_t task_id) const;
    const WString& path() const { return m_path; }

    // The file's bytes for these entries, and the entries read back from them; `dropped`
    // counts the damaged records skipped.
    static std::string encode(const std::deque<OutboxEntry>& entries);
    static std::deque<OutboxEntry> decode(const SharedBuffer& bytes, std::size_t& dropped);

private:
    bool persist() const;

    WString m_path;
    std::deque<OutboxEntry> m_entries;
};

} // namespace corvane
