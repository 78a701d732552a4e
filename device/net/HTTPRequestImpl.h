#pragma once

#include "common/base/Text.h"
#include "device/core/ActiveTimer.h"
#include "device/core/CActive.h"
#include "device/core/SharedBuffer.h"
#include "device/core/WorkerThread.h"
#include "device/net/HTTPExchange.h"

#include <cstdint>
#include <memory>

namespace corvane {

class HTTPRequest;

// The working half of an HTTPRequest: a worker thread that talks to the network, an active
// object through which every result comes back to the main thread, and the watchdog that ends
// an exchange in which nothing happens for the watchdog period.
//
// run() is on the worker thread (and only touches the shared exchange); everything else is on
// the main thread. A kill or a time-out does not wait for the worker: it is told to stop, its
// transfer is aborted, and from then on it can no longer reach this object or the listener.
class HTTPRequestImpl final : public WorkerThread, public CActive, private ActiveTimerListener {
public:
    // Null when the URL is not one that can be requested.
    static std::unique_ptr<HTTPRequestImpl> create(
        HTTPRequest& owner, WStringView url, WStringView verb, WStringView user_agent);
    HTTPRequestImpl(HTTPRequest& owner, std::unique_ptr<HttpTransfer> transfer);
    ~HTTPRequestImpl() override;

    [[nodiscard]] bool add_header(WStringView line);
    // Not yet sent and not killed.
    bool can_send() const;
    // Starts the exchange: the worker and the watchdog.
    void begin(const SharedBuffer& body);
    // True when this call ended the exchange, so that the caller reports the failure; false when
    // it was already killed or already over.
    bool kill();

    // The period after which an exchange without news fails: 10 seconds. Tests shorten it.
    static void set_watchdog_period(double seconds);
    static double watchdog_period();
    // This exchange's own period, for a call the service answers late on purpose; 0 = the
    // common one. Set before begin().
    void set_patience(double seconds) { m_patience = seconds; }
    // Where workers get the data-connection manager; the platform's unless tests replace it.
    static void set_connection_manager_loader(ConnectionManagerLoader loader);

private:
    void run() override;
    void RunL() override;
    void DoCancel() override; // makes the worker post promptly
    void timer_fired(ActiveTimer& timer, int reserved) override;
    void timeout_timer();

    void handle_data();
    // False when the reply is not 2xx.
    bool handle_headers();
    void handle_header(const WString& name, const WString& value);
    void resume_worker();

    HTTPRequest& m_owner; // Owns us.
    std::shared_ptr<HTTPExchange> m_exchange;
    ActiveTimer m_timer;
    std::uint32_t m_total { 0 }; // expected length; 0 = unknown
    std::uint32_t m_received { 0 };
    bool m_range_seen { false };
    bool m_sent { false };
    double m_patience { 0 };
    bool m_started { false }; // the worker thread was created
    bool m_finished { false }; // the listener heard the end from a worker message
};

} // namespace corvane
