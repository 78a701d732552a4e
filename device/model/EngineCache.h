#pragma once

#include "common/records/AuthInfo.h"
#include "common/records/Filter.h"
#include "common/records/Task.h"
#include "common/records/User.h"

#include <cstdint>
#include <vector>

namespace corvane {

// The single object of the cache file: the part of the engine's state that survives a
// restart. Written with a ReplyWriter as if it were a successful reply and read back with
// the reply reader.
struct EngineCache {
    static constexpr WStringView signature = u"com.ulmar.viz.client.cpp.Engine/4";

    EngineCache() { listCursor.id = 0; }

    AuthInfo auth;
    WString loginKey;
    std::vector<Task> tasks; // sorted by id
    Task listCursor; // the last task of the filtered list fetched; id 0 = none
    std::vector<User> users;
    Filter filter;
    std::int32_t listProject { -1 }; // -1 = all projects
    bool morePages { true };

    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled,
    // which is why a cache that does not read resets the whole session.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const EngineCache&) const = default;
};

} // namespace corvane
