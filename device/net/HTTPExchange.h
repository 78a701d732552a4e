#pragma once

#include "common/base/Text.h"
#include "device/core/SharedBuffer.h"
#include "device/core/WorkerThread.h"
#include "device/platform/HttpTransport.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace corvane {

class CActive;

using ConnectionManagerLoader = std::function<std::unique_ptr<ConnectionManager>()>;

// The messages a worker posts to the main thread.
enum class WorkerMessage : int {
    Data = 0, // a chunk (possibly empty) is in `chunk`
    Headers = 1, // the raw header block is in `headers`
    Failed = 2,
    Finished = 3, // the end of the reply body was reached
};

// What one request's main-thread side and its worker share. Each side holds a reference, so a
// worker that was killed and is still leaving the network code never touches freed memory, and
// the request object may go away without waiting for it.
class HTTPExchange {
public:
    HTTPExchange(
        std::int32_t id, std::unique_ptr<HttpTransfer> transfer, ConnectionManagerLoader loader);
    HTTPExchange(const HTTPExchange&) = delete;
    HTTPExchange& operator=(const HTTPExchange&) = delete;

    // Fixed before the worker starts.
    const std::int32_t id;
    const std::unique_ptr<HttpTransfer> transfer; // abort() from any thread
    const ConnectionManagerLoader load_connection_manager;
    SharedBuffer body;

    // The hand-over: the worker writes these, then posts and waits on `resume`; the main thread
    // reads them in RunL and sets `resume` when it is done with them.
    WorkerMessage message { WorkerMessage::Data };
    WString status_key;
    WString headers;
    SharedBuffer chunk;
    EventObject resume { EventReset::Automatic };

    // Set by the worker once it holds its own reference; after that the request object may go.
    EventObject entered { EventReset::Manual };

    // Main thread: the active object that post() completes. Cleared before that object dies.
    void attach(CActive& target);
    void detach();

    // Worker: stores `message` and notifies the target. Refused (false) once the request was
    // killed or asked to stop; the worker then ends without reporting anything.
    bool post(WorkerMessage message);
    // Main thread: whether a posted message waits to be run; clears the mark.
    bool take_posted();
    bool is_posted() const;

    // Main thread. The listener has been told the exchange is over; the worker must end without
    // another word. False when it was already killed.
    bool kill();
    bool is_killed() const;

    // Main thread, from the destructor: end quietly after the next wait.
    void request_stop();
    // Main thread, from DoCancel: abort the transfer and report the failure promptly.
    void request_cancel();
    // Worker: whether it should end without posting.
    bool should_end_quietly() const { return m_stop.load() || is_killed(); }
    bool cancel_requested() const { return m_cancel.load(); }

    // The data connection that the worker brought up, released by the request's destructor.
    void keep_connection(std::unique_ptr<ConnectionManager> connection);
    std::unique_ptr<ConnectionManager> take_connection();

private:
    mutable std::mutex m_mutex; // guards the fields below against post() on the worker
    CActive* m_target { nullptr };
    bool m_killed { false };
    bool m_posted { false };
    std::unique_ptr<ConnectionManager> m_connection;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_cancel { false };
};

} // namespace corvane
