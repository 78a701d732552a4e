#include "device/core/TimeUtils.h"
#include "device/screens/tests/ScenarioTest.h"

#include <future>
#include <tuple>

using namespace corvane;
using namespace corvane::test;

namespace {

class TaskScenario : public ScenarioTest {
protected:
    // From the root: into the first project, then the task screen of its first task.
    static constexpr const char* open_first_task = "wait 1\n"
                                                   "tap list/@2\nwait_for list/@2\n"
                                                   "tap list/@2\nwait_for list/@0/name\n"
                                                   "expect_screen Task\n";
    // Ann's own engine, fresh from the service, in the folder `parent`.
    Engine& reader(std::int32_t parent)
    {
        if (!m_reader) {
            m_reader = &client();
            EXPECT_EQ(m_reader->login(u"ann@example.com", u"secret-ann@example.com"), u"");
        }
        EXPECT_EQ(m_reader->act([&](Engine& e) { e.open_folder(parent); }), u"");
        return *m_reader->engine;
    }
    const Task* read(std::int32_t parent, std::int32_t id)
    {
        reader(parent);
        EXPECT_EQ(m_reader->act([&](Engine& e) { e.load_task(id); }), u"");
        return m_reader->engine->find_task(id);
    }
    // The id of the child of `parent` with that title; -1 when there is none.
    std::int32_t child_titled(std::int32_t parent, WStringView title)
    {
        Engine& engine = reader(parent);
        const Task* record = engine.find_task(parent);
        for (std::int32_t id : record ? record->childIds : std::vector<std::int32_t> {})
            if (engine.find_task(id)->title == title)
                return id;
        return -1;
    }

    std::string tall { "320x480" };

private:
    Client* m_reader { nullptr };
};

} // namespace

// The user edits every property of a task, saves, and finds the change as the newest chat entry.
TEST_F(TaskScenario, EditsEveryPropertyAndSeesTheChange)
{
    Client& ann = user(u"ann@example.com", u"Ann");
    std::int32_t project = ann.create(0, u"Home");
    std::int32_t task = ann.create(project, u"Buy milk\nTwo bottles", u"first note");
    ASSERT_GT(task, 0);
    DateTimeRecord today = decompose(time_now());
    // Turning the day drum on to index 31 lands on the first of next month.
    int days = 32 - today.day;

    std::string backspaces;
    for (int i = 0; i < 20; ++i)
        backspaces += "press Backspace\n";
    play("edit",
        login_lines("ann@example.com") + open_first_task
            + "expect_text list/@0/progress/#value_text 0 / 0\n"
              // Title and description.
              "tap list/@0/name\nwait_for edit\nexpect_screen Title\nwait_for save hidden\n"
            + backspaces
            + "type Buy bread\n"
              "press Enter\n"
              "type Three loaves\nwait_for save\n"
              "tap save\nwait_for list/@0/name\nexpect_text title Buy bread\n"
              // A comment.
              "tap list/@0/comment\nwait_for edit\nexpect_screen Comment\n"
              "type Picked up on the way\n"
              "tap save\nwait_for list/@0/comment\n"
              "expect_text list/@0/comment/#value_text Picked up on the way\n"
              // Progress: plan 7, then 2 done.
              "tap list/@0/progress\nwait_for plan\nexpect_screen Progress\n"
              "wait_for save hidden\n"
              "tap 7\n"
              "tap done\n"
              "tap 2\nwait_for save\n"
              "tap save\nwait_for list/@0/progress\n"
              "expect_text list/@0/progress/#value_text 0 + 2 / 7\n"
              // The deadline, across the end of this month.
              "tap list/@0/deadline\nwait_for date/day\nexpect_screen Deadline\n"
              "wait_for remove hidden\n"
              "drag date/day 0 -"
            + std::to_string(days * 28)
            + " 30\nwait 2\n"
              "tap save\nwait_for list/@0/deadline\n"
              // The status.
              "tap list/@0/status\nwait_for list/@5\nexpect_screen Colors\n"
              "tap list/@5\nwait_for list/@0/status\nexpect_screen Task\n"
              "tap save\nwait 2\nexpect_screen Tree\n"
              // The saved record, opened again, shows the change on top of its chat.
              "tap list/@2\nwait_for list/@1/time\nexpect_text list/@0/comment/#value_text \n"
              "expect_text list/@1/description Picked up on the way\n"
              "expect_text list/@1/name Buy bread\nexpect_text list/@1/progress +2 / +7\n"
              "expect_visible list/@1/status\nexpect_visible list/@1/deadline\n"
              "fling list -600\nwait 3\nwait_for list/@2/description\n"
              "expect_text list/@2/description first note\n",
        tall);

    const Task* saved = read(project, task);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(std::tuple(saved->title, saved->done, saved->plan, saved->status),
        std::tuple(WString(u"Buy bread\nThree loaves"), 2, 7, 4));
    DateTimeRecord deadline = decompose(time_from_millis(saved->deadline));
    EXPECT_EQ(std::tuple(deadline.year, deadline.month, deadline.day),
        std::tuple(today.year + (today.month == 12 ? 1 : 0), today.month % 12 + 1, 1));
    EXPECT_EQ(saved->deadline % 86'400'000, 0) << "a deadline is a day: midnight UTC";
}

// A project, a folder in it and a task in the folder, all made on the device; then the task
// goes again.
TEST_F(TaskScenario, CreatesAProjectAFolderAndATaskAndRemovesIt)
{
    user(u"ann@example.com", u"Ann");
    play("create",
        login_lines("ann@example.com")
            + "tap plus\nwait_for edit\nexpect_screen Title\n"
              "type Garden\n"
              "tap save\nwait_for create\nexpect_screen Task\nexpect_text title New project\n"
              "expect_visible list/@0/tag\n"
              "tap list/@0/tag\nwait_for edit\nexpect_screen Tag\nwait_for save hidden\n"
              // The group editor takes the typing at once, as the other editors do.
              "type Outdoor\nwait_for save\n"
              "tap save\nwait_for create\nexpect_text list/@0/tag/#value_text Outdoor\n"
              "tap create\n"
              // The new group shows as a row of its own above the project.
              "wait_for list/@3\nexpect_screen Tree\nwait 1\n"
              "tap list/@3\nwait 1\nexpect_text title Garden\n"
              "tap plus\nwait_for edit\n"
              "type Tools\n"
              "tap save\nwait_for create\nexpect_text title New task\nexpect_visible path\n"
              "tap create\nwait_for list/@2\n"
              // A record without children opens as a task; its "subtasks" leads into it.
              "tap list/@2\nwait_for subtasks\n"
              "tap subtasks\nwait 1\nexpect_screen Tree\nexpect_text title Tools\n"
              "tap plus\nwait_for edit\n"
              "type Rake\n"
              "tap save\nwait_for create\n"
              "tap create\nwait 2\nwait_for list/@1\n"
              // Removing asks first; "Cancel" keeps the task, "OK" deletes it and the screen
              // closes. Leaving the title editor of a new task abandons it: nothing is sent.
              "tap list/@1\nwait_for list/@0/del\nexpect_screen Task\n"
              "tap list/@0/del\nwait_for btnOk\nexpect_screen FormMessageOkCancel\n"
              "expect_text text Delete \"Rake\"?\n"
              "tap btnCancel\nwait_for list/@0/del\nexpect_screen Task\n"
              "tap list/@0/del\nwait_for btnOk\n"
              "tap btnOk\nwait 3\nexpect_screen Tree\n"
              "tap plus\nwait_for edit\ntype Half a thought\n"
              "tap back\nwait 1\nexpect_screen Tree\n",
        tall);

    EXPECT_EQ(server->calls_of("createTask"), 3) << "nothing for the abandoned record";
    std::int32_t garden = child_titled(0, u"Garden");
    ASSERT_GT(garden, 0);
    EXPECT_EQ(reader(0).find_task(garden)->tag, u"Outdoor");
    std::int32_t tools = child_titled(garden, u"Tools");
    ASSERT_GT(tools, 0);
    EXPECT_EQ(child_titled(tools, u"Rake"), -1);
}

// Bob edits a task that Ann has open with unsaved edits. A change that touches only the history
// leaves Ann's edits in place with Bob's entry on top of the chat; a change of a property she did
// not edit reaches her screen and keeps her own edits (her colour and her comment stay).
TEST_F(TaskScenario, RemoteEditsReachAnOpenTask)
{
    Client& bob = user(u"bob@example.com", u"Bob");
    Client& ann = user(u"ann@example.com", u"Ann");
    std::int32_t project = ann.create(0, u"Home");
    ASSERT_EQ(
        ann.act([&](Engine& e) { e.change_permission(project, u"bob@example.com", 2); }), u"");
    std::int32_t task = ann.create(project, u"Shared list");
    ASSERT_GT(task, 0);
    for (int i = 1; i <= 25; ++i)
        ASSERT_EQ(ann.act([&](Engine& e) {
            e.save_task(
                edit_of(*e.find_task(task)), u"note " + to_wstring(static_cast<std::int32_t>(i)));
        }),
            u"");
    ASSERT_EQ(bob.act([&](Engine& e) { e.open_folder(0); }), u"");
    ASSERT_EQ(bob.act([&](Engine& e) { e.open_folder(project); }), u"");
    ASSERT_NE(bob.engine->find_task(task), nullptr);

    // Bob's changes arrive by themselves, each a new row on top of the history (the "more" row
    // moves down one, which the script waits for before anything could ask for news: the
    // program keeps a news wait open beside its other calls). A rejected ticket on the clipboard
    // still shows its dialog over the task and must leave the screen's edits alone.
    const std::string poke = "clipboard --START-OF-TICKET--no-such-ticket--END-OF-TICKET--\n";
    auto run = std::async(std::launch::async, [&] {
        return run_script("remote",
            login_lines("ann@example.com") + open_first_task
                + "wait_for list/@1/description\n"
                  "tap list/@0/comment\nwait_for edit\n"
                  "type Mine\n"
                  "tap save\nwait_for list/@0/status\n"
                  "tap list/@0/status\nwait_for list/@3\n"
                  "tap list/@3\nwait_for save\nshot before.png\n"
                  "wait_file comment-done\n"
                  // Nothing is asked: the comment comes through the open news wait.
                  "fling list -3000\nwait 3\nwait_for list/@12/more\n"
                + poke
                + "tap list/@12/more\nwait_for btnOk\nexpect_screen Ticket\n"
                  "tap btnOk\nwait_for save\nexpect_screen Task\n"
                  "fling list 6000\nwait 3\nwait_for list/@1/description\n"
                  "expect_text list/@1/description From Bob\n"
                  "expect_text list/@0/comment/#value_text Mine\nexpect_visible list/@0/status/2\n"
                  "shot kept.png\n"
                  "wait_file title-done\n"
                + poke
                + "fling list -6000\nwait 3\nwait_for list/@23/more\n"
                  "tap list/@23/more\nwait_for btnOk\n"
                  "tap btnOk\nwait 1\nexpect_text title Bob's list\n"
                  "fling list 9000\nwait 3\nwait_for list/@0/name\n"
                  "expect_text list/@0/name/#value_text Bob's list\n"
                  // Bob changed only the title: it arrives, and the user's unsaved colour
                  // and comment stay.
                  "expect_visible list/@0/status/2\nexpect_text list/@0/comment/#value_text Mine\n",
            tall);
    });
    ASSERT_TRUE(wait_for_file(shots() + "/before.png"));
    // Only the history changes: a comment.
    EXPECT_EQ(
        bob.act([&](Engine& e) { e.save_task(edit_of(*e.find_task(task)), u"From Bob"); }), u"");
    std::ofstream(shots() + "/comment-done") << "\n";
    ASSERT_TRUE(wait_for_file(shots() + "/kept.png"));
    // A property changes: the title.
    Task renamed = edit_of(*bob.engine->find_task(task));
    renamed.title = u"Bob's list";
    EXPECT_EQ(bob.act([&](Engine& e) { e.save_task(renamed, u""); }), u"");
    std::ofstream(shots() + "/title-done") << "\n";
    ScriptRun result = run.get();
    EXPECT_EQ(result.code, 0) << result.errors;
}
