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

} // namespace
