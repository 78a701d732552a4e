#include "device/net/HTTPWorker.h"

#include "device/platform/VirtualClock.h"

#include "device/core/Log.h"
#include "device/net/HTTPExchange.h"
#include "device/net/HTTPRequestListener.h"
#include "device/net/NetLog.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

namespace {

    class LiveWorkers {
    public:
        ~LiveWorkers()
        {
            // Static destruction: a killed worker may still be unwinding out of libcurl. Let it
            // finish before the TLS library's own exit handlers pull its state away.
            wait(3000);
        }
        void add()
        {
            std::lock_guard lock(m_mutex);
            ++m_count;
        }
        void remove()
        {
            std::lock_guard lock(m_mutex);
            --m_count;
            m_changed.notify_all();
        }
        bool wait(std::uint32_t milliseconds)
        {
            std::unique_lock lock(m_mutex);
            return m_changed.wait_for(
                lock, std::chrono::milliseconds(milliseconds), [&] { return m_count == 0; });
        }

    private:
        std::mutex m_mutex;
        std::condition_variable m_changed;
        int m_count { 0 };
    };

    LiveWorkers& live_workers()
    {
        static LiveWorkers s_workers;
        return s_workers;
    }

    // Receives the reply from the transfer and hands it over piece by piece.
    class ReplySink final : public HttpTransferSink {
    public:
        explicit ReplySink(HTTPExchange& exchange)
            : m_exchange(exchange)
        {
        }

        bool headers_seen() const { return m_headers_seen; }
        bool broke_off() const { return m_broke_off; }

        bool on_headers(const std::vector<std::string>& lines) override
        {
            WString block;
            for (const std::string& line : lines) {
                block += narrow_to_wide(line);
                block.push_back(u'\0');
            }
            if (!block.empty()) {
                m_exchange.headers = std::move(block);
                if (!hand_over(WorkerMessage::Headers))
                    return false;
            }
            m_headers_seen = true;
            // An empty chunk first, so that the listener hears of the body before any of it
            // arrives.
            m_exchange.chunk = SharedBuffer();
            m_exchange.status_key = status_server_busy;
            if (!m_exchange.post(WorkerMessage::Data))
                return false;
            get_log() << u"HTTPRequestImpl::RunL before data cycle\n";
            m_exchange.resume.wait();
            return !m_exchange.should_end_quietly();
        }

        bool on_body(const std::uint8_t* bytes, std::size_t size) override
        {
            while (size > 0) {
                if (m_exchange.should_end_quietly())
                    return false;
                auto length
                    = static_cast<std::uint32_t>(std::min<std::size_t>(size, max_chunk_size));
                get_log() << u"Request id=" << m_exchange.id << u" data {" << length
                          << u"}available at " << log_seconds() << u"\n";
                // A fresh buffer each time: the main thread may keep the previous one.
                m_exchange.chunk = SharedBuffer(bytes, length);
                if (!hand_over(WorkerMessage::Data)) {
                    m_broke_off = true;
                    return false;
                }
                bytes += length;
                size -= length;
            }
            return true;
        }

    private:
        // Posts a message of an exchange still under way and waits until the main thread is done
        // with it. False when the worker is to end instead of going on.
        bool hand_over(WorkerMessage message)
        {
            m_exchange.status_key = status_server_busy;
            if (!m_exchange.post(message))
                return false;
            m_exchange.resume.wait();
            return !m_exchange.should_end_quietly();
        }

        HTTPExchange& m_exchange;
        bool m_headers_seen { false };
        bool m_broke_off { false };
    };

    void end_with_failure(HTTPExchange& exchange)
    {
        exchange.status_key = status_server_send_failed;
        exchange.post(WorkerMessage::Failed);
    }

    // Brings the data connection up, polling its status until it is there. False when the exchange
    // is over (failure reported, or the request went away).
    bool bring_up_connection(HTTPExchange& exchange, std::unique_ptr<ConnectionManager> manager)
    {
        if (!manager->establish_connection()) {
            get_log() << u"ConnMgrEstablishConnection failed\n";
            end_with_failure(exchange);
            return false;
        }
        // No limit on the polls: the watchdog on the main thread bounds the wait.
        for (;;) {
            get_log() << u"HTTPRequestImpl::run() id= " << exchange.id << u" iteration1\n";
            ConnectionManager::Status status = manager->connection_status();
            if (status == ConnectionManager::Status::Connected)
                break;
            if (status == ConnectionManager::Status::Disconnected) {
                get_log() << u"status == CONNMGR_STATUS_DISCONNECTED at " << log_seconds() << u"\n";
                end_with_failure(exchange);
                return false;
            }
            if (exchange.should_end_quietly() || exchange.cancel_requested()) {
                get_log() << u"HTTPRequestImpl::run() place 4 id=" << exchange.id << u"\n";
                end_with_failure(exchange);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        exchange.keep_connection(std::move(manager));
        return true;
    }

} // namespace

void run_exchange(HTTPExchange& exchange)
{
    get_log() << u"HTTPRequestImpl::run() id=" << exchange.id << u" 1\n";
    get_log() << u"Examining cellcore.dll\n";
    std::unique_ptr<ConnectionManager> manager
        = exchange.load_connection_manager ? exchange.load_connection_manager() : nullptr;
    if (manager) {
        get_log() << u"ConnMgrEstablishConnection found\n";
        get_log() << u"ConnMgrConnectionStatus found\n";
        get_log() << u"ConnMgrReleaseConnection found\n";
        if (!bring_up_connection(exchange, std::move(manager)))
            return;
    }
    // Without a connection manager the request goes out on whatever network the system has.

    ReplySink sink(exchange);
    TransferResult result
        = exchange.transfer->perform(exchange.body.data(), exchange.body.size(), sink);
    if (exchange.is_killed())
        return; // as if the thread had been terminated: not another word
    if (exchange.should_end_quietly()) {
        if (sink.broke_off())
            get_log() << u"Request id=" << exchange.id << u" Break at " << log_seconds() << u"\n";
        return;
    }
    if (result == TransferResult::Completed) {
        get_log() << u"Request id=" << exchange.id << u" Success at " << log_seconds() << u"\n";
        exchange.status_key = status_server_success;
        exchange.post(WorkerMessage::Finished);
        return;
    }
    if (sink.headers_seen())
        get_log() << u"Request id=" << exchange.id << u" Failed 2 at " << log_seconds() << u"\n";
    end_with_failure(exchange);
}

void note_worker_started()
{
    live_workers().add();
    VirtualClock::outside_work_started();
}

void note_worker_ended()
{
    VirtualClock::outside_work_ended();
    live_workers().remove();
}

bool wait_for_workers(std::uint32_t milliseconds)
{
    return live_workers().wait(milliseconds);
}

} // namespace corvane
