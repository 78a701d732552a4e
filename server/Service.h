#pragma once

#include "server/KnownSessions.h"
#include "server/PasswordHasher.h"
#include "server/ReplyCache.h"
#include "server/ServiceClock.h"
#include "server/ServiceConfig.h"
#include "server/Storage.h"
#include "server/Throttle.h"
#include "server/TicketOutbox.h"

#include "common/records/AuthInfo.h"
#include "common/records/Change.h"
#include "common/records/Filter.h"
#include "common/records/FilteredNews.h"
#include "common/records/User.h"
#include "common/records/VizList.h"
#include "common/records/VizTask.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::server {

class UserView;

// A VIZException for the client: the key is a language key, "NOT_LOGGED" a silent re-login.
// Thrown inside a call and caught by the dispatcher on the same thread; the call's
// transaction is rolled back by then, unless the key ends a session (see end_session).
class ServiceException : public std::runtime_error {
public:
    explicit ServiceException(std::u16string key)
        : std::runtime_error("service exception")
        , m_key(std::move(key))
    {
    }
    const std::u16string& key() const { return m_key; }

private:
    std::u16string m_key;
};

// The edit a client sends with updateTask or createTask: its done and plan are differences
// (signed), unlike a task the client reads back.
struct TaskEdit {
    VizTask task;
    std::int32_t done_delta { 0 };
    std::int32_t plan_delta { 0 };
};

// What getFilteredList gets as its cursor: the last task of the list fetched so far.
struct ListCursor {
    bool present { false };
    bool complete { false };
    std::int64_t date { 0 };
    std::int64_t deadline { 0 };
    std::u16string title;
    std::int32_t id { 0 };
};

// The service's methods, one transaction each. Refused writes answer their failure value and
// log the reason; reads of tasks the caller does not see answer empty.
// Thread safety: every method may run on any thread at once.
class Service {
public:
    Service(Storage& storage, const ServiceConfig& config, ServiceClock& clock,
        const PasswordHasher& hasher, TicketOutbox& outbox);

    std::u16string authenticate(const std::u16string& email, const std::u16string& password,
        const std::string& client_address);
    AuthInfo authenticate_key(const std::u16string& login_key);
    std::u16string register_user(const std::u16string& email, const std::u16string& password,
        const std::u16string& name, const std::string& client_address);

    std::vector<VizTask> get_filtered_children(
        const std::u16string& session, const Filter& filter, std::int32_t parent_id);
    std::vector<VizTask> load_task(
        const std::u16string& session, const Filter& filter, std::int32_t task_id);
    std::vector<Change> get_changes(const std::u16string& session, std::int32_t task_id,
        std::int32_t count, std::int32_t position);
    VizTask update_task(
        const std::u16string& session, const TaskEdit& edit, const std::u16string& comment);
    VizTask create_task(
        const std::u16string& session, const TaskEdit& edit, const std::u16string& comment);
    std::int32_t delete_task(const std::u16string& session, std::int32_t task_id);
    std::int32_t change_permission(const std::u16string& session, std::int32_t project_id,
        const std::u16string& text, std::int32_t level);
    std::vector<User> get_users(
        const std::u16string& session, const std::vector<std::int32_t>& ids);
    std::int32_t activate_ticket(const std::u16string& session, const std::u16string& ticket);
    void set_viewed(const std::u16string& session, std::int32_t task_id);
    VizList get_filtered_list(const std::u16string& session, const Filter& filter,
        std::int32_t project_id, const ListCursor& cursor, std::int32_t page_size,
        const std::u16string& text);
    FilteredNews get_filtered_news(const std::u16string& session, const Filter& filter,
        std::int32_t cursor, std::int32_t stamp);

    // What a waitNews call finds on arrival: its caller, the current sequence value, and whether
    // it can be answered at once (a change the caller may see lies past the cursor, or the
    // cursor is one the news call must reset). Throws NOT_LOGGED like any call.
    struct NewsWait {
        int user_id { 0 };
        std::int64_t seq { 0 };
        bool ready { false };
    };
    NewsWait look_for_news(const std::u16string& session, std::int32_t cursor);

    // The state a cached read of this session sees. When the reply is not cached, the next
    // read call of this session on this thread relies on this session check instead of making
    // its own, which on a networked store would cost a round trip of its own; the reply then
    // reflects this state or a newer one. Ends the session's idle time like any call; throws
    // NOT_LOGGED like any call. Thread safety: belongs to the thread that made it; one at a
    // time per thread.
    class CachedRead {
    public:
        CachedRead(Service& service, const std::u16string& session);
        ~CachedRead();
        CachedRead(const CachedRead&) = delete;
        CachedRead& operator=(const CachedRead&) = delete;

        const ReadState& state() const { return m_state; }

    private:
        friend class Service;
        Service& m_service;
        std::string m_hash;
        ReadState m_state;
    };

    // Operator commands on the same store (the admin subcommands).
    int create_user(const std::u16string& email, const std::u16string& password,
        const std::u16string& name, std::string& error);
    int expire_sessions(const std::u16string& account); // Empty: everyone. -1: unknown.
    int expire_login_keys(const std::u16string& account); // Empty: everyone. -1: unknown.
    bool reissue_ticket(std::int32_t project_id, const std::u16string& address, std::string& error);
    bool set_level(std::int32_t project_id, const std::u16string& account, std::int32_t level,
        std::string& error);

    // Removes expired sessions and login keys, expired invitations, old login failures and
    // news older than the event lifetime, a small transaction at a time so that no call
    // waits long behind it. Answers the rows removed.
    int purge();

    const ServiceConfig& config() const { return m_config; }
    ServiceClock& clock() { return m_clock; }
    Storage& storage() { return m_storage; }

    // Outcome of the permission rules, shared by the call and the operator command.
    enum class ShareResult {
        Refused,
        Done,
    };

private:
    // A call's transaction and the caller its session names.
    struct Call {
        std::unique_ptr<StorageTransaction> transaction;
        int user_id { 0 };
    };
    struct PendingTicket;
    Call open_call(const std::u16string& session, TransactionKind kind);
    std::u16string new_login_key(StorageTransaction& transaction, int user_id);
    ShareResult apply_permission(StorageTransaction& transaction, UserView& view, int author_id,
        const TaskRow& project, const std::u16string& address, int level, bool as_operator,
        PendingTicket* pending);
    std::u16string issue_ticket(StorageTransaction& transaction, const TaskRow& project,
        const std::u16string& address, int level, int inviter_id, int& invitation_id);
    void write_share_change(StorageTransaction& transaction, const TaskRow& project,
        ChangeKind kind, const std::u16string& text, int user_id, int author_id);

    Storage& m_storage;
    ServiceConfig m_config;
    ServiceClock& m_clock;
    const PasswordHasher& m_hasher;
    TicketOutbox& m_outbox;
    Throttle m_throttle;
    KnownSessions m_known_sessions;
};

} // namespace corvane::server
