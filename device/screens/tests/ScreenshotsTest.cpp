#include "device/screens/tests/ScenarioTest.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// The pictures of the README: the demo data of the service, shown at the sizes and densities
// of real phones and in both languages.
class Screenshots : public ScenarioTest {
protected:
    std::vector<std::string> server_options() const override { return { "--demo" }; }

    struct Size {
        const char* display;
        int dpi;
    };
    static constexpr Size sizes[] = { { "240x320", 96 }, { "480x640", 192 }, { "640x480", 192 } };
    static constexpr const char* languages[] = { "english", "russian" };

    // From the Login screen to the root of the tree, as the demo user.
    static std::string demo_login()
    {
        return "tap email\ntype demo@example.com\ntap password\ntype demo1234\ntap login\n"
               "wait_for list\n";
    }
    // From the root to the demo task that has a history.
    static std::string open_demo_task()
    {
        return "drag list 0 -200 0.5\nwait 1\ntap_text Corvane launch\nwait 1\n"
               "tap_text Planning\nwait 1\ntap_text Review the screens\nwait_for list/@0/name\n";
    }
};

// Log-in, the root of the tree with its projects, a folder and the list of all tasks.
TEST_F(Screenshots, BrowsingTheDemoProject)
{
    for (const char* language : languages) {
        for (const Size& size : sizes) {
            std::string prefix = std::string(language) + "-" + size.display + "-";
            SCOPED_TRACE(prefix);
            std::filesystem::remove(device_cache());
            std::filesystem::remove(device_registry());
            set_device_setting(u"Language", from_utf8(language));
            play(prefix + "browse",
                "wait_for email\n"
                "wait 1\n"
                "shot "
                    + prefix + "login.png\n" + demo_login()
                    + "wait 1\n"
                      "shot "
                    + prefix
                    + "root.png\n"
                      "drag list 0 -200 0.5\n"
                      "wait 1\n"
                      "tap_text Corvane launch\n"
                      "wait_for path/5 hidden\n"
                      "wait 1\n"
                      "tap_text Planning\n"
                      "wait_for path\n"
                      "wait 1\n"
                      "shot "
                    + prefix
                    + "folder.png\n"
                      "tap back\n"
                      "wait 1\n"
                      "tap back\n"
                      "wait 1\n"
                      "drag list 0 300 0.5\n"
                      "wait 1\n"
                      "tap list/@0\n"
                      "wait_for list\n"
                      "wait 2\n"
                      "shot "
                    + prefix + "all-tasks.png\n",
                { size.display, size.dpi });
        }
    }
}

// A task with its history, each of its editors, and the user list in its three uses.
TEST_F(Screenshots, TheTaskScreenItsEditorsAndSharing)
{
    for (const char* language : languages) {
        for (const Size& size : { sizes[0], sizes[1] }) {
            std::string prefix = std::string(language) + "-" + size.display + "-";
            SCOPED_TRACE(prefix);
            std::filesystem::remove(device_cache());
            std::filesystem::remove(device_registry());
            set_device_setting(u"Language", from_utf8(language));
            auto editor
                = [&](const std::string& row, const std::string& ready, const std::string& name) {
                      return "tap list/@0/" + row + "\n" + "wait_for " + ready + "\nwait 1\nshot "
                          + prefix + name + ".png\ntap back\nwait_for list/@0/name\nwait 1\n";
                  };
            play(prefix + "task",
                "wait_for email\n" + demo_login()
                    + "wait 1\n"
                      "tap select_user\n"
                      "wait_for email hidden\n"
                      "wait 1\n"
                      "shot "
                    + prefix
                    + "users-filter.png\n"
                      "tap back\n"
                      "wait_for select_user\n"
                    // The group editor belongs to a project: open the project's own properties
                    // with the info button of its row, the last one at the root.
                    + "drag list 0 -200 0.5\nwait 3\ntap list/@5/info\nwait_for list/@0/tag\n"
                    + editor("tag", "edit", "tag-editor") + "tap cancel\nwait_for select_user\n"
                    + open_demo_task()
                    + "wait 2\n"
                      "shot "
                    + prefix + "task.png\n" + editor("name", "edit", "title-editor")
                    + editor("comment", "edit", "comment-editor")
                    + editor("progress", "plan", "progress-editor")
                    + editor("deadline", "date", "deadline-editor")
                    + editor("status", "list", "status-list")
                    + editor("responsible", "list", "users-responsible")
                    // "share" sits at the foot of the properties, below the fold on small screens.
                    + "drag list 0 -120 0.5\nwait 3\n" + editor("share", "email", "sharing"),
                { size.display, size.dpi });
        }
    }
}

// The responsible-user choice lists every member of the project, also one whose account the
// program had not needed before (only the history named the colleague so far).
TEST_F(Screenshots, TheResponsibleChoiceListsEveryMember)
{
    play("responsible",
        "wait_for email\n" + demo_login() + open_demo_task()
            + "tap list/@0/responsible\n"
              "wait_for list/@2\n"
              "expect_screen Sharing\n"
              "expect_text list/@1/value Demo User\n"
              "expect_text list/@2/value Friendly Colleague\n");
}

} // namespace
