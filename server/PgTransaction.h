#pragma once

#include "server/PgConnection.h"
#include "server/ReplyCache.h"
#include "server/Storage.h"

#include <memory>

namespace corvane::server {

class PgStorage;

// A transaction on a connection leased from the pool. A writer first takes one lock shared by
// every process on the database and holds it to its commit, so writers run one at a time
// everywhere, as on SQLite: the sequence values they take commit in the order of their numbers
// (a reader never sees a higher number before a lower one), and a check followed by a write
// (the login throttle, an idempotency key) cannot be split by another writer. A reader runs on
// one snapshot (REPEATABLE READ) and never waits for a writer.
// The queries are grouped as on SQLite: users, sessions and tasks in PgTransaction.cpp, sharing
// and history in PgSharingAndHistory.cpp, the rest in PgHousekeeping.cpp.
class PgTransaction final : public StorageTransaction {
public:
    PgTransaction(PgStorage& storage, TransactionKind kind);
    ~PgTransaction() override;

    void commit() override;

    std::int64_t current_seq() override;
    std::int64_t count_sessions() override;
    std::int64_t next_seq() override;

    std::optional<UserRow> find_user(int id) override;
    std::optional<UserRow> find_user_by_account(const Text& account) override;
    int insert_user(const Text& account, const Text& name, const std::string& hash) override;
    int bump_user_stamp(int user_id) override;
    std::vector<int> all_user_ids() override;

    void insert_login_key(const Hash& hash, int user_id, std::int64_t now) override;
    void prune_login_keys(int user_id, int keep) override;
    std::optional<KeyRecord> find_login_key(const Hash& hash) override;
    void touch_login_key(const Hash& hash, std::int64_t now) override;
    int delete_login_keys(std::optional<int> user_id) override;

    void insert_session(const Hash& hash, int user_id, std::int64_t now) override;
    std::optional<KeyRecord> find_session(const Hash& hash) override;
    std::optional<SessionState> find_session_state(const Hash& hash) override;
    void check_session_with_first_read(const Hash& hash, SessionCheck check) override;
    void touch_session(const Hash& hash, std::int64_t now) override;
    void delete_session(const Hash& hash) override;
    int delete_sessions(std::optional<int> user_id) override;

    std::optional<TaskRow> find_task(int id) override;
    std::optional<TaskInProject> find_task_in_project(int id, int user_id) override;
    std::vector<TaskRow> project_tasks(int project_id) override;
    std::vector<TaskRow> projects_tasks(const std::vector<int>& project_ids) override;
    std::vector<TaskRow> child_tasks(int parent_id) override;
    std::vector<std::pair<TaskRow, int>> child_tasks_unread(int user_id, int parent_id) override;
    std::vector<TaskRow> list_page(int project_id, const TaskRow* after, int limit) override;
    std::vector<VisibleProject> user_projects(int user_id) override;
    FolderRead read_folder(int user_id, int folder_id) override;
    RootRead read_root(int user_id, std::int64_t now) override;
    ListPageRead read_list_page(
        int user_id, int project_id, const TaskRow* after, int limit, std::int64_t now) override;
    int insert_task(const TaskRow& task) override;
    void update_task(const TaskRow& task) override;
    void adjust_child_count(int task_id, int delta) override;
    void delete_tasks(const std::vector<int>& ids) override;
    int count_children(int parent_id) override;
    int count_owned_projects(int user_id) override;
    std::vector<std::pair<int, std::int64_t>> owned_projects(int user_id) override;

    std::vector<PermissionRow> user_permissions(int user_id) override;
    std::vector<PermissionRow> project_permissions(int project_id) override;
    std::vector<SharingEntry> project_sharing(
        int project_id, int owner_id, std::int64_t now) override;
    std::optional<PermissionRow> find_permission(int project_id, int user_id) override;
    void insert_permission(const PermissionRow& permission) override;
    void set_permission_level(int project_id, int user_id, int level) override;
    void delete_permission(int project_id, int user_id) override;
    void delete_project_permissions(int project_id) override;
    void add_member_ever(int project_id, int user_id) override;
    std::vector<int> member_ever_projects(int user_id) override;

    std::vector<InvitationRow> project_invitations(int project_id, std::int64_t now) override;
    std::optional<InvitationRow> find_invitation(int project_id, const Text& address) override;
    std::optional<InvitationRow> find_invitation_by_ticket(
        const Hash& hash, std::int64_t now) override;
    int insert_invitation(const InvitationRow& invitation, const Hash& ticket_hash) override;
    void set_invitation_ticket(
        int invitation_id, const Hash& ticket_hash, std::int64_t expires) override;
    void delete_invitation(int invitation_id) override;
    void delete_project_invitations(int project_id) override;

    void insert_change(const ChangeRow& change) override;
    std::vector<ChangeRow> task_changes_below(int task_id, std::int64_t below, int limit) override;
    std::vector<ChangeRow> task_changes_after(int task_id, std::int64_t after) override;
    std::vector<std::pair<int, int>> unread_counts(
        int user_id, int project_id, std::int64_t joined) override;
    int task_unread_count(int user_id, int task_id, std::int64_t joined) override;
    std::vector<std::pair<int, int>> child_unread_counts(int user_id, int parent_id) override;

    void insert_event(const EventRow& event) override;
    std::vector<EventRow> events_after(std::int64_t after, int user_id, int limit) override;
    std::vector<int> users_seeing_events(std::int64_t after, std::int64_t upto) override;

    void set_viewed(int user_id, int task_id, std::int64_t seq, int stamp) override;
    std::vector<ViewedRow> viewed_after_stamp(int user_id, int stamp) override;
    std::vector<UnreadTotal> project_unread_totals(int user_id) override;
    std::vector<PermissionRow> visible_project_permissions(int user_id) override;
    std::vector<InvitationRow> visible_project_invitations(int user_id, std::int64_t now) override;

    int delete_invitations_issued_by(int project_id, int inviter_id) override;

    int count_login_failures(const Hash& key, std::int64_t since) override;
    std::int64_t insert_login_failure(const Hash& key, std::int64_t now) override;
    void delete_login_failure(std::int64_t id) override;

    int purge_sessions(std::int64_t used_before, int batch) override;
    int purge_login_keys(std::int64_t used_before, int batch) override;
    int purge_invitations(std::int64_t expired_by, int batch) override;
    int purge_login_failures(std::int64_t before, int batch) override;
    int purge_events(std::int64_t seq, int batch) override;
    std::int64_t events_horizon() override;
    void set_events_horizon(std::int64_t seq) override;
    std::int64_t mark_seq(std::int64_t now, std::int64_t seq, std::int64_t before) override;

    std::optional<IdempotencyRecord> find_idempotency(int user_id, const std::string& key) override;
    void insert_idempotency(int user_id, const std::string& key, const std::string& digest,
        const std::string& reply, std::int64_t expires) override;
    int purge_idempotency(std::int64_t now, int batch) override;

private:
    void queue_begin();
    PgResult run(const char* sql, const PgParams& params);
    PgResult run(const char* sql);
    std::vector<PgResult> run_all(std::vector<PgConnection::Statement> statements);
    std::vector<PgResult> exchange(const std::vector<PgConnection::Statement>& statements);

    PgStorage& m_storage;
    TransactionKind m_kind;
    std::unique_ptr<PgConnection> m_connection; // Given back (or dropped if lost) at the end.
    bool m_open { false };
    Hash m_session_hash;
    SessionCheck m_session_check; // Set while the session is still to be checked.
    ReadState m_checked_state; // What the session check saw, once it has run.
};

// Statements of one query file that another sends together with its own, and their readers.
extern const char pg_user_projects_sql[];
std::vector<VisibleProject> pg_read_user_projects(const PgResult& result);
extern const char pg_find_user_sql[];
std::optional<UserRow> pg_read_found_user(const PgResult& result);
extern const char pg_project_sharing_sql[];
std::vector<SharingEntry> pg_read_project_sharing(const PgResult& result, int owner_id);

// StorageTransaction::find_session_state() as one statement on `connection`, which may be
// inside a transaction or not.
std::optional<SessionState> pg_find_session_state(PgConnection& connection, const Hash& hash);

} // namespace corvane::server
