#pragma once

#include "device/core/CActiveScheduler.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/core/testing/ThreadedLoop.h"
#include "device/model/EngineCache.h"
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/tests/VizServerProcess.h"
#include "device/platform/Platform.h"

#include "common/wire/ReplyWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace corvane::test {

// Everything the engine reports, in order.
struct EngineRecorder final : EngineListener {
    int idle_reports { 0 };
    WString last_error;
    std::vector<std::int32_t> changed, removed, saved, created;
    std::vector<bool> tickets;
    std::vector<WString> refused; // names of changes the service refused for good
    int list_changes { 0 };
    int tags_changed { 0 };
    int users_changed { 0 };

    void on_state(bool busy, WStringView error_key) override
    {
        if (!busy) {
            ++idle_reports;
            last_error = WString(error_key);
        }
    }
    void on_list_changed() override { ++list_changes; }
    void on_ticket(bool accepted) override { tickets.push_back(accepted); }
    void on_task_changed(std::int32_t id) override { changed.push_back(id); }
    void on_task_removed(std::int32_t id) override { removed.push_back(id); }
    void on_task_saved(std::int32_t id) override { saved.push_back(id); }
    void on_task_created(std::int32_t id) override { created.push_back(id); }
    void on_change_refused(std::int32_t, WStringView name) override { refused.emplace_back(name); }
    void on_tags_changed() override { ++tags_changed; }
    void on_users_changed() override { ++users_changed; }
    void clear() { *this = EngineRecorder {}; }
};

// A record as the screens save it: progress as differences (done by `done_delta`), and none of
// the lists the service keeps itself.
inline Task edit_of(const Task& task, std::int32_t done_delta = 0)
{
    Task edit = task;
    edit.done = done_delta;
    edit.plan = 0;
    edit.changes.clear();
    edit.loadedChanges.clear();
    edit.permissions.clear();
    return edit;
}

// A task the client holds whole, titled "t<id>": user 7 owns it and is responsible, and its
// children are known.
inline Task known_task(
    std::int32_t id, std::int32_t parent, std::int32_t project, std::int64_t date = 0)
{
    Task t;
    t.id = id;
    t.parentId = parent;
    t.projectId = project;
    t.ownerId = 7;
    t.responsibleId = 7;
    t.date = date;
    t.title = u"t" + to_wstring(id);
    t.childrenPending = false;
    return t;
}

// `cache` as the client writes it to its file.
inline std::string bytes_of(const EngineCache& cache)
{
    ReplyWriter writer;
    cache.save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    return bytes;
}

// Gives the engine `cache` as if it had read it from its file.
inline Engine::CacheLoad load_cache(Engine& engine, const EngineCache& cache)
{
    std::string bytes = bytes_of(cache);
    return engine.load_cache_bytes(
        SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

// One client: an engine on the real scheduler, driven by a test loop, talking HTTP.
struct Client {
    explicit Client(ThreadedLoop& loop, CActiveScheduler& scheduler, const std::u16string& url)
        : loop(loop)
        , scheduler(scheduler)
        , engine(std::make_unique<Engine>(url, recorder))
    {
    }
    // Runs `action`, then the loop until the engine reports idle again (or an error).
    // Answers the error key, empty on success.
    template<typename Action> WString act(Action action)
    {
        int before = recorder.idle_reports;
        action(*engine);
        bool done = loop.run_until(
            scheduler, [&] { return recorder.idle_reports > before && !engine->is_busy(); },
            std::chrono::seconds(15));
        EXPECT_TRUE(done) << "the engine did not come back to idle";
        return recorder.last_error;
    }
    // Lets the engine work off everything it queued.
    WString settle()
    {
        return act([](Engine& e) { e.retry(); });
    }

    WString login(const WString& email, const WString& password)
    {
        return act([&](Engine& e) { e.login(email, password); });
    }
    WString register_user(const WString& email, const WString& password, const WString& name)
    {
        return act([&](Engine& e) { e.login(email, password, name); });
    }
    // A new task under `parent` (0 for a project), as the screens make one.
    Task new_task(std::int32_t parent, const WString& title) const
    {
        Task t;
        t.id = -1;
        t.parentId = parent;
        t.title = title;
        t.responsibleId = engine->auth().userId;
        return t;
    }
    // Creates a task under `parent` and answers its id, or -1.
    std::int32_t create(std::int32_t parent, const WString& title, const WString& comment = u"")
    {
        Task t = new_task(parent, title);
        std::size_t before = recorder.created.size();
        WString error = act([&](Engine& e) { e.save_task(t, comment); });
        EXPECT_EQ(error, u"");
        if (recorder.created.size() == before)
            return -1;
        return recorder.created.back();
    }

    ThreadedLoop& loop;
    CActiveScheduler& scheduler;
    EngineRecorder recorder;
    std::unique_ptr<Engine> engine;
};

// A fresh service per test and a scheduler for the clients.
class EngineServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        install_default_platform();
        server = std::make_unique<VizServerProcess>(env.folder(), server_options());
        ASSERT_TRUE(server->start());
    }
    void TearDown() override
    {
        clients.clear();
        server->stop();
    }
    virtual std::vector<std::string> server_options() const { return {}; }

    Client& client()
    {
        clients.push_back(std::make_unique<Client>(loop, scheduler, server->base_url()));
        return *clients.back();
    }
    // A registered and logged-in client.
    Client& user(const WString& email, const WString& name = u"")
    {
        Client& c = client();
        EXPECT_EQ(c.register_user(email, u"secret-" + email, name.empty() ? email : name), u"");
        EXPECT_TRUE(c.engine->is_logged_in());
        return c;
    }

    TestEnvironment env;
    ThreadedLoop loop;
    CActiveScheduler scheduler { loop, platform_clock() };
    std::unique_ptr<VizServerProcess> server;
    std::vector<std::unique_ptr<Client>> clients;
};

} // namespace corvane::test
