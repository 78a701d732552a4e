#include "device/screens/task/TaskRules.h"

#include <algorithm>
#include <cstdlib>

namespace corvane {

bool same_edited_fields(const Task& a, const Task& b)
{
    return a.complete == b.complete && a.done == b.done && a.plan == b.plan && a.title == b.title
        && a.responsibleId == b.responsibleId && a.status == b.status && a.deadline == b.deadline
        && a.tag == b.tag;
}

namespace {

    template<typename Value>
    void merge_field(Value VizTask::*member, EditedField field, const Task& snapshot,
        const Task& edited, const Task& incoming, EditMerge& out)
    {
        bool mine = edited.*member != snapshot.*member;
        bool theirs = incoming.*member != snapshot.*member;
        if (!mine)
            return; // out.edited already holds the incoming value
        out.edited.*member = edited.*member;
        if (theirs && incoming.*member != edited.*member)
            out.conflicts.push_back(field);
    }

} // namespace

EditMerge merge_edits(const Task& snapshot, const Task& edited, const Task& incoming)
{
    EditMerge out;
    out.edited = incoming;
    merge_field(&Task::complete, EditedField::Complete, snapshot, edited, incoming, out);
    merge_field(&Task::title, EditedField::Title, snapshot, edited, incoming, out);
    merge_field(&Task::responsibleId, EditedField::Responsible, snapshot, edited, incoming, out);
    merge_field(&Task::status, EditedField::Status, snapshot, edited, incoming, out);
    merge_field(&Task::deadline, EditedField::Deadline, snapshot, edited, incoming, out);
    merge_field(&Task::tag, EditedField::Tag, snapshot, edited, incoming, out);
    // The user's progress is a difference against what was shown; it stays a difference.
    out.edited.done = incoming.done + (edited.done - snapshot.done);
    out.edited.plan = incoming.plan + (edited.plan - snapshot.plan);
    return out;
}

void take_field(Task& edited, const Task& incoming, EditedField field)
{
    switch (field) {
    case EditedField::Complete:
        edited.complete = incoming.complete;
        break;
    case EditedField::Title:
        edited.title = incoming.title;
        break;
    case EditedField::Responsible:
        edited.responsibleId = incoming.responsibleId;
        break;
    case EditedField::Status:
        edited.status = incoming.status;
        break;
    case EditedField::Deadline:
        edited.deadline = incoming.deadline;
        break;
    case EditedField::Tag:
        edited.tag = incoming.tag;
        break;
    }
}

WStringView field_key(EditedField field)
{
    switch (field) {
    case EditedField::Complete:
        return u"FieldComplete";
    case EditedField::Title:
        return u"FieldTitle";
    case EditedField::Responsible:
        return u"FieldResponsible";
    case EditedField::Status:
        return u"FieldStatus";
    case EditedField::Deadline:
        return u"FieldDeadline";
    case EditedField::Tag:
        break;
    }
    return u"FieldTag";
}

bool is_unchanged(const Task& edited, const Task& snapshot, WStringView comment)
{
    return comment.empty() && same_edited_fields(edited, snapshot);
}

WString progress_text(
    std::int32_t snapshot_done, std::int32_t edited_done, std::int32_t edited_plan)
{
    WString text = to_wstring(snapshot_done);
    if (edited_done != snapshot_done) {
        std::int64_t difference = static_cast<std::int64_t>(edited_done) - snapshot_done;
        text += difference > 0 ? u" + " : u" - ";
        text += to_wstring(difference > 0 ? difference : -difference);
    }
    text += u" / ";
    text += to_wstring(edited_plan);
    return text;
}

namespace {

    WString signed_text(std::int32_t value)
    {
        return value > 0 ? u"+" + to_wstring(value) : to_wstring(value);
    }

    bool same_id(const Change& a, const Change& b)
    {
        return a.changeId == b.changeId;
    }

    bool holds(const std::vector<Change>& held, const Change& change)
    {
        return std::any_of(
            held.begin(), held.end(), [&](const Change& c) { return same_id(c, change); });
    }

    // The engine's index of the entry with this changeId, or -1.
    std::ptrdiff_t index_of(const std::vector<Change>& engine, const Change& change)
    {
        auto it = std::find_if(
            engine.begin(), engine.end(), [&](const Change& c) { return same_id(c, change); });
        return it == engine.end() ? -1 : it - engine.begin();
    }

} // namespace

WString progress_delta_text(std::int32_t done_delta, std::int32_t plan_delta)
{
    return signed_text(done_delta) + u" / " + signed_text(plan_delta);
}

bool wants_older_changes(const Task& record)
{
    return record.moreChanges
        && record.loadedChanges.size() < static_cast<std::size_t>(chat_page_size);
}

Task sendable_copy(const Task& edited, const Task& snapshot)
{
    Task copy = edited;
    copy.done = edited.done - snapshot.done;
    copy.plan = edited.plan - snapshot.plan;
    copy.changes.clear();
    copy.permissions.clear();
    return copy;
}

Task new_record_under(std::int32_t parent_id, const Task* parent)
{
    Task record;
    record.id = -1;
    record.parentId = parent_id;
    if (parent) {
        record.responsibleId = parent->responsibleId;
        record.projectId = parent->projectId;
    }
    record.moreChanges = false; // nothing to fetch for a record the service has not seen
    return record;
}

ChatRowShape chat_row_shape(const Change& change)
{
    ChatRowShape shape;
    shape.description = !change.text.empty();
    shape.name = !change.title.empty();
    shape.responsible = change.responsibleId != 0;
    shape.status = change.status != -2;
    shape.status_state = std::clamp(change.status, 0, 5);
    shape.progress = change.doneDelta != 0 || change.planDelta != 0;
    if (shape.progress)
        shape.progress_text = progress_delta_text(change.doneDelta, change.planDelta);
    shape.complete = change.complete != -1;
    shape.complete_state = std::clamp(change.complete, 0, 1);
    shape.deadline = change.deadline != 0;
    bool names_user = change.userId != 0;
    shape.share = names_user && change.kind == Change::kind_shared;
    shape.unshare = names_user && change.kind == Change::kind_unshared;
    return shape;
}

ChangeMerge merge_changes(std::vector<Change>& held, const std::vector<Change>& engine)
{
    ChangeMerge result;
    if (held.empty()) {
        if (engine.empty())
            return result;
        // Take them all, but once each even if the engine repeats one.
        for (const Change& change : engine) {
            if (!holds(held, change))
                held.push_back(change);
        }
        result.replaced = true;
        return result;
    }

    std::vector<Change> above;
    std::ptrdiff_t first = index_of(engine, held.front());
    for (std::ptrdiff_t i = 0; i < first; ++i) {
        if (!holds(held, engine[i]) && !holds(above, engine[i]))
            above.push_back(engine[i]);
    }
    std::vector<Change> below;
    std::ptrdiff_t last = index_of(engine, held.back());
    if (last >= 0) {
        for (std::size_t i = static_cast<std::size_t>(last) + 1; i < engine.size(); ++i) {
            if (!holds(held, engine[i]) && !holds(above, engine[i]) && !holds(below, engine[i]))
                below.push_back(engine[i]);
        }
    }
    held.insert(held.begin(), above.begin(), above.end());
    held.insert(held.end(), below.begin(), below.end());
    result.inserted_top = static_cast<std::int32_t>(above.size());
    result.appended = static_cast<std::int32_t>(below.size());
    return result;
}

namespace {

    // The picker's years end at 3999; the first representable day is 1 January 1601.
    constexpr std::int64_t earliest_millis = -millis_1601_to_1970;
    constexpr std::int64_t latest_millis = 64'060'588'800'000; // 1 January 4000

} // namespace

std::int64_t deadline_millis(TimeValue picked)
{
    return time_to_millis(picked);
}

TimeValue deadline_day(std::int64_t deadline, TimeValue today)
{
    TimeValue day = deadline == 0
        ? today
        : time_from_millis(clamp64(deadline, earliest_millis, latest_millis - 1));
    return with_time_of_day(day, 0, 0, 0);
}

} // namespace corvane
