#include "device/screens/task/TaskRules.h"
#include "device/screens/task/ProgressInput.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace corvane;

namespace {

Change entry(std::int32_t change_id)
{
    Change change;
    change.changeId = change_id;
    return change;
}

std::vector<std::int32_t> ids(const std::vector<Change>& changes)
{
    std::vector<std::int32_t> out;
    for (const Change& c : changes)
        out.push_back(c.changeId);
    return out;
}

Task sample_task()
{
    Task task;
    task.id = 12;
    task.title = u"Buy milk\nTwo bottles";
    task.done = 3;
    task.plan = 10;
    task.status = 2;
    task.responsibleId = 7;
    task.deadline = 1'700'000'000'000;
    task.tag = u"home";
    return task;
}

} // namespace

// Keys typed into fields opened on done 3 and plan 10: the first digit in a field (after
// opening, or after pressing the field again) replaces its text, a shown "0" is replaced,
// later digits append, backspace shortens (an empty field is 0), a field stops at nine digits,
// and "save" follows whether a number differs. Keys: d/p press a field, < is backspace.
// Opening again after done was changed shows the snapshot's numbers, with "save" offered because
// the record's numbers differ; the first key makes "save" follow the numbers again.
// The progress row shows the snapshot's done, the signed change, and the edited plan.
TEST(ProgressInput, typing_into_the_fields)
{
    struct Case {
        std::string keys;
        std::u16string done, plan;
        bool differs;
    };
    const Case cases[] = {
        { "075", u"3", u"75", true },
        { "4", u"3", u"4", true },
        { "d91", u"91", u"10", true },
        { "d9d2x", u"2", u"10", true },
        { "<", u"3", u"1", true },
        { "<<<8", u"3", u"8", true },
        { "10", u"3", u"10", false },
        { "d3", u"3", u"10", false },
        { "d3<", u"", u"10", true },
        { "1" + std::string(20, '9'), u"3", u"199999999", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        ProgressInput input;
        input.open(3, 10);
        for (char key : c.keys) {
            if (key == 'd' || key == 'p')
                input.select(key == 'd' ? ProgressInput::Field::Done : ProgressInput::Field::Plan);
            else if (key == '<')
                input.backspace();
            else
                input.press_digit(char16_t(key));
        }
        EXPECT_EQ(std::tuple(input.text(ProgressInput::Field::Done),
                      input.text(ProgressInput::Field::Plan), input.differs()),
            std::tuple(c.done, c.plan, c.differs));
        EXPECT_EQ(input.number(ProgressInput::Field::Done),
            c.done.empty() ? 0 : std::stoi(to_utf8(c.done)));
    }

    ProgressInput input;
    input.open(3, 10);
    input.select(ProgressInput::Field::Done);
    input.press_digit(u'5');
    EXPECT_TRUE(input.offers_save());
    input.open(3, 10, true);
    EXPECT_EQ(std::tuple(input.text(ProgressInput::Field::Done),
                  input.text(ProgressInput::Field::Plan), input.selected(), input.differs()),
        std::tuple(WString(u"3"), WString(u"10"), ProgressInput::Field::Plan, false));
    EXPECT_TRUE(input.offers_save());
    input.press_digit(u'1');
    input.press_digit(u'0');
    EXPECT_FALSE(input.offers_save()); // the snapshot's numbers typed again
    input.press_digit(u'4');
    EXPECT_EQ(input.text(ProgressInput::Field::Plan), u"104");
    EXPECT_TRUE(input.offers_save());
    // A plain opening of an unedited record offers nothing.
    input.open(3, 10);
    EXPECT_FALSE(input.offers_save());

    // Large numbers must not overflow into a wrong sign.
    EXPECT_EQ(
        (std::vector { progress_text(3, 5, 10), progress_text(5, 4, 8), progress_text(3, 3, 10),
            progress_text(0, 0, 0), progress_text(0, 2147483647, 1) }),
        (std::vector<WString> {
            u"3 + 2 / 10", u"5 - 1 / 8", u"3 / 10", u"0 / 0", u"0 + 2147483647 / 1" }));
}

// Each of the eight edited fields and the comment make the record "changed"; bookkeeping fields
// do not.
TEST(TaskRules, unchanged_compares_the_eight_fields_and_the_comment)
{
    Task snapshot = sample_task();
    EXPECT_TRUE(is_unchanged(snapshot, snapshot, u""));
    EXPECT_FALSE(is_unchanged(snapshot, snapshot, u"a comment"));

    std::vector<void (*)(Task&)> edits = {
        [](Task& t) { t.complete = !t.complete; },
        [](Task& t) { t.done += 1; },
        [](Task& t) { t.plan += 1; },
        [](Task& t) { t.title += u"!"; },
        [](Task& t) { t.responsibleId = 8; },
        [](Task& t) { t.status = 4; },
        [](Task& t) { t.deadline = 0; },
        [](Task& t) { t.tag = u"work"; },
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        Task edited = snapshot;
        edits[i](edited);
        EXPECT_FALSE(is_unchanged(edited, snapshot, u"")) << "edit " << i;
    }

    Task bookkeeping = snapshot;
    bookkeeping.loadedChanges.push_back(entry(5));
    bookkeeping.moreChanges = false;
    bookkeeping.listed = true;
    bookkeeping.unreadCount = 4;
    EXPECT_TRUE(is_unchanged(bookkeeping, snapshot, u""));
    EXPECT_TRUE(same_edited_fields(bookkeeping, snapshot));
}

// Someone else saved while the user edits: their fields arrive, the user's edited fields stay,
// the user's progress stays a difference on top of theirs, and only a field both changed to
// different values is a conflict (their title kept silently reverting the user's before).
// A save sends progress as deltas against the snapshot and never the history or participants.
TEST(TaskRules, merge_keeps_the_users_fields_and_takes_the_others)
{
    Task snapshot = sample_task();
    Task edited = snapshot;
    edited.title = u"Buy oat milk";
    edited.done = 5; // +2
    edited.tag = u"errands";
    Task incoming = snapshot;
    incoming.status = 4; // only theirs
    incoming.done = 4; // they added 1
    incoming.tag = u"errands"; // both, to the same value
    incoming.loadedChanges.push_back(entry(9));

    EditMerge merge = merge_edits(snapshot, edited, incoming);
    EXPECT_TRUE(merge.conflicts.empty());
    const Task& m = merge.edited;
    EXPECT_EQ(std::tuple(m.title, m.status, m.done, m.plan, m.tag, ids(m.loadedChanges)),
        std::tuple(WString(u"Buy oat milk"), 4, 6, 10, WString(u"errands"),
            std::vector<std::int32_t> { 9 }));
    // What a save then sends is the user's +2 alone.
    EXPECT_EQ(sendable_copy(merge.edited, incoming).done, 2);

    incoming.title = u"Buy soy milk";
    incoming.complete = true;
    edited.complete = true; // the same value: no conflict
    merge = merge_edits(snapshot, edited, incoming);
    EXPECT_EQ(merge.conflicts, std::vector<EditedField> { EditedField::Title });
    EXPECT_EQ(merge.edited.title, u"Buy oat milk");
    take_field(merge.edited, incoming, EditedField::Title);
    EXPECT_EQ(merge.edited.title, u"Buy soy milk");
    EXPECT_TRUE(same_edited_fields(merge_edits(snapshot, snapshot, incoming).edited, incoming));

    edited = snapshot;
    edited.done = 5;
    edited.plan = 8;
    edited.changes.push_back(entry(1));
    edited.permissions.push_back(Permission { 2, u"a@b.c", 4 });
    Task sent = sendable_copy(edited, snapshot);
    EXPECT_EQ(std::tuple(sent.done, sent.plan, sent.changes.size(), sent.permissions.size(),
                  sent.title, sent.id),
        std::tuple(2, -2, 0u, 0u, edited.title, 12));
}

// A history entry shows the rows of what it changes: neither status (-2) nor completion (-1)
// when they stay, share and unshare only with a user and the matching kind.
TEST(TaskRules, chat_row_shows_what_the_entry_changes)
{
    auto shown = [](const Change& change) {
        ChatRowShape s = chat_row_shape(change);
        std::string out;
        for (auto [on, name] : { std::pair { s.description, "description" }, { s.name, "name" },
                 { s.responsible, "responsible" }, { s.deadline, "deadline" }, { s.share, "share" },
                 { s.unshare, "unshare" } })
            out += on ? std::string(name) + " " : "";
        if (s.status)
            out += "status" + std::to_string(s.status_state) + " ";
        if (s.complete)
            out += "complete" + std::to_string(s.complete_state) + " ";
        return s.progress ? out + "progress " + to_utf8(s.progress_text) : out;
    };
    Change change; // every field at its "unchanged" value
    EXPECT_EQ(shown(change), "");
    change.status = 0;
    change.complete = 0;
    change.doneDelta = 2;
    change.text = u"hi";
    change.title = u"New";
    change.responsibleId = 3;
    change.deadline = 1;
    EXPECT_EQ(
        shown(change), "description name responsible deadline status0 complete0 progress +2 / 0");
    change.status = 9; // out of range from the wire: the check image stays in range
    EXPECT_EQ(chat_row_shape(change).status_state, 5);

    change = Change {};
    change.kind = Change::kind_shared;
    EXPECT_EQ(shown(change), ""); // no user named
    change.userId = 42;
    EXPECT_EQ(shown(change), "share ");
    change.kind = Change::kind_unshared;
    EXPECT_EQ(shown(change), "unshare ");
    change.kind = 1;
    EXPECT_EQ(shown(change), "");
}

// The screen's history takes the engine's: all of it when it holds none; else new entries go
// above the first held entry in the engine's order and older pages below the last, nothing held
// or repeated in the engine's run is added twice, and an engine history without a common entry
// adds nothing rather than guessing a place. A held entry stays as held.
TEST(TaskRules, history_merges_into_the_screens)
{
    using Ids = std::vector<std::int32_t>;
    struct Case {
        Ids held, engine, after;
        bool replaced;
        int inserted_top, appended;
    };
    const Ids eight { 23, 22, 21, 20, 19, 18, 17, 16 };
    for (const Case& c : std::vector<Case> {
             { {}, { 9, 8, 8, 7 }, { 9, 8, 7 }, true, 0, 0 },
             { {}, {}, {}, false, 0, 0 },
             { { 20, 19, 18 }, eight, eight, false, 3, 2 },
             { eight, eight, eight, false, 0, 0 },
             { { 5, 4 }, { 9, 8 }, { 5, 4 }, false, 0, 0 },
             { { 5, 4 }, { 7, 7, 5, 4, 4, 3 }, { 7, 5, 4, 3 }, false, 1, 1 },
         }) {
        std::vector<Change> held, engine;
        for (std::int32_t id : c.held)
            held.push_back(entry(id));
        for (std::int32_t id : c.engine) {
            engine.push_back(entry(id));
            engine.back().text = u"engine copy";
        }
        ChangeMerge merge = merge_changes(held, engine);
        std::string name
            = ::testing::PrintToString(c.held) + " + " + ::testing::PrintToString(c.engine);
        EXPECT_EQ(ids(held), c.after) << name;
        EXPECT_EQ(merge.replaced, c.replaced) << name;
        if (c.replaced)
            continue;
        EXPECT_EQ(merge.inserted_top, c.inserted_top) << name;
        EXPECT_EQ(merge.appended, c.appended) << name;
        for (const Change& change : held) {
            if (std::count(c.held.begin(), c.held.end(), change.changeId)) {
                EXPECT_EQ(change.text, u"") << name << ": held entry " << change.changeId;
            }
        }
    }
}

// A new record takes its parent's responsible user and project, and asks for no history. Nine
// known entries ask for older ones; ten, or a history known to be complete, do not.
TEST(TaskRules, new_record_inherits_and_older_history_is_asked_below_a_page)
{
    Task parent = sample_task();
    parent.projectId = 4;
    Task record = new_record_under(12, &parent);
    EXPECT_EQ(std::tuple(record.id, record.parentId, record.responsibleId, record.projectId),
        std::tuple(-1, 12, 7, 4));
    EXPECT_FALSE(wants_older_changes(record));
    Task orphan = new_record_under(0, nullptr);
    EXPECT_EQ(std::tuple(orphan.parentId, orphan.title), std::tuple(0, WString()));

    Task task = sample_task();
    task.moreChanges = true;
    for (std::int32_t i = 0; i < 9; ++i)
        task.loadedChanges.push_back(entry(100 - i));
    EXPECT_TRUE(wants_older_changes(task));
    task.loadedChanges.push_back(entry(50));
    EXPECT_FALSE(wants_older_changes(task));
    task.loadedChanges.pop_back();
    task.moreChanges = false;
    EXPECT_FALSE(wants_older_changes(task));
}

// The deadline round trip: the day of a deadline, picked unchanged, gives the same
// milliseconds; no deadline starts at today; absurd deadlines stay in the picker's range.
TEST(TaskRules, deadline_day_and_millis_round_trip)
{
    std::int64_t midnight = 1'706'659'200'000; // 31 January 2024 00:00 UTC
    EXPECT_EQ(deadline_millis(deadline_day(midnight, 0)), midnight);
    EXPECT_EQ(deadline_millis(deadline_day(midnight + 13 * 3'600'000, 0)), midnight);
    auto ymdhm = [](TimeValue value) {
        DateTimeRecord r = decompose(value);
        return std::tuple(r.year, r.month, r.day, r.hour, r.minute);
    };
    EXPECT_EQ(ymdhm(deadline_day(midnight, 0)), std::tuple(2024, 1, 31, 0, 0));
    // One day on crosses the month end.
    EXPECT_EQ(ymdhm(deadline_day(midnight + 86'400'000, 0)), std::tuple(2024, 2, 1, 0, 0));
    TimeValue today = compose({ 2026, 12, 6, 15, 30, 12.5 });
    EXPECT_EQ(ymdhm(deadline_day(0, today)), std::tuple(2026, 12, 6, 0, 0));
    EXPECT_LT(decompose(deadline_day(INT64_MAX, 0)).year, 4000);
    EXPECT_GE(decompose(deadline_day(INT64_MIN, 0)).year, 1601);
}
