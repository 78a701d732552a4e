#pragma once

#include "server/Rows.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::server {

// Thrown by a store that cannot do what it was asked (disk full, locked beyond the busy
// timeout, corrupt file). The caller answers the call with an internal failure; the open
// transaction is rolled back when its object is destroyed.
class StorageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct KeyRecord {
    int user_id { 0 };
    std::int64_t last_use { 0 };
};

using Hash = std::string; // 32 raw bytes of a SHA-256 digest.

// A change call's Idempotency-Key as stored: what the request was and what it got.
struct IdempotencyRecord {
    std::string digest;
    std::string reply;
};

// A live session (its user still exists) with what a cached reply depends on: the user's view
// stamp and the global sequence value, all from one snapshot.
struct SessionState {
    int user_id { 0 };
    std::int64_t last_use { 0 };
    int stamp { 0 };
    std::int64_t seq { 0 };
};

// One line of a project's sharing list: a user, or an invitation (user_id 0, the address).
struct SharingEntry {
    int level { 0 };
    Text account;
    int user_id { 0 };
};

// A task with its project's row (none when the project is gone) and the user's permission on
// that project (none for its owner or an outsider).
struct TaskInProject {
    TaskRow task;
    std::optional<TaskRow> project;
    std::optional<PermissionRow> permission;
};

// A folder as a reader first sees it: the folder with what decides whether the user sees it
// (find_task_in_project), and its children with their unread counts (child_tasks_unread).
// The children are of no use when the folder is not seen.
struct FolderRead {
    std::optional<TaskInProject> folder;
    std::vector<std::pair<TaskRow, int>> children;
};

// A list page as a reader first sees it: the project with what decides whether the user sees
// it, the page (list_page's rows, in any order), the user's unread counts in the project
// (unread_counts), and as many of the page's parents as the store found at no extra cost (maybe
// none), and the project's sharing (project_sharing) when the store read it at no extra cost.
struct ListPageRead {
    std::optional<TaskInProject> project;
    std::vector<TaskRow> page;
    std::vector<std::pair<int, int>> unread;
    std::vector<TaskRow> parents;
    std::optional<std::vector<SharingEntry>> sharing;
};

struct UnreadTotal {
    int project_id { 0 };
    int total { 0 };
    int own { 0 };
};

// A project a user sees, with the user's level on it (3 for the owner) and the sequence
// value at which the user joined it (its creation for the owner).
struct VisibleProject {
    TaskRow project;
    int level { 0 };
    std::int64_t joined { 0 };
};

// What a root list shows besides the projects' tasks, as the user first sees it: the projects
// (user_projects), their unread totals (project_unread_totals), who else sees them
// (visible_project_permissions, visible_project_invitations) and the user's own row.
struct RootRead {
    std::vector<VisibleProject> projects;
    std::vector<UnreadTotal> totals;
    std::vector<PermissionRow> permissions;
    std::vector<InvitationRow> invitations;
    std::optional<UserRow> user;
};

// One transaction on the store. Every query sees the state as of the transaction's start plus
// its own writes. Destroying an uncommitted transaction rolls it back.
// Thread safety: a transaction belongs to the thread that began it.
class StorageTransaction {
public:
    virtual ~StorageTransaction() = default;
    virtual void commit() = 0;

    // The global sequence: every change, creation, removal and access event takes the next value.
    virtual std::int64_t current_seq() = 0;
    virtual std::int64_t next_seq() = 0;
    // Sessions not yet ended, for the operator's health check and metrics.
    virtual std::int64_t count_sessions() = 0;

    virtual std::optional<UserRow> find_user(int id) = 0;
    virtual std::optional<UserRow> find_user_by_account(const Text& account) = 0;
    virtual int insert_user(const Text& account, const Text& name, const std::string& hash) = 0;
    virtual int bump_user_stamp(int user_id) = 0;
    virtual std::vector<int> all_user_ids() = 0;

    virtual void insert_login_key(const Hash& hash, int user_id, std::int64_t now) = 0;
    virtual void prune_login_keys(int user_id, int keep) = 0;
    virtual std::optional<KeyRecord> find_login_key(const Hash& hash) = 0;
    virtual void touch_login_key(const Hash& hash, std::int64_t now) = 0;
    virtual int delete_login_keys(std::optional<int> user_id) = 0;

    virtual void insert_session(const Hash& hash, int user_id, std::int64_t now) = 0;
    virtual std::optional<KeyRecord> find_session(const Hash& hash) = 0;
    // The session and its user in one query; nothing when either is gone.
    virtual std::optional<SessionState> find_session_state(const Hash& hash) = 0;
    // The session's user and last use, as find_session_state() finds them (nothing when the
    // session or its user is gone), sent with the transaction's first statement instead of by
    // itself, which on a networked store spares a round trip. `check` sees the answer before
    // any result is handed out, or at commit if nothing was read, and may throw to end the
    // call; the reads sent beside it must not depend on its answer.
    using SessionCheck = std::function<void(const std::optional<KeyRecord>&)>;
    virtual void check_session_with_first_read(const Hash& hash, SessionCheck check)
    {
        std::optional<SessionState> state = find_session_state(hash);
        check(state ? std::optional<KeyRecord>({ state->user_id, state->last_use }) : std::nullopt);
    }
    virtual void touch_session(const Hash& hash, std::int64_t now) = 0;
    virtual void delete_session(const Hash& hash) = 0;
    virtual int delete_sessions(std::optional<int> user_id) = 0;

    virtual std::optional<TaskRow> find_task(int id) = 0;
    // find_task() with what decides whether the user sees it, in one query.
    virtual std::optional<TaskInProject> find_task_in_project(int id, int user_id) = 0;
    virtual std::vector<TaskRow> project_tasks(int project_id) = 0;
    // project_tasks() of each of the projects, in any order.
    virtual std::vector<TaskRow> projects_tasks(const std::vector<int>& project_ids) = 0;
    virtual std::vector<TaskRow> child_tasks(int parent_id) = 0;
    // child_tasks() with each child's own unread changes for the user (0 when none).
    virtual std::vector<std::pair<TaskRow, int>> child_tasks_unread(int user_id, int parent_id) = 0;
    // Up to `limit` non-project tasks of the project in list order (complete ascending, date
    // descending, with a deadline before without, deadline, title by UTF-16 units, id),
    // strictly after `after` when given. Answered from an index, whatever the page.
    virtual std::vector<TaskRow> list_page(int project_id, const TaskRow* after, int limit) = 0;
    virtual std::vector<VisibleProject> user_projects(int user_id) = 0;
    // The independent reads a view starts with, together: a store whose statements cost round
    // trips sends them in one exchange. Here, one after another.
    virtual FolderRead read_folder(int user_id, int folder_id)
    {
        FolderRead read { find_task_in_project(folder_id, user_id), {} };
        if (read.folder)
            read.children = child_tasks_unread(user_id, folder_id);
        return read;
    }
    virtual RootRead read_root(int user_id, std::int64_t now)
    {
        RootRead read;
        read.projects = user_projects(user_id);
        read.totals = project_unread_totals(user_id);
        read.permissions = visible_project_permissions(user_id);
        read.invitations = visible_project_invitations(user_id, now);
        read.user = find_user(user_id);
        return read;
    }
    virtual ListPageRead read_list_page(
        int user_id, int project_id, const TaskRow* after, int limit, std::int64_t /*now*/)
    {
        ListPageRead read { find_task_in_project(project_id, user_id), {}, {}, {}, {} };
        if (read.project) {
            read.page = list_page(project_id, after, limit);
            read.unread = unread_counts(user_id, project_id, 0);
        }
        return read;
    }
    virtual int insert_task(const TaskRow& task) = 0;
    virtual void update_task(const TaskRow& task) = 0; // Every field but id, project and date.
    virtual void adjust_child_count(int task_id, int delta) = 0;
    virtual void delete_tasks(const std::vector<int>& ids) = 0; // With their changes and views.
    virtual int count_children(int parent_id) = 0;
    virtual int count_owned_projects(int user_id) = 0;
    // (project id, seq of its creation) of every project the user owns.
    virtual std::vector<std::pair<int, std::int64_t>> owned_projects(int user_id) = 0;

    virtual std::vector<PermissionRow> user_permissions(int user_id) = 0;
    virtual std::vector<PermissionRow> project_permissions(int project_id) = 0; // Grant order.
    // The owner first (level 3; an empty account when the owner is gone), then the
    // participants in grant order, then the unexpired invitations in issue order.
    virtual std::vector<SharingEntry> project_sharing(
        int project_id, int owner_id, std::int64_t now)
        = 0;
    virtual std::optional<PermissionRow> find_permission(int project_id, int user_id) = 0;
    virtual void insert_permission(const PermissionRow& permission) = 0;
    virtual void set_permission_level(int project_id, int user_id, int level) = 0;
    virtual void delete_permission(int project_id, int user_id) = 0;
    virtual void delete_project_permissions(int project_id) = 0;
    virtual void add_member_ever(int project_id, int user_id) = 0;
    virtual std::vector<int> member_ever_projects(int user_id) = 0;

    virtual std::vector<InvitationRow> project_invitations(int project_id, std::int64_t now) = 0;
    virtual std::optional<InvitationRow> find_invitation(int project_id, const Text& address) = 0;
    virtual std::optional<InvitationRow> find_invitation_by_ticket(
        const Hash& hash, std::int64_t now)
        = 0;
    virtual int insert_invitation(const InvitationRow& invitation, const Hash& ticket_hash) = 0;
    virtual void set_invitation_ticket(
        int invitation_id, const Hash& ticket_hash, std::int64_t expires)
        = 0;
    virtual void delete_invitation(int invitation_id) = 0;
    virtual void delete_project_invitations(int project_id) = 0;

    virtual void insert_change(const ChangeRow& change) = 0;
    // Newest first: changes with change_id <= below, at most limit.
    virtual std::vector<ChangeRow> task_changes_below(int task_id, std::int64_t below, int limit)
        = 0;
    // Newest first: changes with change_id > after.
    virtual std::vector<ChangeRow> task_changes_after(int task_id, std::int64_t after) = 0;
    // Per task of the project: changes by others above max(viewed, joined). Kept as counters
    // by the writes, so no read scans the history; `joined` is implied by them.
    virtual std::vector<std::pair<int, int>> unread_counts(
        int user_id, int project_id, std::int64_t joined)
        = 0;
    // The same for one task.
    virtual int task_unread_count(int user_id, int task_id, std::int64_t joined) = 0;
    // (child, its own unread changes) for the children of a task that have any.
    virtual std::vector<std::pair<int, int>> child_unread_counts(int user_id, int parent_id) = 0;

    virtual void insert_event(const EventRow& event) = 0;
    // Events with seq > after that concern the user (meant for them, or in a project they see
    // now), ascending, at most limit.
    virtual std::vector<EventRow> events_after(std::int64_t after, int user_id, int limit) = 0;
    // Every user that events_after would show one of the events with after < seq <= upto,
    // ascending: who may need waking when the sequence moves from `after` to `upto`.
    virtual std::vector<int> users_seeing_events(std::int64_t after, std::int64_t upto) = 0;

    // Views the task up to `seq`, which must be the current sequence value: its unread
    // changes for the user drop to none.
    virtual void set_viewed(int user_id, int task_id, std::int64_t seq, int stamp) = 0;
    virtual std::vector<ViewedRow> viewed_after_stamp(int user_id, int stamp) = 0;

    // Idempotency keys, per account; an expired record is never found.
    virtual std::optional<IdempotencyRecord> find_idempotency(int user_id, const std::string& key)
        = 0;
    virtual void insert_idempotency(int user_id, const std::string& key, const std::string& digest,
        const std::string& reply, std::int64_t expires)
        = 0;
    // Removes at most `batch` expired records and answers how many.
    virtual int purge_idempotency(std::int64_t now, int batch) = 0;

    // For every project of the user with unread changes: its id, the unread changes in all of
    // it, and those of the project task itself.
    virtual std::vector<UnreadTotal> project_unread_totals(int user_id) = 0;
    // The participants (grant order) and unexpired invitations of every project the user sees.
    virtual std::vector<PermissionRow> visible_project_permissions(int user_id) = 0;
    virtual std::vector<InvitationRow> visible_project_invitations(int user_id, std::int64_t now)
        = 0;

    // Invitations a participant issued end with the participant's right to share.
    virtual int delete_invitations_issued_by(int project_id, int inviter_id) = 0;

    // Login failures per key (a digest of an account or an address), shared by every process
    // on the store. A failure is recorded before the password is checked and taken back on
    // success, so parallel guesses count at once.
    virtual int count_login_failures(const Hash& key, std::int64_t since) = 0;
    virtual std::int64_t insert_login_failure(const Hash& key, std::int64_t now) = 0;
    virtual void delete_login_failure(std::int64_t id) = 0;

    // Housekeeping in small steps: each removes at most `batch` rows and answers how many.
    virtual int purge_sessions(std::int64_t used_before, int batch) = 0;
    virtual int purge_login_keys(std::int64_t used_before, int batch) = 0;
    virtual int purge_invitations(std::int64_t expired_by, int batch) = 0;
    virtual int purge_login_failures(std::int64_t before, int batch) = 0;
    // Events at or below `seq`; news from a cursor below the horizon starts afresh.
    virtual int purge_events(std::int64_t seq, int batch) = 0;
    virtual std::int64_t events_horizon() = 0;
    virtual void set_events_horizon(std::int64_t seq) = 0;
    // Remembers the sequence value at a time, so events can be purged by age; answers the
    // highest value remembered at or before `before` (0 when none) and forgets older marks.
    virtual std::int64_t mark_seq(std::int64_t now, std::int64_t seq, std::int64_t before) = 0;
};

enum class TransactionKind {
    Read,
    Write,
};

// The service's store. begin() may be called from any thread; each transaction then stays on
// that thread. Writers are serialised; readers run beside them on their own snapshot.
class Storage {
public:
    virtual ~Storage() = default;
    virtual std::unique_ptr<StorageTransaction> begin(TransactionKind kind) = 0;
    // The same as a read transaction holding only StorageTransaction::find_session_state().
    // A store whose transactions cost round trips answers it with one.
    virtual std::optional<SessionState> find_session_state(const Hash& hash)
    {
        std::unique_ptr<StorageTransaction> transaction = begin(TransactionKind::Read);
        std::optional<SessionState> state = transaction->find_session_state(hash);
        transaction->commit();
        return state;
    }
};

} // namespace corvane::server
