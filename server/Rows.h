#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Plain rows as the store keeps them. Texts are UTF-16 code units exactly as the client sent
// them (a lone surrogate survives a round trip). Times are milliseconds since 1970.
namespace corvane::server {

using Text = std::u16string;

struct UserRow {
    int id { 0 };
    Text account;
    Text name;
    std::string password_hash; // PHC string; never logged or sent.
    int stamp { 0 };
};

struct TaskRow {
    int id { 0 };
    int parent_id { 0 };
    int project_id { 0 };
    int owner_id { 0 };
    int responsible_id { 0 };
    Text title;
    Text tag;
    int status { 0 };
    bool complete { false };
    int done { 0 };
    int plan { 0 };
    std::int64_t deadline { 0 };
    std::int64_t date { 0 };
    int child_count { 0 };
    std::int64_t created_seq { 0 };
};

// A Change as the client reads it, plus the task and project it belongs to.
struct ChangeRow {
    std::int64_t change_id { 0 };
    int task_id { 0 };
    int project_id { 0 };
    int kind { 0 };
    Text text;
    int complete { -1 };
    std::int64_t deadline { 0 };
    int done_delta { 0 };
    int plan_delta { 0 };
    Text title;
    int responsible_id { 0 };
    int status { -2 };
    std::int64_t time { 0 };
    int user_id { 0 };
    int author_id { 0 };
};

enum class ChangeKind : int {
    Edit = 0,
    Creation = 1,
    Share = 4,
    Unshare = 5,
};

struct PermissionRow {
    int project_id { 0 };
    int user_id { 0 };
    int level { 0 };
    std::int64_t joined_seq { 0 };
    Text account; // Filled by the queries that list a project's participants.
};

struct InvitationRow {
    int id { 0 };
    int project_id { 0 };
    Text address;
    int level { 0 };
    int inviter_id { 0 };
    std::int64_t expires { 0 };
};

enum class EventKind : int {
    Change = 0,
    Create = 1,
    Remove = 2,
    AccessGained = 3,
    AccessLost = 4,
    LevelChanged = 5,
};

// audience 0 = whoever sees the project now; otherwise that one user.
struct EventRow {
    std::int64_t seq { 0 };
    EventKind kind { EventKind::Change };
    int task_id { 0 };
    int parent_id { 0 };
    int project_id { 0 };
    int audience { 0 };
};

struct ViewedRow {
    int task_id { 0 };
    std::int64_t viewed_seq { 0 };
    int stamp { 0 };
};

} // namespace corvane::server
