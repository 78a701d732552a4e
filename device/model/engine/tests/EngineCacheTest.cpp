#include "device/core/testing/FakeClock.h"
#include "device/core/testing/ManualSchedulerHost.h"
#include "device/core/testing/TempFolder.h"
#include "device/model/engine/tests/EngineHarness.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>

using namespace corvane;

namespace {

using Recorder = test::EngineRecorder;

// A cache as the client writes it: a logged-in user (7) with a project holding two tasks.
EngineCache sample_cache()
{
    EngineCache cache;
    cache.auth.userId = 7;
    cache.auth.session = u"s1";
    cache.auth.serverVersion = u"6";
    cache.auth.newsCursor = 42;
    cache.loginKey = u"key\"with\\escapes\nand Задача";
    Task root = test::known_task(0, -1, -1);
    root.childIds = { 10 };
    Task project = test::known_task(10, 0, 10);
    project.tag = u"work";
    project.childIds = { 11, 12 };
    Permission owner { 3, u"a@example.org", 7 };
    Permission other { 2, u"b@example.org", 8 };
    project.permissions = { owner, other };
    Task first = test::known_task(11, 10, 10, 1'700'000'000'000LL);
    first.title = u"First \U0001F600";
    first.listed = true;
    first.complete = true;
    first.matchesFilter = true;
    first.deadline = 1'765'000'000'000LL;
    first.loadedChanges = { Change {} }; // history is fetched again, never kept
    first.moreChanges = false;
    Task second = test::known_task(12, 10, 10);
    second.listed = true;
    cache.tasks = { root, project, first, second };
    cache.listCursor = second;
    cache.users = { User { u"a@example.org", 7, u"Ann" } };
    cache.filter.statuses[2] = false;
    cache.filter.responsible = 7;
    cache.listProject = 10;
    cache.morePages = false;
    return cache;
}

// Loading a logged-in cache may start a call (missing users), which needs the scheduler.
struct EngineCacheFile : ::testing::Test {
    test::TestEnvironment env;
    test::FakeClock clock;
    test::ManualSchedulerHost host;
    CActiveScheduler scheduler { host, clock };
};

} // namespace

// What the client writes it reads back, whole but for the tasks' history: tasks, users,
// filter, cursor, list and session; a file starting like an exception reads the same. Listed tasks
// are announced; the participants are the user and the project's members. The file holds the
// session key, so it is the user's alone.
TEST_F(EngineCacheFile, round_trip_through_the_file)
{
    std::string path = env.folder() + "/cache.dat";
    const std::string written = test::bytes_of(sample_cache());
    std::ofstream(path, std::ios::binary) << written;

    Recorder listener;
    Engine engine(u"http://127.0.0.1:1/", listener);
    ASSERT_EQ(engine.load_cache(from_utf8(path)), Engine::CacheLoad::Loaded);
    EXPECT_TRUE(engine.is_logged_in());
    EXPECT_EQ(engine.cache_bytes(), written);
    EXPECT_TRUE(engine.find_task(11)->loadedChanges.empty());
    EXPECT_TRUE(engine.find_task(11)->moreChanges);
    EXPECT_EQ(engine.tags(), std::vector<WString> { u"work" });
    EXPECT_EQ(listener.changed, (std::vector<std::int32_t> { 11, 12 }));
    EXPECT_EQ(engine.participants(), (std::vector<std::int32_t> { 7, 8 }));
    EXPECT_EQ(engine.missing_users(), std::set<std::int32_t> { 8 });

    std::string again = env.folder() + "/again.dat";
    ASSERT_TRUE(engine.save_cache(from_utf8(again)));
    struct stat st { };
    ASSERT_EQ(stat(again.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string bytes = test::read_file(again);
    EXPECT_EQ(bytes, written);
    ASSERT_EQ(bytes.rfind("//OK[", 0), 0u);
    std::ofstream(again, std::ios::binary | std::ios::trunc) << "//EX[" << bytes.substr(5);
    Engine third(u"http://127.0.0.1:1/", listener);
    ASSERT_EQ(third.load_cache(from_utf8(again)), Engine::CacheLoad::Loaded);
    EXPECT_EQ(third.cache_bytes(), written);
}

// Missing, empty, truncated and garbage files never crash and leave an empty model; a cache of
// an older layout (cpp.Engine version 3) resets the session instead of loading.
TEST_F(EngineCacheFile, damaged_files_leave_an_empty_model)
{
    std::string good = test::bytes_of(sample_cache());
    std::string older = good;
    std::string signature = "com.ulmar.viz.client.cpp.Engine/4";
    ASSERT_NE(older.find(signature), std::string::npos);
    older.replace(older.find(signature), signature.size(), "com.ulmar.viz.client.cpp.Engine/3");

    struct Case {
        const char* name;
        std::optional<std::string> bytes; // none: no file at all
        Engine::CacheLoad expected;
    };
    std::vector<Case> cases {
        { "missing", std::nullopt, Engine::CacheLoad::Missing },
        { "empty", "", Engine::CacheLoad::Missing },
        { "an older layout", older, Engine::CacheLoad::Reset },
        { "truncated", good.substr(0, good.size() / 2), Engine::CacheLoad::Unparsable },
        { "not UTF-8", "\xff\xfe//OK[1,[],0,3]", Engine::CacheLoad::Unparsable },
        { "an exception, not an engine",
            "//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"X\"],0,3]",
            Engine::CacheLoad::Reset },
        { "too few values", "//OK[1,[\"com.ulmar.viz.client.cpp.Engine/4\"],0,3]",
            Engine::CacheLoad::Reset },
        { "absurd vector count",
            "//OK[0,0,0,0,999999999,2,0,0,0,0,0,1,[\"com.ulmar.viz.client.cpp.Engine/4\","
            "\"java.util.Vector/3125574444\"],0,3]",
            Engine::CacheLoad::Reset },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = env.folder() + "/cache.dat";
        std::filesystem::remove(path);
        if (c.bytes)
            std::ofstream(path, std::ios::binary) << *c.bytes;
        Recorder listener;
        Engine engine(u"http://127.0.0.1:1/", listener);
        EXPECT_EQ(engine.load_cache(from_utf8(path)), c.expected);
        EXPECT_FALSE(engine.is_logged_in());
        EXPECT_TRUE(engine.tasks().empty());
        EXPECT_EQ(engine.filter(), Filter {});
    }
}
