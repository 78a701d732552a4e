#pragma once

#include "common/base/Text.h"
#include "common/records/AuthInfo.h"
#include "common/records/Filter.h"
#include "common/records/Task.h"
#include "common/records/User.h"
#include "device/core/ActiveTimer.h"
#include "device/core/SharedBuffer.h"
#include "device/model/engine/IdQueue.h"
#include "device/model/engine/Outbox.h"
#include "device/net/HTTPRequestListener.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace corvane {

class EngineListener;
struct FilteredNews;
class HTTPRequest;
class NewsWaiter;
struct VizList;

// The client's model of the task service: the session, every known task and user, the queues
// of work still to send, and the choice of the next call. Exactly one call is in flight at a
// time; replies are merged into the model and reported to the listener. Main thread only.
class Engine final : private HTTPRequestListener, private ActiveTimerListener {
public:
    static constexpr double max_retry_delay = 60.0;

    // `base_url` ends with "/"; calls go to base_url + "service". The listener outlives us.
    Engine(WStringView base_url, EngineListener& listener);
    ~Engine() override; // kills the call in flight
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Language texts for user_name(); the key itself until set.
    void set_translator(std::function<WString(WStringView)> translate)
    {
        m_translate = std::move(translate);
    }

    // Screen operations.
    void login(WStringView email, WStringView password, WStringView name = {});
    void logout();
    void open_task(std::int32_t id);
    void open_folder(std::int32_t id);
    void load_task(std::int32_t id);
    void more_changes(std::int32_t id);
    // Changes for the service: each is in the outbox file before the call returns, and leaves
    // it when the service's reply has been applied (or the service refused it for good).
    void save_task(const Task& task, WStringView comment);
    void change_permission(std::int32_t project_id, WStringView text, std::int32_t level);
    void delete_task(std::int32_t id);
    void refresh_list();
    void set_filter(const Filter& filter, bool refresh);
    void set_list(std::int32_t project_id, WStringView text, bool refresh);
    void retry() { next_step(); }
    // Asks for the news of everything shown with the next call (start-up, "retry").
    void request_news() { m_news_requested = true; }
    // Keeps a waitNews call open beside the queue while logged in, so others' changes arrive
    // within seconds rather than at the owner's next poll. Off until switched on.
    void listen_for_news(bool on);
    // Others' changes arrive by themselves: the owner's poll is not needed.
    bool hears_news_live() const;
    bool task_pending(std::int32_t id) const;
    // Whether a page of the task's history is asked for or on its way.
    bool changes_pending(std::int32_t id) const { return m_changes_queue.contains(id); }
    WString user_name(std::int32_t id);
    // Reads the clipboard; a ticket found there is taken off it and redeemed when idle.
    // The owner calls this whenever the engine becomes idle without an error.
    void check_clipboard_ticket();
    // Ends the call in flight (program exit, logout).
    void kill_request();

    // The outbox file (normally beside the cache); loads what an earlier run left unsent.
    void open_outbox(WStringView path);
    const Outbox& outbox() const { return m_outbox; }
    // Changes of the logged-in account that the service has not confirmed yet.
    std::size_t unsent_count() const;
    // Drops them (the user chose to log out without them).
    void discard_unsent();

    // Cache file: the reply form of one cached engine record, UTF-8, private to the user.
    enum class CacheLoad { Missing, Loaded, Unparsable, Reset };
    CacheLoad load_cache(WStringView path);
    // The same from the file's bytes.
    CacheLoad load_cache_bytes(const SharedBuffer& content);
    [[nodiscard]] bool save_cache(WStringView path) const;
    // The bytes save_cache writes.
    std::string cache_bytes() const;

    // The model, read by the screens.
    const Task* find_task(std::int32_t id) const;
    const std::vector<std::unique_ptr<Task>>& tasks() const { return m_tasks; }
    const std::vector<WString>& tags() const { return m_tags; }
    const std::vector<std::int32_t>& participants() const { return m_participants; }
    const User* find_user(std::int32_t id) const;
    const std::vector<User>& users() const { return m_users; }
    const Filter& filter() const { return m_filter; }
    std::int32_t list_project() const { return m_list_project; }
    const WString& list_text() const { return m_list_text; }
    const Task& list_cursor() const { return m_list_cursor; }
    bool more_pages() const { return m_more_pages; }
    // A page of the filtered list is asked for or on its way.
    bool is_list_loading() const { return m_list_refresh_requested; }
    bool is_busy() const { return m_busy; }
    bool is_logged_in() const { return m_auth.userId != 0; }
    const AuthInfo& auth() const { return m_auth; }
    const WString& login_key() const { return m_login_key; }
    const WString& pending_key() const { return m_pending_key; }
    bool has_pending_save() const;
    const std::set<std::int32_t>& missing_users() const { return m_missing_users; }
    // Whether the task's parent chain reaches the root through loaded tasks.
    bool is_attached(std::int32_t id) const;

private:
    static WString sendable(WStringView text);
    friend struct EngineProbe; // the benchmark feeds replies without a network

    enum class MergeFlag { MainList, Page };
    using ChangedIds = std::vector<std::int32_t>; // may repeat; applied once each

    // HTTPRequestListener
    void on_status(HTTPRequest&, double, WStringView) override { }
    void on_failed(HTTPRequest& request) override;
    void on_complete(HTTPRequest& request, const SharedBuffer& body) override;
    bool on_data(HTTPRequest&, const SharedBuffer&) override { return false; }
    void on_http_header(HTTPRequest& request, WStringView name, WStringView value) override;
    void on_content_length(HTTPRequest&, std::uint32_t) override { }
    bool on_content_range(HTTPRequest&, std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return false;
    }

    // A name asked for while idle: fetch the user soon, outside the drawing that asked.
    void timer_fired(ActiveTimer& timer, int reserved) override;

    // Sending and the reply dispatcher.
    void next_step();
    void send(std::optional<RemoteCall> call, WStringView idempotency_key = {});
    void send_change(const OutboxEntry& entry);
    void record(OutboxEntry entry);
    // The account changes belong to: the session's user, kept through a silent re-login.
    std::int32_t account() const { return m_auth.userId ? m_auth.userId : m_account; }
    // The reply to the change in flight was applied (or refused for good): it leaves.
    void change_done(bool refused);
    const OutboxEntry* sending_entry() const;
    void on_reply(const SharedBuffer& body);
    void apply_reply(WStringView key);

    // The reply handlers, one per kind of reply (apply_reply holds the table from call to
    // handler). Each reads the reply and merges it; the dispatcher then sends the next call,
    // reports a malformed reply, or leaves an error the handler reported as it is.
    enum class ReplyStep { Next, Malformed, Reported };
    using ReplyHandler = ReplyStep (Engine::*)(WStringView key);
    ReplyStep on_login_key(WStringView key);
    ReplyStep on_authenticated(WStringView key);
    ReplyStep on_deleted(WStringView key);
    ReplyStep on_permission_changed(WStringView key);
    ReplyStep on_ticket_activated(WStringView key);
    ReplyStep on_task_saved(WStringView key);
    ReplyStep on_users(WStringView key);
    ReplyStep on_changes(WStringView key);
    ReplyStep on_tasks_loaded(WStringView key);
    ReplyStep on_viewed(WStringView key);
    ReplyStep on_children(WStringView key);
    ReplyStep on_list(WStringView key);
    ReplyStep on_news(WStringView key);
    void refused_or_refresh(bool ok, std::int32_t id);
    void report_error(WStringView key);
    void set_busy(bool busy);
    void forget_list_reply();
    void schedule_retry();
    void queue_and_step();

    // The model.
    Task& task(std::int32_t id); // finds or creates
    Task* find_mutable(std::int32_t id);
    void merge(const VizTask& incoming, MergeFlag flag, ChangedIds& changed);
    void apply_changed(ChangedIds changed);
    void apply_news(const FilteredNews& news);
    void detach_subtree(std::int32_t id);
    void rebuild_tags();
    void recompute_participants();
    void store_user(const User& user);
    void reset_session();
    void restart_list(bool refresh);
    // Starts (or moves on) the open waitNews call from the current session and cursor.
    void resume_news_wait();
    void on_news_past(std::int32_t cursor);

    ServiceCalls m_calls;
    ReplyReader m_reader;
    EngineListener& m_listener; // Owns us.
    std::function<WString(WStringView)> m_translate;
    WString m_pending_key;
    std::vector<std::unique_ptr<Task>> m_tasks; // sorted by id; pointers stay put
    std::vector<WString> m_tags;
    Task m_list_cursor;
    std::vector<std::int32_t> m_participants;
    std::vector<User> m_users; // sorted by id
    Filter m_filter;
    std::int32_t m_list_project { -1 };
    WString m_list_text;
    bool m_busy { false };
    AuthInfo m_auth;
    WString m_login_key;
    // Changes go out one at a time, in the order they were made; none is dropped.
    Outbox m_outbox;
    WString m_sending_key; // the outbox entry whose call is in flight; empty for other calls
    std::int32_t m_account { 0 }; // the last logged-in user; 0 after logout
    double m_retry_delay { 1.0 }; // seconds; doubles after each failure up to a minute
    // A ticket the service told us we already hold: it stays on the clipboard for the user to
    // forward, so it must not be sent again at every sync.
    WString m_member_ticket;
    std::set<std::int32_t> m_missing_users;
    IdQueue m_children_queue;
    IdQueue m_viewed_queue;
    IdQueue m_load_queue;
    IdQueue m_changes_queue;
    bool m_list_refresh_requested { false };
    bool m_more_pages { true };
    bool m_news_requested { false };
    std::unique_ptr<HTTPRequest> m_request;
    std::unique_ptr<ActiveTimer> m_user_timer; // made when first needed
    std::unique_ptr<ActiveTimer> m_retry_timer; // made when first needed
    std::unique_ptr<NewsWaiter> m_news_waiter; // while listening for news
};

} // namespace corvane
