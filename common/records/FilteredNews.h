#pragma once

#include "common/records/User.h"
#include "common/records/VizTask.h"

#include <cstdint>
#include <vector>

namespace corvane {

// The reply of a news call: everything that changed since the client's news cursor. Field
// order is the wire order.
struct FilteredNews {
    static constexpr WStringView signature = u"com.ulmar.viz.client.FilteredNews/3460851421";

    std::vector<VizTask> tasks; // created or changed since the cursor
    std::int32_t cursor { 0 }; // the new news cursor
    std::vector<std::int32_t> taskStates; // groups of four: id, unreadCount, editable, marked
    std::vector<std::int32_t> removed;
    std::vector<User> users;
    std::vector<std::int32_t> seen; // ids whose `unread` is cleared
    std::vector<std::int32_t> cleared; // ids whose `unreadCount` becomes 0
    std::int32_t stamp { 0 }; // the new news stamp

    // Nothing but the cursor and the stamp to take.
    bool is_idle() const;

    // The tasks' changes are written (the service sends them with news).
    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const FilteredNews&) const = default;
};

} // namespace corvane
