#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <cstdint>

namespace corvane {

// A user of the service. Field order is the wire order.
struct User {
    static constexpr WStringView signature = u"com.ulmar.viz.client.User/1322923742";

    WString account;
    std::int32_t id { -1 };
    WString name;

    // `name` when it is not empty, else `account`.
    const WString& display_name() const { return name.empty() ? account : name; }

    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const User&) const = default;
};

} // namespace corvane
