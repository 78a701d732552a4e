// Drives real engines from a benchmark program, the way the screens do: one action at a time,
// each played on the loop until the engine has gone idle again.
#pragma once

#include "device/core/CActiveScheduler.h"
#include "device/core/testing/ThreadedLoop.h"
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"
#include "device/platform/Platform.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace corvane::bench {

struct DriverListener final : EngineListener {
    int idle { 0 };
    int created_id { -1 };
    void on_state(bool busy, WStringView) override { idle += busy ? 0 : 1; }
    void on_task_created(std::int32_t id) override { created_id = id; }
};

struct DriverAccount {
    std::string email;
    DriverListener listener;
    std::unique_ptr<Engine> engine;
};

class EngineDriver {
protected:
    // Plays the loop until `done` or the limit; the engines' retry timers fire meanwhile.
    bool drive(const std::function<bool()>& done, std::chrono::milliseconds limit)
    {
        return m_loop.run_until(m_scheduler, done, limit);
    }

    bool act(DriverAccount& a, const std::function<void(Engine&)>& action)
    {
        int before = a.listener.idle;
        action(*a.engine);
        return drive([&] { return a.listener.idle > before && !a.engine->is_busy(); },
            std::chrono::seconds(30));
    }

    // Answers the new task's id, or -1 when the service did not take it.
    std::int32_t create(DriverAccount& a, std::int32_t parent, const WString& title)
    {
        Task t;
        t.id = -1;
        t.parentId = parent;
        t.title = title;
        t.responsibleId = a.engine->auth().userId;
        a.listener.created_id = -1;
        act(a, [&](Engine& e) { e.save_task(t, u""); });
        return a.listener.created_id;
    }

    test::ThreadedLoop m_loop;
    CActiveScheduler m_scheduler { m_loop, platform_clock() };
};

} // namespace corvane::bench
