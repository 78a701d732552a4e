#include "device/model/engine/tests/EngineHarness.h"

using namespace corvane;
using namespace corvane::test;

using EngineSession = EngineServiceTest;

// Registering logs in at once; after a logout the password logs in again, whatever the case of
// the address, and loads the root. A wrong password leaves the client logged out with an empty
// key; so does registering a taken address. When the
// service ends the session, one silent login with the stored key lets the queued work go on
// without an error reaching the screens; once the login key has expired too, the client ends
// logged out.
TEST_F(EngineSession, from_registration_to_an_expired_login_key)
{
    user(u"bob@example.org");
    Client& c = user(u"ann@example.org", u"Ann");
    EXPECT_FALSE(c.engine->login_key().empty());
    EXPECT_EQ(c.engine->auth().serverVersion, u"6");
    ASSERT_NE(c.engine->find_task(0), nullptr);
    EXPECT_FALSE(c.engine->find_task(0)->childrenPending);
    EXPECT_EQ(c.engine->user_name(c.engine->auth().userId), u"Ann");

    c.engine->logout();
    EXPECT_TRUE(c.engine->tasks().empty());
    EXPECT_EQ(c.login(u"ann@example.org", u"not-hers"), u"ERROR_WRONG_PASSWORD");
    EXPECT_FALSE(c.engine->is_logged_in());
    EXPECT_TRUE(c.engine->login_key().empty());
    EXPECT_EQ(c.register_user(u"bob@example.org", u"another-pass", u"B"), u"ERROR_USER_EXISTS");
    EXPECT_FALSE(c.engine->is_logged_in());
    EXPECT_EQ(c.login(u"Ann@Example.org", u"secret-ann@example.org"), u"");
    EXPECT_TRUE(c.engine->is_logged_in());

    std::int32_t project = c.create(0, u"Garden");
    ASSERT_GT(project, 0);
    WString old_session = c.engine->auth().session;
    ASSERT_EQ(server->admin({ "expire-sessions" }), 0);
    std::size_t before = server->methods().size();
    EXPECT_EQ(c.act([&](Engine& e) { e.open_folder(project); }), u"");
    EXPECT_TRUE(c.engine->is_logged_in());
    EXPECT_NE(c.engine->auth().session, old_session);
    std::vector<std::string> calls = server->methods();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1], "authenticate"); // the refused call, then the login with the key
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "authenticate"), 1);
    // The project comes back from the service after the reset.
    ASSERT_NE(c.engine->find_task(project), nullptr);
    EXPECT_EQ(c.engine->find_task(project)->title, u"Garden");

    ASSERT_EQ(server->admin({ "expire-login-keys" }), 0);
    ASSERT_EQ(server->admin({ "expire-sessions" }), 0);
    EXPECT_EQ(c.act([](Engine& e) { e.open_folder(0); }), u"ERROR_LOGIN_EXPIRED");
    EXPECT_FALSE(c.engine->is_logged_in());
}

class EngineOldService : public EngineServiceTest {
    std::vector<std::string> server_options() const override { return { "--server-version", "5" }; }
};

// A service of another version leaves the client logged out with no key.
TEST_F(EngineOldService, another_server_version_is_refused)
{
    Client& c = client();
    EXPECT_EQ(c.register_user(u"fay@example.org", u"secret-fay", u"Fay"), u"ERROR_VERSION");
    EXPECT_FALSE(c.engine->is_logged_in());
    EXPECT_TRUE(c.engine->login_key().empty());
}
