#include "device/model/engine/NewsWaiter.h"
#include "device/model/engine/tests/EngineHarness.h"
#include "device/net/tests/RawSocketServer.h"

using namespace corvane;
using namespace corvane::test;

using EngineLiveNews = EngineServiceTest;

// With a wait open beside the queue, another account's save reaches an engine that asks for
// nothing itself; the queue goes on meanwhile (a wait in its place would hold it for 25 s).
TEST_F(EngineLiveNews, another_accounts_save_arrives_without_asking)
{
    Client& ann = user(u"ann@example.org", u"Ann");
    Client& bob = user(u"bob@example.org", u"Bob");
    std::int32_t project = ann.create(0, u"Shared");
    std::int32_t task = ann.create(project, u"Paint the fence");
    ASSERT_GT(task, 0);
    EXPECT_EQ(
        ann.act([&](Engine& e) { e.change_permission(project, u"bob@example.org", 2); }), u"");
    bob.engine->listen_for_news(true);
    EXPECT_EQ(bob.act([](Engine& e) { e.open_folder(0); }), u"");
    EXPECT_EQ(bob.act([&](Engine& e) { e.open_folder(project); }), u"");
    ASSERT_NE(bob.engine->find_task(task), nullptr);
    EXPECT_TRUE(bob.engine->hears_news_live());

    for (const WString title : { u"Paint the fence white", u"Paint the gate too" }) {
        Task change = edit_of(*ann.engine->find_task(task));
        change.title = title;
        EXPECT_EQ(ann.act([&](Engine& e) { e.save_task(change, u""); }), u"");
        EXPECT_TRUE(loop.run_until(
            scheduler, [&] { return bob.engine->find_task(task)->title == title; },
            std::chrono::seconds(15)))
            << "the save did not reach the other account";
    }
    EXPECT_TRUE(bob.engine->hears_news_live());
    bob.engine->logout();
    EXPECT_FALSE(bob.engine->hears_news_live());
}

// A service that fails the wait is asked again after a delay; one that does not know the call
// (our own refusal, or a framework's exception from an older service) is not asked again, and
// the owner's poll takes over.
TEST(NewsWaiter, backs_off_after_a_failure_and_gives_up_on_an_unknown_call)
{
    TestEnvironment env;
    install_default_platform();
    ThreadedLoop loop;
    CActiveScheduler scheduler { loop, platform_clock() };
    struct Case {
        std::string reply;
        bool asks_again;
    };
    const Case cases[] = {
        { http_reply(503, ""), true },
        { http_reply(200,
              "//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"ERROR_NOT_"
              "SUPPORTED\"],0,3]"),
            false },
        { http_reply(200,
              "//EX[2,1,[\"com.google.gwt.user.client.rpc.IncompatibleRemoteServiceException/"
              "3936916533\",\"This application is out of date\"],0,3]"),
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        RawSocketServer service(c.reply, RawSocketServer::After::Close);
        ASSERT_TRUE(service.is_running());
        int news = 0;
        int refused = 0;
        NewsWaiter waiter(ServiceIdentity { service.wide_url("/") },
            { [&](std::int32_t) { ++news; }, [&](WStringView) { ++refused; } });
        waiter.start(u"0123456789abcdef0123456789abcdef", 7);
        if (c.asks_again) {
            EXPECT_TRUE(loop.run_until(
                scheduler, [&] { return service.received().size() >= 2; },
                std::chrono::seconds(15)))
                << "a failed wait was not retried";
            EXPECT_TRUE(waiter.is_supported());
        } else {
            EXPECT_TRUE(loop.run_until(
                scheduler, [&] { return !waiter.is_supported(); }, std::chrono::seconds(15)));
            EXPECT_EQ(service.received().size(), 1u);
            EXPECT_FALSE(waiter.is_live());
        }
        ASSERT_FALSE(service.received().empty());
        EXPECT_NE(service.received()[0].find("waitNews"), std::string::npos);
        EXPECT_EQ(news + refused, 0);
    }
}
