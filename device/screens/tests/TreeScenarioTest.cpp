#include "device/screens/tests/ScenarioTest.h"

using namespace corvane;
using namespace corvane::test;

namespace {

class TreeScenario : public ScenarioTest {
protected:
    // Gives a project a tag through the seeding account.
    void tag_project(Client& owner, std::int32_t id, const WString& tag)
    {
        Task edited = *owner.engine->find_task(id);
        edited.tag = tag;
        EXPECT_EQ(owner.act([&](Engine& e) { e.save_task(edited, u""); }), u"");
    }
};

// Root -> project -> folder -> task and back up again, with the path bar of the folder.
// Every record is the user's own, so each list has the marked section only: its header is
// item 0 (item 1 at the root and in a project, after the entry to the flat list).
TEST_F(TreeScenario, BrowsesDownToATaskAndBack)
{
    Client& ann = user(u"ann@example.com", u"Ann");
    std::int32_t garden = ann.create(0, u"Garden");
    std::int32_t beds = ann.create(garden, u"Beds");
    ann.create(beds, u"Dig");
    play("tree_browse",
        login_lines("ann@example.com")
            + "wait 1\n"
              "expect_text title All projects\n"
              "shot root.png\n"
              "tap list/@2\n"
              "wait 1\n"
              "expect_text title Garden\n"
              "shot project.png\n"
              "tap list/@2\n"
              "wait 1\n"
              "expect_text title Beds\n"
              "expect_visible path\n"
              "expect_text path/5/#text Garden\n"
              "shot folder.png\n"
              "tap list/@1\n"
              "wait 1\n"
              "expect_screen Task\n"
              "shot task.png\n"
              "tap cancel\n"
              "wait 1\n"
              "expect_screen Tree\n"
              "expect_text title Beds\n"
              "tap back\n"
              "wait 1\n"
              "expect_text title Garden\n"
              "tap back\n"
              "wait 1\n"
              "expect_text title All projects\n"
              "expect_text back Menu\n"
              "shot back_at_root.png\n");
}

// The list of all tasks pages through 60 tasks, 25 at a time, with "more" at its end.
TEST_F(TreeScenario, AllTasksPagesWithMore)
{
    Client& ann = user(u"ann@example.com", u"Ann");
    std::int32_t big = ann.create(0, u"Big");
    for (int n = 1; n <= 60; ++n)
        ann.create(big, u"Task " + to_wstring(n));
    std::string scroll = "fling list -4000\nwait 3\nfling list -4000\nwait 3\n";
    play("all_tasks_paging",
        login_lines("ann@example.com")
            + "wait 1\n"
              "tap list/@0\n"
              "wait 2\n"
              "expect_text title All tasks\n"
              "expect_text back Back\n"
              "shot first_page.png\n"
            + scroll
            + "expect_visible list/@26/more\n"
              "shot more.png\n"
              "tap list/@26/more\n"
              "wait 2\n"
            + scroll
            + "tap list/@51/more\n"
              "wait 2\n"
            + scroll
            + "expect_visible list/@60\n"
              "shot all_sixty.png\n"
              "tap back\n"
              "wait 1\n"
              "expect_text title All projects\n");
}

// Tags show at the root after the entry to the flat list; a tag opens a level with its
// projects, and back returns to the root.
TEST_F(TreeScenario, TagsAtTheRootAndATagLevel)
{
    Client& ann = user(u"ann@example.com", u"Ann");
    tag_project(ann, ann.create(0, u"House"), u"Home");
    tag_project(ann, ann.create(0, u"Yard"), u"Home");
    tag_project(ann, ann.create(0, u"Office"), u"Work");
    play("tree_tags",
        login_lines("ann@example.com")
            + "wait 1\n"
              "expect_text list/@1/name Home\n"
              "expect_text list/@2/name Work\n"
              "shot root_with_tags.png\n"
              "tap list/@1\n"
              "wait 1\n"
              "expect_text title Home\n"
              "shot tag_level.png\n"
              "tap back\n"
              "wait 1\n"
              "expect_text title All projects\n");
}

// A project that a second account shares with the user appears at the user's root and opens.
TEST_F(TreeScenario, ProjectSharedByASecondAccount)
{
    user(u"ann@example.com", u"Ann");
    Client& bob = user(u"bob@example.com", u"Bob");
    std::int32_t plan = bob.create(0, u"Bob plan");
    bob.create(plan, u"First step");
    EXPECT_EQ(bob.act([&](Engine& e) { e.change_permission(plan, u"ann@example.com", 2); }), u"");
    play("tree_shared",
        login_lines("ann@example.com")
            + "wait 1\n"
              "shot root_shared.png\n"
              "tap list/@2\n"
              "wait 1\n"
              "expect_text title Bob plan\n"
              "shot shared_project.png\n"
              "tap select_user\n"
              "wait 1\n"
              "shot select_user.png\n");
}

} // namespace
