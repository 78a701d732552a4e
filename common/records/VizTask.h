#pragma once

#include "common/records/Change.h"
#include "common/records/Permission.h"

#include <cstdint>
#include <vector>

namespace corvane {

// How a task's own changes are written. The client never sends them (the service would
// ignore them); the service sends them with news.
enum class TaskChangesForm {
    Null,
    Written,
};

// A task or a project as the service sends it. Field order is the wire order.
struct VizTask {
    static constexpr WStringView signature = u"com.ulmar.viz.client.VizTask/2697914237";

    std::int32_t ownerId { -1 };
    bool editable { true };
    std::vector<Change> changes; // the newest changes, when the service sends them
    std::int32_t value1 { 0 };
    std::int32_t value2 { 0 };
    bool complete { false };
    std::int64_t date { 0 }; // Long; ms since 1970; second sort key, newest first
    std::int32_t value3 { 0 };
    std::int64_t deadline { 0 }; // Long; 0 = no deadline
    std::int32_t done { 0 }; // read as its absolute value
    std::int32_t plan { 0 }; // read as its absolute value
    std::int32_t childCount { 0 };
    std::int32_t unreadCount { 0 };
    std::int32_t id { -1 }; // -1 = not yet created; 0 = the tree root
    bool marked { false };
    bool unread { false };
    std::vector<WString> stringList; // read when present; never written
    WString title; // first line is the title, the rest the description
    std::int32_t parentId { -1 }; // 0 for a project
    std::vector<Permission> permissions;
    std::int32_t projectId { -1 };
    std::int32_t responsibleId { -1 };
    std::int32_t status { 0 }; // 0 to 5
    WString tag; // projects only

    // `changes` and `stringList` are written as null objects unless the changes are asked for.
    void save(RpcWriter& writer, TaskChangesForm changes_form = TaskChangesForm::Null) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const VizTask&) const = default;
};

// The order of every sorted task list: not complete before complete, newer `date` first,
// tasks with a deadline before those without, earlier deadline first, `title` by UTF-16
// units, then `id`. Negative, zero or positive.
int compare_tasks(const VizTask& a, const VizTask& b);

} // namespace corvane
