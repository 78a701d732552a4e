#pragma once

#include "common/base/Text.h"
#include "common/records/Task.h"
#include "device/core/TimeUtils.h"

#include <cstdint>
#include <vector>

namespace corvane {

// The rules of the task screen that need no window: what its rows show, when it counts as
// edited, how the history it holds follows the engine's, and what a save sends.

// Older history entries are fetched in pages of this size.
inline constexpr std::int32_t chat_page_size = 10;

// The eight fields the user edits here: complete flag, done, planned, text, responsible user,
// status, deadline and tag.
bool same_edited_fields(const Task& a, const Task& b);
// Nothing to save: the edited copy equals the snapshot in those fields and no comment is written.
bool is_unchanged(const Task& edited, const Task& snapshot, WStringView comment);

// The fields someone else's save can collide with (progress travels as differences, which add
// up, so it never collides).
enum class EditedField { Complete, Title, Responsible, Status, Deadline, Tag };
struct EditMerge {
    Task edited; // the user's copy, brought up to date with the incoming record
    std::vector<EditedField> conflicts; // edited by the user and by someone else, differently
};
// Merges someone else's version of the record into the user's unsaved edits, field by field: a
// field the user has not touched takes the incoming value; a field the user changed keeps the
// user's value (a conflict when the incoming value also moved, to something else); progress
// keeps the user's difference on top of the incoming numbers. Everything else (history, flags,
// sharing) comes from the incoming record.
EditMerge merge_edits(const Task& snapshot, const Task& edited, const Task& incoming);
// Puts the incoming value of one field into `edited` (the user chose theirs).
void take_field(Task& edited, const Task& incoming, EditedField field);
// The language key naming a field in the conflict question.
WStringView field_key(EditedField field);

// The progress row: the snapshot's done, the signed change of done when there is one, then the
// planned number ("3 + 2 / 10", "5 - 1 / 8", "3 / 10").
WString progress_text(
    std::int32_t snapshot_done, std::int32_t edited_done, std::int32_t edited_plan);
// The progress of one history entry: each delta, positive ones with "+" ("+2 / 0", "-1 / +3").
WString progress_delta_text(std::int32_t done_delta, std::int32_t plan_delta);

// Whether showing the record should ask for older history: fewer than a page is known and the
// service may have more.
bool wants_older_changes(const Task& record);

// What a save hands to the engine: the progress as changes against the snapshot, and no history
// or participants (the service owns both).
Task sendable_copy(const Task& edited, const Task& snapshot);

// A new record under `parent_id`: id -1, the parent's responsible user and project (none when
// the parent is unknown).
Task new_record_under(std::int32_t parent_id, const Task* parent);

// What one chat row shows for a history entry. Names and dates are left to the screen.
struct ChatRowShape {
    bool description { false };
    bool name { false };
    bool responsible { false };
    bool status { false };
    std::int32_t status_state { 0 }; // 0..5
    bool progress { false };
    WString progress_text;
    bool complete { false };
    std::int32_t complete_state { 0 }; // 0 or 1
    bool deadline { false };
    bool share { false }; // the entry's user was given access
    bool unshare { false }; // the entry's user lost access
};
ChatRowShape chat_row_shape(const Change& change);

// How the held history changed in a merge, for the rows of the list.
struct ChangeMerge {
    bool replaced { false }; // the held history was empty and took everything
    std::int32_t inserted_top { 0 }; // new entries now at held[0..inserted_top)
    std::int32_t appended { 0 }; // new entries now at the end
};
// Brings `held` up to date with the engine's history (both newest first) without touching the
// entries it already has: the engine's entries before the one matching the first held entry go
// on top, in the engine's order, and those after the one matching the last held entry go at the
// end. An entry whose changeId is already held is never added twice.
ChangeMerge merge_changes(std::vector<Change>& held, const std::vector<Change>& engine);

// The deadline picker's answer as the service's milliseconds since 1970 (the picked calendar
// day and time, taken as UTC, like the deadlines the service sends).
std::int64_t deadline_millis(TimeValue picked);
// The day a deadline falls on, for the picker; `today` when there is no deadline.
TimeValue deadline_day(std::int64_t deadline, TimeValue today);

} // namespace corvane
