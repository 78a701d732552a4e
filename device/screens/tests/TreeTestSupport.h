#pragma once

// The tree screens on a real application (headless window), the real default skin and English
// texts, and a real engine talking to the real service on loopback. The host stands where the
// document stands in the program and records where the tree sends the user.

#include "device/model/engine/tests/EngineHarness.h"
#include "device/screens/forms/RelativeDate.h"
#include "device/screens/tests/ScreenTestSupport.h"
#include "device/screens/tree/AllTasksList.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeLevel.h"
#include "device/screens/tree/TreeStack.h"
#include "device/skin/skin/ElementLookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace corvane::test {

class TreeTestHost final : public TreeHost, public EngineListener {
public:
    TreeTestHost(Properties& properties, const WString& url)
        : m_properties(properties)
        , m_engine(std::make_unique<Engine>(url, *this))
    {
        // The screens go before the engine they read (members are destroyed in reverse).
        m_engine->set_translator([this](WStringView key) { return text(key); });
        stack = std::make_unique<TreeStack>(static_cast<TreeHost&>(*this));
        all = std::make_unique<AllTasksList>(static_cast<TreeHost&>(*this));
    }

    // TreeHost
    Properties& properties() const override { return m_properties; }
    Engine& engine() const override { return *m_engine; }
    TreeStack& tree() const override { return *stack; }
    WString text(WStringView key) const override { return translate(m_properties, key); }
    WString user_name(std::int32_t id) const override
    {
        return id == -1 ? text(u"vizUsersAll") : m_engine->user_name(id);
    }
    WString relative_date(std::int64_t milliseconds, bool with_time) const override
    {
        return corvane::relative_date(
            [this](WStringView key) { return text(key); }, milliseconds, with_time);
    }
    std::int32_t selected_user() const override { return -1; }
    void show_main_menu() override { ++menus; }
    void show_all_tasks(std::int32_t id, WStringView name) override
    {
        all_lists.push_back(id);
        all->show(id, name);
    }
    void show_task(std::int32_t id) override
    {
        m_engine->open_task(id);
        shown_tasks.push_back(id);
    }
    void new_record(std::int32_t parent_id) override { new_records.push_back(parent_id); }
    void select_user() override { }

    // EngineListener: as the document forwards the reports.
    void on_state(bool busy, WStringView error) override
    {
        if (!busy) {
            ++idle_reports;
            last_error = WString(error);
        }
    }
    void on_list_changed() override { all->on_list_changed(); }
    void on_tags_changed() override { stack->on_tags_changed(); }
    void on_users_changed() override
    {
        stack->redraw_all();
        all->redraw_all();
    }
    void on_task_changed(std::int32_t id) override
    {
        stack->on_task_changed(id);
        all->on_task_changed(id);
    }
    void on_task_removed(std::int32_t id) override
    {
        stack->on_task_removed(id);
        all->on_task_removed(id);
    }

    int menus { 0 };
    int idle_reports { 0 };
    WString last_error;
    std::vector<std::int32_t> shown_tasks, new_records, all_lists;

private:
    Properties& m_properties; // The fixture's.
    std::unique_ptr<Engine> m_engine;

public:
    std::unique_ptr<TreeStack> stack;
    std::unique_ptr<AllTasksList> all;
};

class TreeScreenTest : public ::testing::Test, protected HeadlessScreens {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(start());
        // Made after the application's, so the engine's calls complete on the test's loop.
        scheduler = std::make_unique<CActiveScheduler>(loop, platform_clock());
        server = std::make_unique<VizServerProcess>(env.folder());
        ASSERT_TRUE(server->start());
        host = std::make_unique<TreeTestHost>(properties, server->base_url());
    }
    void TearDown() override
    {
        host.reset();
        seeders.clear();
        if (server)
            server->stop();
    }

    // A registered, logged-in account of its own, for putting data on the service.
    Client& seeder(const WString& email, const WString& name)
    {
        seeders.push_back(std::make_unique<Client>(loop, *scheduler, server->base_url()));
        Client& c = *seeders.back();
        EXPECT_EQ(c.register_user(email, u"secret-" + email, name), u"");
        return c;
    }

    // Runs `action`, then plays the loop until the host's engine has nothing left to send.
    void act(const std::function<void()>& action)
    {
        action();
        for (int round = 0; round < 30; ++round) {
            if (!host->engine().is_busy())
                host->engine().retry();
            if (!host->engine().is_busy())
                return;
            int seen = host->idle_reports;
            bool done = loop.run_until(
                *scheduler, [&] { return host->idle_reports > seen && !host->engine().is_busy(); },
                std::chrono::seconds(15));
            if (!done) {
                ADD_FAILURE() << "the engine did not come back to idle";
                return;
            }
        }
    }

    // The ids of a level's record rows (sections 1 to 3), sorted.
    static std::vector<std::int32_t> all_rows(const TreeLevel& level)
    {
        std::vector<std::int32_t> out;
        for (std::int32_t s = MarkedSection; s <= NotSharedSection; ++s)
            for (const Task& t : level.rows(s))
                out.push_back(t.id);
        std::sort(out.begin(), out.end());
        return out;
    }
    // The texts of a level's nodes, in the order asked for.
    static std::vector<WString> texts(Element& root, std::initializer_list<WStringView> ids)
    {
        std::vector<WString> out;
        for (WStringView id : ids)
            out.push_back(element_text(find_descendant(root, id)));
        return out;
    }
    // Saves `tag` on a record as `owner`.
    static void retag(Client& owner, std::int32_t id, const WString& tag)
    {
        Task edited = *owner.engine->find_task(id);
        edited.tag = tag;
        EXPECT_EQ(owner.act([&](Engine& e) { e.save_task(edited, u""); }), u"");
    }
    // The list index of a record's row; -1 when it has none.
    static std::int32_t index_of_record(TreeLevel& level, std::int32_t id)
    {
        for (std::int32_t s = MarkedSection; s <= NotSharedSection; ++s) {
            const auto& rows = level.rows(s);
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r].id == id)
                    return level.list().index_of(s, static_cast<std::int32_t>(r));
        }
        return -1;
    }
    // A press on the row of a record.
    void activate_record(TreeLevel& level, std::int32_t id)
    {
        std::int32_t index = index_of_record(level, id);
        ASSERT_GE(index, 0) << "no row for " << id;
        act([&] { level.list().activated(*level.list().list(), index); });
    }

    void log_in(const WString& email)
    {
        act([&] { host->engine().login(email, u"secret-" + email); });
        ASSERT_TRUE(host->engine().is_logged_in()) << to_utf8(host->last_error);
        act([&] { host->stack->rebuild_to(0); });
    }

    TreeLevel& top() { return *host->stack->top(); }
    static void press(Element& root, WStringView id)
    {
        auto* button = dynamic_cast<ButtonElement*>(find_descendant(root, id));
        ASSERT_NE(button, nullptr) << to_utf8(WString(id));
        ASSERT_NE(button->handler(), nullptr);
        button->handler()->clicked(*button, {}, 0);
    }

    ThreadedLoop loop;
    std::unique_ptr<CActiveScheduler> scheduler;
    std::unique_ptr<VizServerProcess> server;
    std::vector<std::unique_ptr<Client>> seeders;
    std::unique_ptr<TreeTestHost> host;
};

} // namespace corvane::test
