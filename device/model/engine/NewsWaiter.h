#pragma once

#include "common/base/Text.h"
#include "device/core/ActiveTimer.h"
#include "device/net/HTTPRequestListener.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace corvane {

class HTTPRequest;

// Keeps one waitNews call open on a request of its own, beside the engine's one call at a
// time: it never holds the queue, the outbox or their order. When the service answers that
// others' changes are past the cursor, the owner hears it and asks for the news itself.
// A service without the call (ERROR_NOT_SUPPORTED, or an exception that is not the service's
// own) ends the waiting for good, and the owner's slow poll stays in charge; a network failure
// or a refusal tries again after a delay that doubles up to a minute. Main thread only; needs a
// running CActiveScheduler.
class NewsWaiter final : private HTTPRequestListener, private ActiveTimerListener {
public:
    // `news_past` gets the service's cursor when news is waiting past the one sent;
    // `refused` gets the key of any other exception (NOT_LOGGED, ...); the waiter tries again
    // after its retry delay, with the session and cursor start() gave it last.
    struct Reports {
        std::function<void(std::int32_t cursor)> news_past;
        std::function<void(WStringView key)> refused;
    };

    NewsWaiter(const ServiceIdentity& identity, Reports reports);
    ~NewsWaiter() override; // ends the call in flight
    NewsWaiter(const NewsWaiter&) = delete;
    NewsWaiter& operator=(const NewsWaiter&) = delete;

    // Waits for news past `cursor`; with a call already open (or a retry due) only the next
    // call's session and cursor change. Nothing once the service has refused the call.
    void start(WStringView session, std::int32_t cursor);
    // Ends the call in flight and any retry (logout, a new session).
    void stop();

    // Others' changes reach us within seconds: a wait is open and the last one did not fail.
    // Between an answer and the news call it asks for, nothing is open, so the owner's poll
    // is not held off by a news call that failed.
    bool is_live() const { return m_request && m_supported && m_failures == 0; }
    bool is_supported() const { return m_supported; }

    // How long the service may hold the call (it answers after 25 seconds) before the
    // exchange counts as lost.
    static constexpr double patience_seconds = 40.0;
    static constexpr double max_retry_delay = 60.0;

private:
    void send();
    void on_reply(const SharedBuffer& body);
    void failed();

    // HTTPRequestListener
    void on_status(HTTPRequest&, double, WStringView) override { }
    void on_failed(HTTPRequest& request) override;
    void on_complete(HTTPRequest& request, const SharedBuffer& body) override;
    bool on_data(HTTPRequest&, const SharedBuffer&) override { return false; }
    void on_http_header(HTTPRequest&, WStringView, WStringView) override { }
    void on_content_length(HTTPRequest&, std::uint32_t) override { }
    bool on_content_range(HTTPRequest&, std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return false;
    }

    void timer_fired(ActiveTimer& timer, int reserved) override;

    ServiceCalls m_calls;
    ReplyReader m_reader;
    Reports m_reports;
    WString m_session;
    std::int32_t m_cursor { 0 };
    bool m_active { false };
    bool m_supported { true };
    int m_failures { 0 };
    double m_retry_delay { 1.0 };
    std::unique_ptr<HTTPRequest> m_request;
    std::unique_ptr<ActiveTimer> m_retry_timer; // made when first needed
};

} // namespace corvane
