#pragma once

#include "common/base/Text.h"
#include "device/core/SharedBuffer.h"

#include <cstdint>

namespace corvane {

class HTTPRequest;

// The status keys handed to on_status; callers use the same words.
inline constexpr char16_t status_server_busy[] = u"ServerBusy"; // under way, or a non-2xx reply
inline constexpr char16_t status_server_send_failed[]
    = u"ServerSendFailed"; // no reply: failure, kill, time-out
inline constexpr char16_t status_server_success[] = u"ServerSuccess"; // the whole reply was read

// Receives every notification of one HTTPRequest, always on the main thread. Each exchange ends
// with exactly one on_complete or on_failed, preceded by on_status with progress 1.0; the
// listener may delete the request inside those two calls, and only there.
class HTTPRequestListener {
public:
    virtual ~HTTPRequestListener() = default;
    // `progress` runs from 0.0 to 1.0.
    virtual void on_status(HTTPRequest& request, double progress, WStringView key) = 0;
    virtual void on_failed(HTTPRequest& request) = 0;
    // `body` is the whole reply body: every chunk that on_data did not take, in order.
    virtual void on_complete(HTTPRequest& request, const SharedBuffer& body) = 0;
    // True when the listener consumed the chunk itself; false keeps it for on_complete.
    virtual bool on_data(HTTPRequest& request, const SharedBuffer& chunk) = 0;
    // A reply header not handled as content length or range; `name` is lower case.
    virtual void on_http_header(HTTPRequest& request, WStringView name, WStringView value) = 0;
    virtual void on_content_length(HTTPRequest& request, std::uint32_t length) = 0;
    // True when only the range itself should count as the expected length.
    virtual bool on_content_range(
        HTTPRequest& request, std::uint32_t first, std::uint32_t last, std::uint32_t total)
        = 0;
};

} // namespace corvane
