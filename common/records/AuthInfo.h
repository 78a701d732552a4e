#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <cstdint>

namespace corvane {

// The login result and the client's session state. Field order is the wire order.
struct AuthInfo {
    static constexpr WStringView signature = u"com.ulmar.viz.client.AuthInfo/1749066765";

    std::int32_t newsCursor { 0 }; // newest news known; start of news and change reads
    WString session; // first argument of every call after login
    std::int32_t userId { 0 }; // 0 = not logged in
    WString serverVersion; // the client accepts only "6"
    std::int32_t newsStamp { 0 };

    void save(RpcWriter& writer) const;
    // A null object leaves the record as it is. On failure the record may be partly filled;
    // read into a scratch record when the old state matters.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const AuthInfo&) const = default;
};

} // namespace corvane
