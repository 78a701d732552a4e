#include "device/model/engine/NewsWaiter.h"
#include "device/core/CActiveScheduler.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/core/testing/ThreadedLoop.h"
#include "device/net/tests/RawSocketServer.h"
#include "device/platform/Platform.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

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
