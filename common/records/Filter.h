#pragma once

#include "common/records/VizTask.h"

#include <cstdint>
#include <vector>

namespace corvane {

// How a read treats the status array: the client keeps its own array's size, the service takes
// the array as it was sent.
enum class StatusArrayFit {
    KeepSize,
    TakeSent,
};

// The client's view filter: sent with the list calls and kept in the cache. Field order is
// the wire order.
struct Filter {
    static constexpr WStringView signature = u"com.ulmar.viz.client.Filter/317688809";
    static constexpr std::size_t status_count = 6;

    bool enabled { true };
    std::vector<bool> statuses = std::vector<bool>(status_count, true); // shown per status
    bool option { true };
    std::int32_t responsible { -1 }; // -1 = any user

    // `responsible` is -1 or the task's responsible user, and the task's status is an index
    // of `statuses` whose element is set.
    bool matches(const VizTask& task) const;

    void save(RpcWriter& writer) const;
    // With KeepSize, `statuses` keeps its size: extra elements are read and dropped, missing
    // ones keep their values. A null object leaves the record as it is; a failed read may leave
    // it partly filled.
    [[nodiscard]] bool load(RpcReader& reader, StatusArrayFit fit = StatusArrayFit::KeepSize);

    bool operator==(const Filter&) const = default;
};

} // namespace corvane
