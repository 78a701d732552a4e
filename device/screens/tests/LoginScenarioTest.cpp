#include "device/core/File.h"
#include "device/model/engine/Outbox.h"
#include "device/screens/tests/ScenarioTest.h"

#include <future>

using namespace corvane;
using namespace corvane::test;

namespace {

using LoginScenario = ScenarioTest;

// Registration happens on the Login screen: switching modes keeps what was typed, a missing name
// is asked for before anything is sent, and the confirmation names the address and sends the
// request. The next start goes through "Connecting" straight to the tree on the cached session,
// without a new log-in; "Logout" from the main menu returns to the Login screen in log-in mode
// with the address remembered. A wrong password comes back as the error form with the
// language's text, over the Login screen, which keeps the e-mail and forgets the password; the
// right one brings the tree back. "About" in the main menu shows the program's name and version,
// "Project page" without a browser says so, and "back" returns to the tree. Choosing Russian in
// the menu's language submenu then rebuilds every screen with Russian texts, and the choice
// holds for the next start.
TEST_F(LoginScenario, RegistersRestartsLogsOutAndSwitchesTheLanguage)
{
    play("register",
        "wait_for regstart\n"
        "tap email\ntype carol@example.com\n"
        "tap password\ntype secret-carol@example.com\n"
        "tap regstart\nwait_for name\n"
        "tap regcancel\nwait_for name hidden\nexpect_text email carol@example.com\n"
        "tap regstart\nwait_for name\n"
        "tap reg\nwait_for btnOk\nexpect_screen FormMessage\n"
        "expect_text text Enter your name to create an account.\n"
        "tap btnOk\nwait_for btnOk hidden\nexpect_screen Login\n"
        "tap name\ntype Carol\n"
        "tap reg\nwait_for btnOk\nexpect_screen Register\n"
        "expect_text text Create a new account for carol@example.com?\n"
        "tap btnOk\nwait_for list\nexpect_screen Tree\nwait 1\n"
        "expect_text list/@0/description No projects yet. Tap + to create one.\n");
    EXPECT_EQ(server->calls_of("registerUser"), 1);
    EXPECT_EQ(device_setting(u"email"), WString(u"carol@example.com"));
    ASSERT_TRUE(std::filesystem::exists(device_cache()));
    long before = server->calls_of("authenticate");
    // No program on the search path: "Project page" cannot start a browser and must say so.
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ASSERT_EQ(setenv("PATH", profile().c_str(), 1), 0);
    play("restart",
        "wait_for list\nexpect_screen Tree\nexpect_text title All projects\n"
        "tap back\nwait_for vlist\nexpect_screen Menu\n"
        "tap vlist/@2\nwait_for login\nexpect_screen Login\nwait_for name hidden\n"
        "expect_visible regstart\nexpect_text email carol@example.com\nexpect_text password \n"
        "tap password\ntype not-the-password\n"
        "tap login\nwait_for btnOk\nexpect_screen FormMessage\n"
        "expect_text caption Error\nexpect_text text Wrong e-mail or password.\n"
        "tap btnOk\nwait_for login\nexpect_screen Login\n"
        "expect_text email carol@example.com\nexpect_text password \n"
            + login_lines("carol@example.com", false)
            + "tap back\nwait_for vlist\n"
              "tap vlist/@0\nwait_for btn_portal\nexpect_screen About\n"
              "expect_text app Corvane\nexpect_text version Version 1.3\n"
              "tap btn_portal\nwait_for btnOk\nexpect_screen FormMessage\n"
              "expect_text text No web browser could be started.\n"
              "tap btnOk\nwait_for btnOk hidden\nexpect_screen About\n"
              "tap back\nwait_for list\nexpect_screen Tree\n"
              "tap back\nwait_for vlist\n"
              "tap vlist/@1\nwait 1\nexpect_text vlist/@1/#text russian\n"
              "tap vlist/@1\nwait 2\nwait_for list\nexpect_screen Tree\n"
              "expect_text title Все проекты\n"
              "tap back\nwait_for vlist\nexpect_text vlist/@0/#text О программе\n"
              "tap vlist/@2\nwait_for login\nexpect_text login Войти\n");
    setenv("PATH", path.c_str(), 1);
    // Only the log-ins authenticate: the wrong password, then the right one and the key it got.
    EXPECT_EQ(server->calls_of("authenticate"), before + 3);
    EXPECT_EQ(device_setting(u"Language"), WString(u"russian"));
}

class OutdatedClient : public ScenarioTest {
protected:
    std::vector<std::string> server_options() const override { return { "--server-version", "7" }; }
};

// A service that speaks a newer version answers the log-in with the "Version" form over the
// Login screen; its cancel button only closes it.
TEST_F(OutdatedClient, ShowsTheVersionFormAndStaysLoggedOut)
{
    ASSERT_EQ(
        server->admin({ "create-user", "ida@example.com", "secret-ida@example.com", "Ida" }), 0);
    play("version",
        "wait_for email\n"
        "tap email\ntype ida@example.com\n"
        "tap password\ntype secret-ida@example.com\n"
        "tap login\nwait_for btnCancel\nexpect_screen Version\n"
        "tap btnCancel\nwait_for login\nexpect_screen Login\n");
}

} // namespace

// A project created while the service is gone waits in the outbox: the Problem screen counts
// it, and "logout" asks before it discards the change, where "cancel" keeps it. The next start
// from the cache, with the service still gone, shows the Problem screen with the change still
// counted; a retry that fails again says so rather than looking like nothing happened, and
// "retry" once the service is back closes it and sends the change. A second offline change
// dropped with "OK" is gone for good.
TEST_F(LoginScenario, OfflineChangesAndTheProblemScreen)
{
    user(u"ida@example.com", u"Ida");
    auto run = std::async(std::launch::async, [this] {
        return run_script("offline-change",
            login_lines("ida@example.com")
                + "shot online.png\n"
                  "wait_file service-gone\n"
                  "tap plus\nwait_for edit\n"
                  "type Offline plans\n"
                  "tap save\nwait_for create\n"
                  "tap create\nwait_for retry\nexpect_screen Problem\n"
                  "expect_text pending Changes waiting to be sent: 1\n"
                  "tap logout\nwait_for btnOk\nexpect_screen FormMessageOkCancel\n"
                  "expect_text caption Unsent changes\n"
                  "tap btnCancel\nwait_for retry\nexpect_screen Problem\n");
    });
    ASSERT_TRUE(wait_for_file(shots() + "/online.png"));
    server->stop();
    std::ofstream(shots() + "/service-gone") << "\n";
    ScriptRun result = run.get();
    EXPECT_EQ(result.code, 0) << result.errors;

    run = std::async(std::launch::async, [this] {
        return run_script("offline-start",
            "wait_for retry\nexpect_screen Problem\n"
            "expect_text pending Changes waiting to be sent: 1\nshot problem.png\n"
            "tap retry\nwait_for wait hidden\n"
            "expect_text text Still no connection. Your changes are kept; try again later.\n"
            "wait_file service-back\n"
            "tap retry\nwait_for retry hidden\nexpect_screen Tree\nshot back-online.png\n"
            "wait_file service-gone-again\n"
            "tap plus\nwait_for edit\n"
            "type Dropped plans\n"
            "tap save\nwait_for create\n"
            "tap create\nwait_for retry\n"
            "tap logout\nwait_for btnOk\n"
            "tap btnOk\nwait_for login\nexpect_screen Login\n");
    });
    EXPECT_TRUE(wait_for_file(shots() + "/problem.png"));
    ASSERT_TRUE(server->start());
    std::ofstream(shots() + "/service-back") << "\n";
    ASSERT_TRUE(wait_for_file(shots() + "/back-online.png"));
    server->stop();
    std::ofstream(shots() + "/service-gone-again") << "\n";
    result = run.get();
    EXPECT_EQ(result.code, 0) << result.errors;

    // The kept change reached the service; the dropped one never did.
    ASSERT_TRUE(server->start());
    Client& ida = client();
    EXPECT_EQ(ida.login(u"ida@example.com", u"secret-ida@example.com"), u"");
    std::vector<WString> titles;
    for (std::int32_t id : ida.engine->find_task(0)->childIds)
        titles.push_back(ida.engine->find_task(id)->title);
    EXPECT_EQ(titles, std::vector<WString> { u"Offline plans" });
    std::optional<SharedBuffer> outbox = read_whole_file(
        from_utf8((std::filesystem::path(device_cache()).parent_path() / "outbox.dat").string()));
    ASSERT_TRUE(outbox.has_value());
    std::size_t dropped = 0;
    EXPECT_TRUE(Outbox::decode(*outbox, dropped).empty());
}
