#include "device/screens/tests/ScenarioTest.h"

using namespace corvane;
using namespace corvane::test;

namespace {

using SharingScenario = ScenarioTest;

// Bob owns "Shed" and shares it with Ann; Ann shares "Garden" with Bob and keeps "Attic" to
// herself. In Garden's sharing manager Ann invites an address, sees it listed, withdraws it
// through "remove" and "confirm_remove", and a refused address is said and stays to be
// corrected. Then she picks Bob as the user whose tasks the tree shows: the picker closes, the
// tree names Bob and sorts the projects by whether Bob takes part.
TEST_F(SharingScenario, InvitesAndChoosesTheFilterUser)
{
    Client& bob = user(u"bob@example.com", u"Bob");
    Client& ann = user(u"ann@example.com", u"Ann");
    std::int32_t shed = bob.create(0, u"Shed");
    EXPECT_EQ(bob.act([&](Engine& e) { e.change_permission(shed, u"ann@example.com", 2); }), u"");
    std::int32_t garden = ann.create(0, u"Garden");
    EXPECT_EQ(ann.act([&](Engine& e) { e.change_permission(garden, u"bob@example.com", 2); }), u"");
    ASSERT_GT(ann.create(0, u"Attic"), 0);
    play("sharing",
        "wait_for login\n" + login_lines("ann@example.com")
            + "wait 1\n"
              "tap list/@3/info\nwait_for list\nexpect_screen Task\nexpect_text title Garden\n"
              "tap list/@0/share\nwait_for list\nexpect_screen Sharing\n"
              "expect_text title Sharing: Garden\n"
              "tap email\ntype carol@example.com\n"
              "tap plus\nwait_for wait hidden\nwait 1\n"
              "expect_text list/@1/value carol@example.com\nexpect_text email \n"
              "tap list/@1/remove\nexpect_visible list/@1/confirm_remove\n"
              "tap list/@1/confirm_remove\nwait_for wait hidden\nwait 1\n"
              "expect_text list/@0/name Members of Garden\n"
              "tap email\ntype carol@\n"
              "tap plus\nwait_for btnOk\nexpect_screen FormMessage\n"
              "expect_text text The server did not accept an invitation to \"carol@\". Check the "
              "address.\n"
              "tap btnOk\nwait_for btnOk hidden\nexpect_text email carol@\n"
              "tap back\nwait_for cancel\n"
              "tap cancel\nwait_for select_user\n"
              "tap select_user\nwait_for list\nexpect_screen Sharing\n"
              "expect_text title Show tasks of\nexpect_text list/@0/value All users\n"
              // After the sharing manager the other users have their header. Without a project
              // the first known user is listed once.
              "expect_text list/@1/name Other users\nexpect_text list/@2/value Bob\n"
              "expect_text list/@3/value Ann\n"
              "tap list/@2/value\nwait_for select_user\nexpect_screen Tree\n"
              "expect_text select_user Bob\nwait 1\nexpect_text list/@1/name Assigned to Bob\n"
              "expect_text list/@3/name Shared with Bob\n"
              "expect_text list/@5/name Not shared with Bob\n",
        "240x560");
    for (const Permission& permission : permissions_of(ann, garden))
        EXPECT_NE(permission.email, u"carol@example.com");

    // The choice outlives the program: after a restart the tree still names Bob, and picking
    // "All users" clears the filter the tree names, in the settings and in the cache alike.
    std::int32_t bob_id = bob.engine->auth().userId;
    EXPECT_EQ(device_setting<std::uint32_t>(u"selected_user"), static_cast<std::uint32_t>(bob_id));
    std::optional<WString> sid = device_setting(u"sid");
    ASSERT_TRUE(sid);
    EXPECT_EQ(*sid, cached().login_key());
    EXPECT_EQ(cached().filter().responsible, bob_id);
    play("filter-kept",
        "wait_for select_user\nexpect_screen Tree\nexpect_text select_user Bob\n"
        "tap select_user\nwait_for list\nexpect_screen Sharing\n"
        "tap list/@0/value\nwait_for select_user\nexpect_text select_user All users\n");
    EXPECT_EQ(device_setting<std::uint32_t>(u"selected_user"), static_cast<std::uint32_t>(-1));
    EXPECT_EQ(cached().filter().responsible, -1);
}

// The service's demo data: a project shared with a colleague whom only its history names.
class DemoSharingScenario : public ScenarioTest {
protected:
    std::vector<std::string> server_options() const override { return { "--demo" }; }
};

} // namespace

// The responsible-user choice lists every member of the project, also one whose account the
// program had not needed before; the pick lands in the task screen, which saves it.
TEST_F(DemoSharingScenario, TheResponsibleChoiceListsEveryMember)
{
    play("responsible",
        "wait_for email\n"
        "tap email\ntype demo@example.com\n"
        "tap password\ntype demo1234\n"
        "tap login\nwait_for list\n"
        "drag list 0 -200 0.5\nwait 1\n"
        "tap_text Corvane launch\nwait 1\n"
        "tap_text Planning\nwait 1\n"
        "tap_text Review the screens\nwait_for list/@0/name\n"
        "tap list/@0/responsible\nwait_for list/@2\nexpect_screen Sharing\n"
        "expect_text title Responsible\nexpect_text list/@1/value Demo User\n"
        "expect_text list/@2/value Friendly Colleague\n"
        "tap list/@2/value\nwait_for save\nexpect_screen Task\n"
        "expect_text list/@0/responsible/#value_text Friendly Colleague\n"
        "tap save\nwait 1\n");
    EXPECT_GE(server->calls_of("updateTask"), 1);
}
