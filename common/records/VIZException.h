#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

namespace corvane {

// The only exception the service throws at the client: an error key such as "NOT_LOGGED".
struct VIZException {
    static constexpr WStringView signature = u"com.ulmar.viz.client.VIZException/1576971601";

    WString key;

    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const VIZException&) const = default;
};

} // namespace corvane
