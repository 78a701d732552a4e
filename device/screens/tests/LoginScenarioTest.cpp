#include "device/screens/tests/ScenarioTest.h"

using namespace corvane;
using namespace corvane::test;

namespace {

class LoginScenario : public ScenarioTest { };

// A registered user logs in from the Login screen and reaches the root of the tree; the address
// is remembered for the next start.
TEST_F(LoginScenario, LogsInAndRemembersTheAddress)
{
    user(u"ann@example.com", u"Ann");
    play("login",
        "wait_for login\n"
        "shot login.png\n"
            + login_lines("ann@example.com")
            + "wait 1\n"
              "shot root.png\n");
    EXPECT_EQ(device_setting(u"email"), WString(u"ann@example.com"));
}

} // namespace
