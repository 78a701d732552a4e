#pragma once

#include "common/records/VizTask.h"

#include <cstdint>
#include <vector>

namespace corvane {

// The client's own task: the service's record plus what the client knows about its place in
// the tree and in the filtered list. Kept in memory and in the cache file.
struct Task : VizTask {
    static constexpr WStringView signature = u"com.ulmar.viz.client.cpp.Task/3";

    std::vector<std::int32_t> childIds; // the loaded sub-tasks
    bool childrenPending { true }; // the sub-tasks have not been loaded yet
    bool listed { false }; // belongs to the current filtered list
    bool matchesFilter { false }; // matched the Filter when last merged

    // Not cached: the loaded history, newest first, and whether older entries may exist.
    std::vector<Change> loadedChanges;
    bool moreChanges { true };

    // The task as a nested VizTask object with its own signature, then the cached fields.
    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const Task&) const = default;
};

} // namespace corvane
