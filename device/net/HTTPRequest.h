#pragma once

#include "common/base/Text.h"
#include "device/core/SharedBuffer.h"
#include "device/net/HTTPRequestListener.h"

#include <cstdint>
#include <list>
#include <memory>

namespace corvane {

class HTTPRequestImpl;

// One HTTP exchange: posts one body and reports headers, data, progress and the end to its
// listener on the main thread (see HTTPRequestListener). Deleting the request ends the exchange.
// Main thread only; needs a running CActiveScheduler.
//
// A request that could not be set up (a URL that is not http or https with a host, a refused
// header) fails inside send_request, before it returns false. A request is sent once; a second
// send, or a send after kill_request, fails the same way.
class HTTPRequest {
public:
    // The listener must outlive the request, or delete it from on_complete or on_failed.
    HTTPRequest(
        WStringView url, WStringView verb, HTTPRequestListener& listener, WStringView user_agent);
    ~HTTPRequest();
    HTTPRequest(const HTTPRequest&) = delete;
    HTTPRequest& operator=(const HTTPRequest&) = delete;

    // One complete header line, "Name: value". A refused line makes send_request fail.
    bool add_header(WStringView line);
    // How long this exchange may go without news before it fails, instead of the watchdog
    // period: for a call the service holds on purpose. Call before send_request.
    void set_patience(double seconds);
    // Starts the exchange; false when it failed at once (the listener has heard of it already).
    bool send_request(const SharedBuffer& body);
    // Ends an exchange under way: the listener hears "ServerSendFailed" and on_failed, at once.
    // Does nothing when the exchange is already over or was killed before.
    void kill_request();

    const WString& url() const { return m_url; }
    HTTPRequestListener& listener() const { return *m_listener; }

    // The watchdog period, 10 seconds. Only tests change it.
    static void set_watchdog_period(double seconds);
    // True when every worker thread has left, at once or within `milliseconds`. Workers of
    // killed requests leave shortly after the kill; call this before the process exits.
    static bool wait_for_workers(std::uint32_t milliseconds);

private:
    friend class HTTPRequestImpl;
    void keep_chunk(const SharedBuffer& chunk) { m_chunks.push_back(chunk); }
    // The kept chunks joined in arrival order; empties the list.
    SharedBuffer take_chunks();
    void fail_at_once();

    std::unique_ptr<HTTPRequestImpl> m_impl; // null when setting up failed
    WString m_url;
    std::list<SharedBuffer> m_chunks;
    HTTPRequestListener* m_listener; // Not owned.
};

} // namespace corvane
