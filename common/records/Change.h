#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <cstdint>

namespace corvane {

// One entry of a task's history and chat: the comment written with it and the new values of
// the properties it changed. Field order is the wire order; the defaults are the
// "unchanged" values.
struct Change {
    static constexpr WStringView signature = u"com.ulmar.viz.client.Change/1784753330";
    static constexpr std::int32_t kind_shared = 4;
    static constexpr std::int32_t kind_unshared = 5;

    std::int32_t kind { 0 };
    WString text; // the comment
    std::int32_t complete { -1 }; // -1 = unchanged
    std::int64_t deadline { 0 }; // Long; 0 = unchanged
    bool flag { false };
    std::int32_t doneDelta { 0 };
    std::int32_t planDelta { 0 };
    std::int32_t changeId { 0 }; // position in the service's history
    std::int32_t value4 { 0 };
    WString title; // empty = unchanged
    std::int32_t responsibleId { 0 }; // 0 = unchanged
    std::int32_t status { -2 }; // -2 = unchanged
    std::int64_t time { 0 }; // Long; when the change was made (ms since 1970)
    std::int32_t userId { 0 }; // kinds 4 and 5: the user given or losing access
    std::int32_t authorId { 0 };

    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const Change&) const = default;
};

} // namespace corvane
