#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <cstdint>

namespace corvane {

// One participant or invitation of a shared project. Field order is the wire order.
struct Permission {
    static constexpr WStringView signature = u"com.ulmar.viz.client.Permission/169400797";

    std::int32_t level { 0 }; // the client sets 2 to share or invite and 0 to remove
    WString email;
    std::int32_t userId { 0 }; // 0 when no user is attached (a pending invitation)

    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const Permission&) const = default;
};

} // namespace corvane
