// A stand-in for the program that the kill tests end with SIGKILL at arbitrary moments: it
// logs in from the cache, then saves one progress step with a comment after another, sending
// each before the next, and prints "accepted <comment>" once the engine has taken a change
// (the moment the screen would report it done).
// Usage: outbox_writer <base url> <cache> <outbox> <task id> <prefix> <count>
#include "device/core/CActiveScheduler.h"
#include "device/core/testing/ThreadedLoop.h"
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"
#include "device/platform/Platform.h"

#include <cstdio>
#include <cstdlib>

using namespace corvane;

int main(int argc, char** argv)
{
    if (argc != 7)
        return 2;
    install_default_platform();
    test::ThreadedLoop loop;
    CActiveScheduler scheduler(loop, platform_clock());
    EngineListener listener;
    Engine engine(from_utf8(argv[1]), listener);
    if (engine.load_cache(from_utf8(argv[2])) != Engine::CacheLoad::Loaded)
        return 3;
    engine.open_outbox(from_utf8(argv[3]));
    const Task* task = engine.find_task(std::atoi(argv[4]));
    if (!task)
        return 4;
    Task edit = *task;
    edit.done = 1;
    edit.plan = 0;
    edit.loadedChanges.clear();
    engine.retry(); // what an earlier run left goes first
    for (int i = 0; i < std::atoi(argv[6]); ++i) {
        std::string comment = std::string(argv[5]) + "-" + std::to_string(i);
        engine.save_task(edit, from_utf8(comment));
        std::printf("accepted %s\n", comment.c_str());
        std::fflush(stdout);
        loop.run_until(
            scheduler, [&] { return !engine.is_busy(); }, std::chrono::seconds(20));
    }
    loop.run_until(
        scheduler, [&] { return !engine.is_busy() && engine.unsent_count() == 0; },
        std::chrono::seconds(20));
    return engine.unsent_count() == 0 ? 0 : 1;
}
