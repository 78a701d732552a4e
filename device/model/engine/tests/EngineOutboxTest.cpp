// Changes made on the device reach the service exactly once: through lost replies, resets,
// restarts, expired sessions and moves in the tree.
#include "device/model/engine/tests/EngineHarness.h"
#include "device/model/engine/tests/FaultProxy.h"

#include <algorithm>
#include <map>
#include <set>

using namespace corvane;
using namespace corvane::test;

namespace {

class EngineOutbox : public EngineServiceTest {
protected:
    void SetUp() override
    {
        EngineServiceTest::SetUp();
        proxy = std::make_unique<FaultProxy>(server->port());
    }
    void TearDown() override
    {
        EngineServiceTest::TearDown();
        proxy.reset();
    }
    // A client whose calls go through the proxy, with its outbox and cache in the test folder.
    Client& device(const std::string& name = "device")
    {
        clients.push_back(std::make_unique<Client>(loop, scheduler, proxy->base_url()));
        Client& c = *clients.back();
        c.engine->open_outbox(outbox_path(name));
        return c;
    }
    WString outbox_path(const std::string& name) const
    {
        return from_utf8(env.folder() + "/" + name + "-outbox.dat");
    }
    // What the service holds: the task and its history, read by a client of its own.
    const Task* service_view(const WString& email, std::int32_t id)
    {
        Client& reader = client();
        EXPECT_EQ(reader.login(email, u"secret-" + email), u"");
        EXPECT_EQ(reader.act([&](Engine& e) { e.load_task(id); }), u"");
        const Task* task = reader.engine->find_task(id);
        while (task && task->moreChanges) {
            EXPECT_EQ(reader.act([&](Engine& e) { e.more_changes(id); }), u"");
            task = reader.engine->find_task(id);
        }
        return task;
    }
    static std::map<WString, int> comment_counts(const Task& task)
    {
        std::map<WString, int> counts;
        for (const Change& change : task.loadedChanges)
            ++counts[change.text];
        return counts;
    }

    std::unique_ptr<FaultProxy> proxy;
};

} // namespace

// An exchange breaks after the service applied the change (its reply is lost) or before (half
// the request arrived): the retry carries the same key and the service applies the comment and
// the progress difference once.
TEST_F(EngineOutbox, broken_exchanges_apply_each_change_once)
{
    Client& ann = device();
    ASSERT_EQ(ann.register_user(u"ann@example.org", u"secret-ann@example.org", u"Ann"), u"");
    std::int32_t project = ann.create(0, u"Garden");
    std::int32_t task = ann.create(project, u"Dig");
    ASSERT_GT(task, 0);
    std::size_t creations = proxy->keys().size();

    using Fault = FaultProxy::Fault;
    const Fault faults[] = { Fault::DropReply, Fault::ResetMidRequest };
    int round = 0;
    for (Fault fault : faults) {
        proxy->queue({ fault });
        WString comment = u"round " + to_wstring(std::int32_t(round++));
        Task edit = edit_of(*ann.engine->find_task(task), 2);
        EXPECT_EQ(ann.act([&](Engine& e) { e.save_task(edit, comment); }), u"ERROR_NETWORK");
        EXPECT_TRUE(ann.engine->task_pending(task));
        EXPECT_EQ(ann.engine->unsent_count(), 1u);
        EXPECT_EQ(ann.settle(), u"");
    }
    // A creation whose reply is lost makes one task, not two.
    proxy->queue({ Fault::DropReply });
    Task child = ann.new_task(task, u"Only once");
    EXPECT_EQ(ann.act([&](Engine& e) { e.save_task(child, u""); }), u"ERROR_NETWORK");
    EXPECT_EQ(ann.settle(), u"");
    EXPECT_EQ(ann.recorder.created.size(), 3u);

    std::vector<std::string> keys = proxy->keys();
    keys.erase(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(creations));
    EXPECT_EQ(keys.size(), 6u);
    for (const std::string& key : keys)
        EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 2)
            << "each faulted change is sent twice under one key";
    const Task* seen = service_view(u"ann@example.org", task);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->done, 4);
    EXPECT_EQ(seen->childCount, 1);
    std::map<WString, int> counts = comment_counts(*seen);
    for (int r = 0; r < 2; ++r)
        EXPECT_EQ(counts[u"round " + to_wstring(std::int32_t(r))], 1) << "round " << r;
}

// The program ends with a change unsent; the next run sends it once the service is back. A
// change belongs to its account: another account on the device never sends it, and it waits
// for its own account's next log-in.
TEST_F(EngineOutbox, unsent_changes_survive_a_restart_and_keep_their_account)
{
    user(u"bob@example.org");
    WString cache = from_utf8(env.folder() + "/cache.dat");
    std::int32_t project;
    {
        Client& ann = device();
        ASSERT_EQ(ann.register_user(u"ann@example.org", u"secret-ann@example.org", u"Ann"), u"");
        project = ann.create(0, u"Notes");
        ASSERT_GT(project, 0);
        server->stop();
        Task edit = edit_of(*ann.engine->find_task(project), 1);
        EXPECT_EQ(
            ann.act([&](Engine& e) { e.save_task(edit, u"written offline"); }), u"ERROR_NETWORK");
        ASSERT_TRUE(ann.engine->save_cache(cache));
        clients.pop_back(); // the program ends
    }
    ASSERT_TRUE(server->start());
    proxy->set_upstream(server->port());
    Client& again = device();
    ASSERT_EQ(again.engine->load_cache(cache), Engine::CacheLoad::Loaded);
    EXPECT_EQ(again.engine->unsent_count(), 1u);
    EXPECT_TRUE(again.engine->task_pending(project));
    EXPECT_EQ(again.settle(), u"");
    EXPECT_EQ(again.engine->unsent_count(), 0u);

    // Unsent at logout, then another account on the same device.
    server->stop();
    Task edit = edit_of(*again.engine->find_task(project), 1);
    EXPECT_EQ(again.act([&](Engine& e) { e.save_task(edit, u"second"); }), u"ERROR_NETWORK");
    again.engine->logout();
    ASSERT_TRUE(server->start());
    proxy->set_upstream(server->port());
    EXPECT_EQ(again.login(u"bob@example.org", u"secret-bob@example.org"), u"");
    EXPECT_EQ(again.engine->unsent_count(), 0u);
    EXPECT_EQ(again.engine->outbox().entries().size(), 1u);
    again.engine->logout();
    // Logging in runs the queued work to the end: the change goes out with it.
    EXPECT_EQ(again.login(u"ann@example.org", u"secret-ann@example.org"), u"");
    EXPECT_TRUE(again.engine->outbox().entries().empty());

    const Task* seen = service_view(u"ann@example.org", project);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->done, 2);
    std::map<WString, int> counts = comment_counts(*seen);
    EXPECT_EQ(counts[u"written offline"], 1);
    EXPECT_EQ(counts[u"second"], 1);
}

// A save made on an expired session survives the silent log-in; saves, a delete and a
// permission change made while others wait all go out, in order; moving in the tree or
// picking another user while a creation and a progress save are on their way neither drops
// their replies nor sends them again. A change refused for good leaves with its name.
TEST_F(EngineOutbox, nothing_is_dropped_or_repeated_while_others_wait)
{
    user(u"bob@example.org");
    Client& ann = device();
    ASSERT_EQ(ann.register_user(u"ann@example.org", u"secret-ann@example.org", u"Ann"), u"");
    std::int32_t project = ann.create(0, u"House");
    std::int32_t doomed = ann.create(project, u"Old shed");
    std::int32_t task = ann.create(project, u"Roof");
    ASSERT_GT(task, 0);

    ASSERT_EQ(server->admin({ "expire-sessions" }), 0);
    Task edit = edit_of(*ann.engine->find_task(task), 3);
    EXPECT_EQ(ann.act([&](Engine& e) { e.save_task(edit, u"after expiry"); }), u"");
    EXPECT_EQ(ann.engine->unsent_count(), 0u);
    // The session reset forgot the tasks; the screens would load the one they show.
    EXPECT_EQ(ann.act([&](Engine& e) { e.load_task(task); }), u"");
    ASSERT_NE(ann.engine->find_task(task), nullptr);

    std::size_t keys_before = proxy->keys().size();
    EXPECT_EQ(ann.act([&](Engine& e) {
        e.save_task(ann.new_task(task, u"Gutter"), u"");
        e.save_task(edit_of(*e.find_task(task), 1), u"progress");
        e.delete_task(doomed);
        e.change_permission(project, u"bob@example.org", 2);
        // The screens move while the creation is on its way.
        e.set_list(project, u"", true);
        Filter filter;
        filter.responsible = e.auth().userId;
        e.set_filter(filter, true);
    }),
        u"");
    EXPECT_EQ(ann.engine->unsent_count(), 0u);
    std::vector<std::string> keys = proxy->keys();
    keys.erase(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(keys_before));
    EXPECT_EQ(keys.size(), 4u) << "each change is sent once";

    const Task* seen = service_view(u"ann@example.org", task);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->done, 4);
    EXPECT_EQ(seen->childCount, 1);
    EXPECT_EQ(comment_counts(*seen)[u"after expiry"], 1);
    const Task* house = service_view(u"ann@example.org", project);
    ASSERT_NE(house, nullptr);
    EXPECT_EQ(house->childCount, 1); // the shed is gone, the roof stays
    EXPECT_EQ(house->permissions.size(), 2u); // the owner and Bob

    // A change the service can never apply (the task was deleted elsewhere meanwhile) leaves
    // the outbox with the task's name, instead of blocking everything behind it.
    edit = edit_of(*ann.engine->find_task(task));
    EXPECT_EQ(clients.back()->act([&](Engine& e) { e.delete_task(task); }), u"");
    EXPECT_EQ(ann.act([&](Engine& e) { e.save_task(edit, u"too late"); }), u"");
    EXPECT_EQ(ann.recorder.refused, std::vector<WString> { u"Roof" });
    EXPECT_EQ(ann.engine->unsent_count(), 0u);
    EXPECT_FALSE(ann.engine->task_pending(task));
}

namespace {

// The writer program, killed with SIGKILL once it has reported `wait_for` accepted changes and
// `delay_us` more have passed. Answers the changes it reported accepted.
std::vector<std::string> run_and_kill(
    const std::vector<std::string>& arguments, int wait_for, int delay_us)
{
    Launch launch;
    launch.arguments = arguments;
    launch.arguments.insert(launch.arguments.begin(), program_folder() + "/outbox_writer");
    launch.capture_output = true;
    ChildProcess writer(std::move(launch));
    std::vector<std::string> accepted;
    auto count_accepted = [&](const std::string& output) {
        accepted.clear();
        for (std::size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos;
             at = end + 1) {
            if (output.compare(at, 9, "accepted ") == 0)
                accepted.push_back(output.substr(at + 9, end - at - 9));
        }
        return static_cast<int>(accepted.size()) >= wait_for;
    };
    if (writer.read_output(count_accepted, 60s)) {
        usleep(static_cast<useconds_t>(delay_us));
        writer.signal(SIGKILL);
    }
    // Everything it reported before it ended.
    writer.read_output([](const std::string&) { return false; }, 60s);
    count_accepted(writer.output());
    return accepted;
}

} // namespace

// The program is killed at many moments (writing the outbox, a call in flight, a reply being
// applied) and started again; in the end every change it had accepted is on the service
// exactly once, and its progress differences add up to the number of changes applied.
TEST_F(EngineOutbox, a_program_killed_anywhere_loses_and_repeats_nothing)
{
    Client& ann = device("ann");
    ASSERT_EQ(ann.register_user(u"ann@example.org", u"secret-ann@example.org", u"Ann"), u"");
    std::int32_t project = ann.create(0, u"Counter");
    ASSERT_GT(project, 0);
    std::string cache = env.folder() + "/cache.dat";
    std::string outbox = to_utf8(outbox_path("ann"));
    ASSERT_TRUE(ann.engine->save_cache(from_utf8(cache)));
    proxy->set_rates(0.1, 0.05, 7); // lost replies widen the windows between the steps

    std::set<std::string> accepted;
    constexpr int rounds = 12;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> args { to_utf8(proxy->base_url()), cache, outbox,
            std::to_string(project), "r" + std::to_string(round), "40" };
        for (const std::string& comment : run_and_kill(args, 1 + round % 4, round * 700))
            accepted.insert(comment);
    }
    ASSERT_GE(accepted.size(), std::size_t(rounds));

    proxy->set_rates(0, 0, 7);
    Client& restarted = device("ann");
    ASSERT_EQ(restarted.engine->load_cache(from_utf8(cache)), Engine::CacheLoad::Loaded);
    // With news asked for there is always a call to make, whatever the outbox holds.
    EXPECT_EQ(restarted.act([](Engine& e) {
        e.request_news();
        e.retry();
    }),
        u"");
    EXPECT_EQ(restarted.engine->unsent_count(), 0u);

    const Task* seen = service_view(u"ann@example.org", project);
    ASSERT_NE(seen, nullptr);
    std::map<WString, int> counts = comment_counts(*seen);
    int applied = 0;
    for (const auto& [text, count] : counts) {
        if (text.empty())
            continue; // the creation
        EXPECT_EQ(count, 1) << to_utf8(text) << " applied more than once";
        applied += count;
    }
    for (const std::string& comment : accepted)
        EXPECT_EQ(counts[from_utf8(comment)], 1) << comment << " was accepted but is missing";
    EXPECT_EQ(seen->done, applied);
}
