// corvane-live: how long another account's change takes to reach an open program. Two engines
// (the program's model of the service, which the open screen redraws from) log in to a real
// vizserver; one keeps its waitNews call open, the other saves a task's title over and over,
// and each round is timed from the save to the moment the listening engine holds the new
// title. Once against one instance, once against two instances on one database behind haproxy.
// Usage: corvane-live [--rounds N]
#include "bench/EngineDriver.h"
#include "device/model/engine/tests/VizServerProcess.h"
#include "device/platform/Platform.h"
#include "server/testing/ServiceCluster.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace corvane;
using namespace corvane::test;
using SteadyClock = std::chrono::steady_clock;

namespace {

using Account = bench::DriverAccount;

class Live : bench::EngineDriver {
public:
    // Times `rounds` saves by one account as seen by another through the service at `url`.
    // Answers the number of rounds that never arrived.
    int run(const char* name, const std::string& url, int rounds)
    {
        Account ann, bob;
        WString base = from_utf8(url);
        ann.engine = std::make_unique<Engine>(base, ann.listener);
        bob.engine = std::make_unique<Engine>(base, bob.listener);
        bool ready = act(ann, [](Engine& e) {
            e.login(u"ann@live.example", u"secret-ann", u"Ann");
        }) && act(bob, [](Engine& e) { e.login(u"bob@live.example", u"secret-bob", u"Bob"); });
        std::int32_t project = ready ? create(ann, 0, u"Live") : -1;
        std::int32_t task = project > 0 ? create(ann, project, u"Watched") : -1;
        ready = task > 0
            && act(ann, [&](Engine& e) { e.change_permission(project, u"bob@live.example", 2); });
        bob.engine->listen_for_news(true);
        ready = ready && act(bob, [](Engine& e) { e.open_folder(0); })
            && act(bob, [&](Engine& e) { e.open_folder(project); }) && bob.engine->find_task(task)
            && bob.engine->hears_news_live();
        if (!ready) {
            std::printf("  %-48s could not be set up\n", name);
            return rounds;
        }
        std::vector<double> times;
        int lost = 0;
        for (int round = 0; round < rounds; ++round) {
            Task change = *ann.engine->find_task(task);
            change.done = 0;
            change.plan = 0;
            change.title = u"Round " + to_wstring(round);
            SteadyClock::time_point start = SteadyClock::now();
            ann.engine->save_task(change, u"");
            bool seen = m_loop.run_until(
                m_scheduler,
                [&] {
                    const Task* now = bob.engine->find_task(task);
                    return now && now->title == change.title;
                },
                std::chrono::seconds(30));
            times.push_back(
                std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
            lost += !seen;
            // The writer's own queue comes back to rest before the next round.
            m_loop.run_until(
                m_scheduler, [&] { return !ann.engine->is_busy(); }, std::chrono::seconds(30));
        }
        std::sort(times.begin(), times.end());
        std::printf("  %-48s p50 %7.1f ms  max %7.1f ms  (%d of %d never arrived)\n", name,
            times[times.size() / 2], times.back(), lost, rounds);
        bob.engine->listen_for_news(false);
        return lost;
    }
};

} // namespace

int main(int argc, char** argv)
{
    int rounds = 20;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[i + 1]));
    install_default_platform();
    std::string folder
        = (std::filesystem::temp_directory_path() / ("corvane-live-" + std::to_string(::getpid())))
              .string();
    std::filesystem::create_directories(folder + "/one");
    std::filesystem::create_directories(folder + "/two");
    int lost = 0;
    std::printf("corvane-live: from one account's save to another account's open program\n");
    {
        VizServerProcess one(folder + "/one");
        if (!one.start()) {
            std::fprintf(
                stderr, "vizserver did not start (%s)\n", VizServerProcess::binary().c_str());
            return 2;
        }
        lost += Live().run(
            "one instance", "http://127.0.0.1:" + std::to_string(one.port()) + "/", rounds);
    }
    {
        server::testing::ServiceCluster two({ VizServerProcess::binary(), folder + "/two", {}, 2,
            { "--password-cost", "cheap", "--no-throttle", "--quiet" } });
        if (!two.start()) {
            std::fprintf(stderr, "%s\n", two.error().c_str());
            return 2;
        }
        lost += Live().run("two instances on one database behind haproxy",
            "http://127.0.0.1:" + std::to_string(two.port()) + "/", rounds);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return lost == 0 ? 0 : 1;
}
