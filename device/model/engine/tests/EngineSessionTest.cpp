#include "device/model/engine/tests/EngineHarness.h"

using namespace corvane;
using namespace corvane::test;

using EngineSession = EngineServiceTest;

// Registering logs in at once; after a logout the password logs in again and loads the root.
TEST_F(EngineSession, register_log_out_and_log_in_again)
{
    Client& c = user(u"ann@example.org", u"Ann");
    EXPECT_FALSE(c.engine->login_key().empty());
    EXPECT_EQ(c.engine->auth().serverVersion, u"6");
    ASSERT_NE(c.engine->find_task(0), nullptr);
    EXPECT_FALSE(c.engine->find_task(0)->childrenPending);
    EXPECT_EQ(c.engine->user_name(c.engine->auth().userId), u"Ann");

    c.engine->logout();
    EXPECT_FALSE(c.engine->is_logged_in());
    EXPECT_TRUE(c.engine->login_key().empty());
    EXPECT_TRUE(c.engine->tasks().empty());

    EXPECT_EQ(c.login(u"Ann@Example.org", u"secret-ann@example.org"), u"");
    EXPECT_TRUE(c.engine->is_logged_in());
}

// A wrong password leaves the client logged out with an empty key; so does an unknown account.
TEST_F(EngineSession, wrong_password_and_existing_account)
{
    user(u"bob@example.org");
    Client& other = client();
    EXPECT_EQ(other.login(u"bob@example.org", u"not-his-password"), u"ERROR_WRONG_PASSWORD");
    EXPECT_TRUE(other.engine->login_key().empty());
    EXPECT_FALSE(other.engine->is_logged_in());
    EXPECT_EQ(other.login(u"nobody@example.org", u"whatever"), u"ERROR_WRONG_PASSWORD");

    EXPECT_EQ(
        other.register_user(u"bob@example.org", u"another-pass", u"Bob 2"), u"ERROR_USER_EXISTS");
    EXPECT_FALSE(other.engine->is_logged_in());
    EXPECT_EQ(other.register_user(u"bad-address", u"another-pass", u"X"), u"ERROR_BAD_EMAIL");
}

// The service ended the session: one silent login with the stored key, and the queued work
// goes on without an error reaching the screens.
TEST_F(EngineSession, an_ended_session_logs_in_again_silently)
{
    Client& c = user(u"carol@example.org");
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
}

// An expired login key cannot renew the session: the client ends logged out with the key.
TEST_F(EngineSession, an_expired_login_key_ends_at_the_login_screen)
{
    Client& c = user(u"dan@example.org");
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
