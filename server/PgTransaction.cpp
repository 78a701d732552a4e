#include "server/PgTransaction.h"

#include "server/PgConnection.h"
#include "server/PgStorage.h"

#include <algorithm>

namespace corvane::server {

static std::int64_t first_number(const PgResult& result)
{
    return result.rows() > 0 ? result.int64(0, 0) : 0;
}

PgTransaction::PgTransaction(PgStorage& storage, TransactionKind kind)
    : m_storage(storage)
    , m_kind(kind)
    , m_connection(storage.take_connection())
{
    queue_begin();
    m_open = true;
}

void PgTransaction::queue_begin()
{
    if (m_kind == TransactionKind::Write) {
        m_connection->queue("BEGIN");
        m_connection->queue("SELECT pg_advisory_xact_lock(" PG_WRITER_LOCK ")");
    } else {
        m_connection->queue("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    }
}

PgTransaction::~PgTransaction()
{
    if (m_open && m_connection && !m_connection->is_broken()) {
        if (m_connection->has_queued()) {
            m_connection->drop_queued(); // Nothing was sent: there is nothing to undo.
        } else if (m_kind == TransactionKind::Read) {
            m_connection->send_without_waiting("ROLLBACK");
        } else {
            try {
                m_connection->execute("ROLLBACK");
            } catch (const StorageError&) {
                // The connection is given back below, which drops it unless it is idle again.
            }
        }
    }
    m_storage.give_back(std::move(m_connection));
}

PgResult PgTransaction::run(const char* sql, const PgParams& params)
{
    if (m_session_check)
        return std::move(run_all({ { sql, params } }).front());
    if (!m_connection)
        throw StorageError("no database connection");
    bool first = m_connection->has_queued();
    try {
        return m_connection->run(sql, params);
    } catch (const StorageError&) {
        if (!first || !m_connection->is_broken())
            throw;
    }
    // A pooled connection may have lost its server since it was last used; nothing of this
    // transaction has happened yet, so it starts again once on a fresh connection.
    m_storage.give_back(std::move(m_connection));
    m_connection = m_storage.take_connection();
    queue_begin();
    return m_connection->run(sql, params);
}

std::vector<PgResult> PgTransaction::run_all(std::vector<PgConnection::Statement> statements)
{
    if (!m_session_check)
        return exchange(statements);
    // The state (sequence and the user's stamp) comes along for a read that keys on it.
    static constexpr char session_sql[]
        = "SELECT s.user_id, s.last_use, (SELECT value FROM counters WHERE name = 'seq'), u.stamp"
          " FROM sessions s JOIN users u ON u.id = s.user_id WHERE s.hash = $1";
    statements.insert(statements.begin(), { session_sql, PgParams().add_bytes(m_session_hash) });
    std::vector<PgResult> results = exchange(statements);
    SessionCheck check = std::move(m_session_check);
    m_session_check = nullptr;
    const PgResult& session = results.front();
    std::optional<KeyRecord> found;
    if (session.rows() > 0) {
        found = KeyRecord { session.int32(0, 0), session.int64(0, 1) };
        m_checked_state = { found->user_id, session.int64(0, 2), session.int32(0, 3) };
        m_storage.note_seq(m_checked_state.seq);
    }
    check(found); // Before any read leaves this transaction.
    std::vector<PgResult> reads;
    reads.reserve(statements.size() - 1);
    for (std::size_t i = 1; i < results.size(); ++i)
        reads.push_back(std::move(results[i]));
    return reads;
}

std::vector<PgResult> PgTransaction::exchange(
    const std::vector<PgConnection::Statement>& statements)
{
    if (!m_connection)
        throw StorageError("no database connection");
    bool first = m_connection->has_queued();
    try {
        return m_connection->run_all(statements);
    } catch (const StorageError&) {
        if (!first || !m_connection->is_broken())
            throw;
    }
    m_storage.give_back(std::move(m_connection)); // As run(): once more on a fresh connection.
    m_connection = m_storage.take_connection();
    queue_begin();
    return m_connection->run_all(statements);
}

PgResult PgTransaction::run(const char* sql)
{
    return run(sql, PgParams());
}

void PgTransaction::commit()
{
    if (m_session_check)
        run_all({}); // A call that read nothing still answers only a valid session.
    if (!m_connection)
        throw StorageError("no database connection");
    if (m_connection->has_queued())
        m_connection->drop_queued(); // Nothing ran, so nothing is to be kept.
    else if (m_kind == TransactionKind::Read)
        m_connection->end_read_later(); // A snapshot's end cannot fail a reader.
    else
        m_connection->execute("COMMIT");
    m_open = false;
}

std::int64_t PgTransaction::current_seq()
{
    static constexpr char sql[] = "SELECT value FROM counters WHERE name = 'seq'";
    return first_number(run(sql));
}

std::int64_t PgTransaction::count_sessions()
{
    static constexpr char sql[] = "SELECT count(*) FROM sessions";
    return first_number(run(sql));
}

std::int64_t PgTransaction::next_seq()
{
    // Writers hold the writers' lock to their commit, so numbers commit in their order.
    static constexpr char sql[]
        = "UPDATE counters SET value = value + 1 WHERE name = 'seq' RETURNING value";
    PgResult result = run(sql);
    if (result.rows() == 0)
        throw StorageError("sequence counter missing");
    m_storage.note_seq(result.int64(0, 0));
    return result.int64(0, 0);
}

#define TASK_COLUMNS                                                                               \
    "id, parent_id, project_id, owner_id, responsible_id, title, tag, status, complete, done, "    \
    "plan, deadline, date, child_count, created_seq"

// `first` is the column of the task's id, for a statement that reads two tasks per row.
static TaskRow read_task(const PgResult& result, int row, int first = 0)
{
    TaskRow task;
    task.id = result.int32(row, first + 0);
    task.parent_id = result.int32(row, first + 1);
    task.project_id = result.int32(row, first + 2);
    task.owner_id = result.int32(row, first + 3);
    task.responsible_id = result.int32(row, first + 4);
    task.title = result.text(row, first + 5);
    task.tag = result.text(row, first + 6);
    task.status = result.int32(row, first + 7);
    task.complete = result.int64(row, first + 8) != 0;
    task.done = result.int32(row, first + 9);
    task.plan = result.int32(row, first + 10);
    task.deadline = result.int64(row, first + 11);
    task.date = result.int64(row, first + 12);
    task.child_count = result.int32(row, first + 13);
    task.created_seq = result.int64(row, first + 14);
    return task;
}

static std::vector<TaskRow> read_tasks(const PgResult& result)
{
    std::vector<TaskRow> tasks;
    tasks.reserve(std::size_t(result.rows()));
    for (int row = 0; row < result.rows(); ++row)
        tasks.push_back(read_task(result, row));
    return tasks;
}

std::optional<TaskRow> PgTransaction::find_task(int id)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE id = $1";
    PgResult result = run(sql, PgParams().add(id));
    if (result.rows() == 0)
        return std::nullopt;
    return read_task(result, 0);
}

static constexpr char task_in_project_sql[]
    = "SELECT t.id, t.parent_id, t.project_id, t.owner_id, t.responsible_id, t.title, t.tag,"
      " t.status, t.complete, t.done, t.plan, t.deadline, t.date, t.child_count, t.created_seq,"
      " p.id, p.parent_id, p.project_id, p.owner_id, p.responsible_id, p.title, p.tag,"
      " p.status, p.complete, p.done, p.plan, p.deadline, p.date, p.child_count, p.created_seq,"
      " g.level, g.joined_seq FROM tasks t LEFT JOIN tasks p ON p.id = t.project_id"
      " LEFT JOIN permissions g ON g.project_id = t.project_id AND g.user_id = $2"
      " AND p.owner_id <> $2 WHERE t.id = $1";

static std::optional<TaskInProject> read_task_in_project(const PgResult& result, int user_id)
{
    if (result.rows() == 0)
        return std::nullopt;
    TaskInProject found { read_task(result, 0), std::nullopt, std::nullopt };
    if (!result.is_null(0, 15))
        found.project = read_task(result, 0, 15);
    if (!result.is_null(0, 30)) {
        PermissionRow& held = found.permission.emplace();
        held.project_id = found.task.project_id;
        held.user_id = user_id;
        held.level = result.int32(0, 30);
        held.joined_seq = result.int64(0, 31);
    }
    return found;
}

std::optional<TaskInProject> PgTransaction::find_task_in_project(int id, int user_id)
{
    return read_task_in_project(run(task_in_project_sql, PgParams().add(id).add(user_id)), user_id);
}

std::vector<TaskRow> PgTransaction::project_tasks(int project_id)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE project_id = $1";
    return read_tasks(run(sql, PgParams().add(project_id)));
}

static constexpr char children_unread_sql[]
    = "SELECT t.id, t.parent_id, t.project_id, t.owner_id, t.responsible_id, t.title, t.tag,"
      " t.status, t.complete, t.done, t.plan, t.deadline, t.date, t.child_count, t.created_seq,"
      " COALESCE(u.count, 0) FROM tasks t LEFT JOIN unread u ON u.task_id = t.id"
      " AND u.user_id = $2 AND u.count > 0 WHERE t.parent_id = $1";

static std::vector<std::pair<TaskRow, int>> read_children_unread(const PgResult& result)
{
    std::vector<std::pair<TaskRow, int>> rows;
    rows.reserve(std::size_t(result.rows()));
    for (int row = 0; row < result.rows(); ++row)
        rows.emplace_back(read_task(result, row), result.int32(row, 15));
    return rows;
}

std::vector<std::pair<TaskRow, int>> PgTransaction::child_tasks_unread(int user_id, int parent_id)
{
    return read_children_unread(run(children_unread_sql, PgParams().add(parent_id).add(user_id)));
}

std::vector<TaskRow> PgTransaction::projects_tasks(const std::vector<int>& project_ids)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE project_id = ANY($1)";
    if (project_ids.empty())
        return {};
    return read_tasks(run(sql, PgParams().add_array(project_ids)));
}

std::vector<TaskRow> PgTransaction::child_tasks(int parent_id)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE parent_id = $1";
    return read_tasks(run(sql, PgParams().add(parent_id)));
}

// list_date and list_undated are indexed generated columns that turn the mixed directions of
// the order into one ascending row value, so a page is one index range. Titles are bytea, whose
// byte order is the order of the UTF-16 units.
#define LIST_FIRST_PAGE                                                                            \
    " FROM tasks WHERE project_id = $1 AND parent_id <> 0 ORDER BY complete, list_date,"           \
    " list_undated, deadline, title, id LIMIT $2"
#define LIST_PAGE_AFTER                                                                            \
    " FROM tasks WHERE project_id = $1 AND parent_id <> 0 AND (complete, list_date, list_undated," \
    " deadline, title, id) > ($3, $4, $5, $6, $7, $8) ORDER BY complete, list_date,"               \
    " list_undated, deadline, title, id LIMIT $2"
static constexpr char list_first_sql[] = "SELECT " TASK_COLUMNS LIST_FIRST_PAGE;
static constexpr char list_after_sql[] = "SELECT " TASK_COLUMNS LIST_PAGE_AFTER;
// The page (0) and its parents (1) from one index range: a page rarely spans more than two
// folders. The caller puts the page in order.
#define WITH_PARENTS(page)                                                                         \
    "WITH page AS (SELECT " TASK_COLUMNS page ") SELECT 0, " TASK_COLUMNS " FROM page UNION ALL"   \
    " SELECT 1, " TASK_COLUMNS " FROM tasks WHERE id = ANY(ARRAY(SELECT parent_id FROM page))"
static constexpr char list_first_parents_sql[] = WITH_PARENTS(LIST_FIRST_PAGE);
static constexpr char list_after_parents_sql[] = WITH_PARENTS(LIST_PAGE_AFTER);

static PgParams list_params(int project_id, const TaskRow* after, int limit)
{
    PgParams params;
    params.add(project_id).add(limit);
    if (after) {
        params.add(after->complete ? 1 : 0)
            .add(-after->date)
            .add(after->deadline == 0 ? 1 : 0)
            .add(after->deadline)
            .add(after->title)
            .add(after->id);
    }
    return params;
}

std::vector<TaskRow> PgTransaction::list_page(int project_id, const TaskRow* after, int limit)
{
    return read_tasks(
        run(after ? list_after_sql : list_first_sql, list_params(project_id, after, limit)));
}

const char pg_user_projects_sql[]
    = "SELECT " TASK_COLUMNS ", 3::bigint, created_seq FROM tasks WHERE owner_id = $1"
      " AND parent_id = 0 UNION ALL SELECT " TASK_COLUMNS ", level, joined_seq FROM tasks"
      " JOIN (SELECT project_id AS granted, level, joined_seq FROM permissions"
      " WHERE user_id = $1) g ON tasks.id = g.granted";

std::vector<VisibleProject> pg_read_user_projects(const PgResult& result)
{
    std::vector<VisibleProject> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ read_task(result, row), result.int32(row, 15), result.int64(row, 16) });
    return rows;
}

std::vector<VisibleProject> PgTransaction::user_projects(int user_id)
{
    return pg_read_user_projects(run(pg_user_projects_sql, PgParams().add(user_id)));
}

int PgTransaction::insert_task(const TaskRow& task)
{
    static constexpr char sql[]
        = "INSERT INTO tasks (parent_id, project_id, owner_id, responsible_id, title, tag, status,"
          " complete, done, plan, deadline, date, child_count, created_seq)"
          " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14) RETURNING id";
    PgResult result = run(sql,
        PgParams().add_all(task.parent_id, task.project_id, task.owner_id, task.responsible_id,
            task.title, task.tag, task.status, task.complete ? 1 : 0, task.done, task.plan,
            task.deadline, task.date, task.child_count, task.created_seq));
    if (result.rows() == 0)
        throw StorageError("task insert returned nothing");
    return result.int32(0, 0);
}

void PgTransaction::update_task(const TaskRow& task)
{
    static constexpr char sql[]
        = "UPDATE tasks SET parent_id = $1, owner_id = $2, responsible_id = $3, title = $4,"
          " tag = $5, status = $6, complete = $7, done = $8, plan = $9, deadline = $10,"
          " child_count = $11, project_id = $12 WHERE id = $13";
    run(sql,
        PgParams().add_all(task.parent_id, task.owner_id, task.responsible_id, task.title, task.tag,
            task.status, task.complete ? 1 : 0, task.done, task.plan, task.deadline,
            task.child_count, task.project_id, task.id));
}

void PgTransaction::adjust_child_count(int task_id, int delta)
{
    static constexpr char sql[]
        = "UPDATE tasks SET child_count = GREATEST(0, child_count + $1) WHERE id = $2";
    run(sql, PgParams().add(delta).add(task_id));
}

void PgTransaction::delete_tasks(const std::vector<int>& ids)
{
    static constexpr char task_sql[] = "DELETE FROM tasks WHERE id = $1";
    static constexpr char changes_sql[] = "DELETE FROM changes WHERE task_id = $1";
    static constexpr char viewed_sql[] = "DELETE FROM viewed WHERE task_id = $1";
    static constexpr char unread_sql[] = "DELETE FROM unread WHERE task_id = $1";
    for (int id : ids) {
        PgParams params;
        params.add(id);
        for (const char* sql : { task_sql, changes_sql, viewed_sql, unread_sql })
            run(sql, params);
    }
}

int PgTransaction::count_children(int parent_id)
{
    static constexpr char sql[] = "SELECT COUNT(*) FROM tasks WHERE parent_id = $1";
    return int(first_number(run(sql, PgParams().add(parent_id))));
}

int PgTransaction::count_owned_projects(int user_id)
{
    static constexpr char sql[]
        = "SELECT COUNT(*) FROM tasks WHERE owner_id = $1 AND parent_id = 0";
    return int(first_number(run(sql, PgParams().add(user_id))));
}

std::vector<std::pair<int, std::int64_t>> PgTransaction::owned_projects(int user_id)
{
    static constexpr char sql[]
        = "SELECT id, created_seq FROM tasks WHERE owner_id = $1 AND parent_id = 0";
    PgResult result = run(sql, PgParams().add(user_id));
    std::vector<std::pair<int, std::int64_t>> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.emplace_back(result.int32(row, 0), result.int64(row, 1));
    return rows;
}

FolderRead PgTransaction::read_folder(int user_id, int folder_id)
{
    std::vector<PgResult> results
        = run_all({ { task_in_project_sql, PgParams().add(folder_id).add(user_id) },
            { children_unread_sql, PgParams().add(folder_id).add(user_id) } });
    FolderRead read { read_task_in_project(results[0], user_id), {} };
    if (read.folder)
        read.children = read_children_unread(results[1]);
    return read;
}

static std::vector<PgConnection::Statement> head_statements(
    int user_id, int project_id, std::int64_t now)
{
    static constexpr char unread_sql[] = "SELECT task_id, count FROM unread WHERE user_id = $1"
                                         " AND project_id = $2 AND count > 0";
    return { { task_in_project_sql, PgParams().add(project_id).add(user_id) },
        { unread_sql, PgParams().add(user_id).add(project_id) },
        { pg_project_sharing_sql, PgParams().add(project_id).add(now) } };
}

// `results` holds the answers of head_statements() from `first` on.
static void read_head(
    const std::vector<PgResult>& results, std::size_t first, int user_id, PgProjectHead& head)
{
    head.project = read_task_in_project(results[first], user_id);
    if (!head.project)
        return;
    const PgResult& unread = results[first + 1];
    for (int row = 0; row < unread.rows(); ++row)
        head.unread.emplace_back(unread.int32(row, 0), unread.int32(row, 1));
    head.sharing = pg_read_project_sharing(results[first + 2], head.project->task.owner_id);
}

// The parents of `page`, each once: those `head` holds go into `parents`, and the ids of the
// others are answered. The project itself comes with the head.
static std::vector<int> take_kept_parents(const std::vector<TaskRow>& page, int project_id,
    const PgProjectHead* head, std::vector<TaskRow>& parents)
{
    std::vector<int> seen;
    std::vector<int> missing;
    for (const TaskRow& row : page) {
        int id = row.parent_id;
        if (id == project_id || std::find(seen.begin(), seen.end(), id) != seen.end())
            continue;
        seen.push_back(id);
        const TaskRow* kept = nullptr;
        if (head) {
            auto found = head->folders.find(id);
            kept = found == head->folders.end() ? nullptr : &found->second;
        }
        if (kept)
            parents.push_back(*kept);
        else
            missing.push_back(id);
    }
    return missing;
}

static void keep_folders(PgProjectHead& head, const std::vector<TaskRow>& parents)
{
    for (const TaskRow& parent : parents) {
        if (head.folders.size() >= PgProjectHead::max_folders)
            return;
        head.folders.emplace(parent.id, parent);
    }
}

ListPageRead PgTransaction::read_list_page(
    int user_id, int project_id, const TaskRow* after, int limit, std::int64_t now)
{
    static constexpr char state_sql[]
        = "SELECT (SELECT value FROM counters WHERE name = 'seq'), stamp FROM users WHERE id = $1";
    static constexpr char tasks_sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE id = ANY($1)";
    // The project's head, and the folders earlier pages showed, go with the page unless those
    // read earlier may still hold. Whether they do shows only in this snapshot's state, and
    // ones older than a state this process has seen are read again at once, so only a change
    // made since then costs a second exchange.
    PgProjectHeads& heads = m_storage.project_heads();
    std::shared_ptr<const PgProjectHead> known = heads.find(user_id, project_id, now);
    if (known && known->seq < m_storage.latest_seq())
        known = nullptr;
    // A session check about to go out brings the state; otherwise it is asked for.
    bool asks_state = !m_session_check;
    std::vector<PgConnection::Statement> statements;
    if (asks_state)
        statements.push_back({ state_sql, PgParams().add(user_id) });
    // The page alone is a plain index range; with its parents it costs a third more.
    const char* page_sql = known ? (after ? list_after_sql : list_first_sql)
                                 : (after ? list_after_parents_sql : list_first_parents_sql);
    statements.push_back({ page_sql, list_params(project_id, after, limit) });
    std::size_t page_at = statements.size() - 1;
    if (!known) {
        for (PgConnection::Statement& statement : head_statements(user_id, project_id, now))
            statements.push_back(std::move(statement));
    }
    std::vector<PgResult> results = run_all(std::move(statements));
    std::optional<ReadState> state;
    if (asks_state && results[0].rows() > 0) {
        state = ReadState { user_id, results[0].int64(0, 0), results[0].int32(0, 1) };
        m_storage.note_seq(state->seq);
    } else if (!asks_state && m_checked_state.user_id == user_id)
        state = m_checked_state;
    ListPageRead read;
    const PgResult& tasks = results[page_at];
    for (int row = 0; row < tasks.rows(); ++row) {
        if (known)
            read.page.push_back(read_task(tasks, row));
        else
            (tasks.int32(row, 0) == 0 ? read.page : read.parents)
                .push_back(read_task(tasks, row, 1));
    }
    std::shared_ptr<const PgProjectHead> head;
    if (known && state && known->seq == state->seq && known->stamp == state->stamp) {
        head = known;
        // A page of a project the caller does not see is dropped below, so it wants no parents.
        std::vector<int> missing = known->project
            ? take_kept_parents(read.page, project_id, known.get(), read.parents)
            : std::vector<int> {};
        if (!missing.empty()) {
            std::vector<TaskRow> more = read_tasks(run(tasks_sql, PgParams().add_array(missing)));
            if (known->folders.size() < PgProjectHead::max_folders) {
                auto grown = std::make_shared<PgProjectHead>(*known);
                keep_folders(*grown, more);
                heads.store(user_id, project_id, grown);
            }
            read.parents.insert(read.parents.end(), more.begin(), more.end());
        }
    } else {
        auto fresh = std::make_shared<PgProjectHead>();
        if (known) {
            // The plain page went out on a head that no longer holds: the head and every
            // parent come now, from the same snapshot.
            std::vector<PgConnection::Statement> again = head_statements(user_id, project_id, now);
            again.push_back({ tasks_sql,
                PgParams().add_array(
                    take_kept_parents(read.page, project_id, nullptr, read.parents)) });
            std::vector<PgResult> more = run_all(std::move(again));
            read_head(more, 0, user_id, *fresh);
            read.parents = read_tasks(more.back());
        } else {
            read_head(results, page_at + 1, user_id, *fresh);
        }
        if (fresh->project)
            keep_folders(*fresh, read.parents);
        if (state) {
            fresh->seq = state->seq;
            fresh->stamp = state->stamp;
            fresh->read_at_ms = now;
            heads.store(user_id, project_id, fresh);
        }
        head = std::move(fresh);
    }
    read.project = head->project;
    read.unread = head->unread;
    read.sharing = head->sharing;
    if (!read.project) {
        read.page.clear();
        read.parents.clear();
    }
    return read;
}

} // namespace corvane::server
