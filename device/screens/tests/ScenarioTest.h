#pragma once

// End-to-end scenarios: the real service on loopback, the real device program run headless
// with a UI script, and screenshots of what it showed.

#include "device/core/testing/TempFolder.h"
#include "device/model/engine/tests/EngineHarness.h"
#include "device/platform/linux/FileSettingsStore.h"
#include "testing/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace corvane::test {

struct ScriptRun {
    int code { -1 }; // exit status; -1 when it did not end normally
    std::string errors; // what the program wrote on standard error
};

// A fresh service per test (see EngineServiceTest: `user(email, name)` registers an account
// with the password "secret-" + email through an engine of the test's own), plus one device
// program profile: its settings file and cache survive between runs of the same test, as they
// would between starts on a phone.
class ScenarioTest : public EngineServiceTest {
protected:
    void SetUp() override
    {
        EngineServiceTest::SetUp();
        std::filesystem::create_directories(profile());
        // Pictures of an earlier run would only mislead.
        std::error_code ignored;
        std::filesystem::remove_all(shots(), ignored);
        std::filesystem::create_directories(shots());
    }

    std::string profile() const { return env.folder() + "/device"; }
    std::string device_cache() const { return profile() + "/cache.dat"; }

    // Where this test's screenshots go: <build>/screens-shots/<suite>.<test>/.
    std::string shots() const
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        return (std::filesystem::path(program_folder()).parent_path() / "screens-shots" / name)
            .string();
    }

    // A text (WString) or number (std::uint32_t) the device program keeps in its settings.
    template<typename Value = WString> std::optional<Value> device_setting(WStringView name)
    {
        FileSettingsStore store(profile() + "/registry.txt", std::chrono::milliseconds(0));
        auto value = store.read(u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", WString(name));
        if (!value || !std::holds_alternative<Value>(*value))
            return std::nullopt;
        return std::get<Value>(*value);
    }
    // A project's members and invitations as `reader` finds them on the service.
    static std::vector<Permission> permissions_of(Client& reader, std::int32_t project)
    {
        reader.act([&](Engine& e) { e.load_task(project); });
        const Task* task = reader.engine->find_task(project);
        return task ? task->permissions : std::vector<Permission> {};
    }
    // The device program's cache as it left it, read into an engine of the test's own.
    Engine& cached()
    {
        m_cached_listener = std::make_unique<EngineListener>();
        m_cached = std::make_unique<Engine>(u"http://127.0.0.1:1/", *m_cached_listener);
        EXPECT_EQ(m_cached->load_cache(from_utf8(device_cache())), Engine::CacheLoad::Loaded);
        return *m_cached;
    }

    // Runs the device program headless at 96 dpi against the service with `script`;
    // screenshots land in shots().
    ScriptRun run_script(
        const std::string& name, const std::string& script, const std::string& display = "240x320")
    {
        std::string script_path = profile() + "/" + name + ".txt";
        std::ofstream(script_path) << script;
        std::string errors = profile() + "/" + name + ".errors";
        std::filesystem::remove(errors);
        Launch launch;
        launch.arguments = { program_folder() + "/corvane", "--headless", "--display", display,
            "--dpi", "96", "--service", to_utf8(server->base_url()), "--script", script_path };
        launch.environment = device_environment();
        launch.unset = { "LC_ALL", "LC_MESSAGES" };
        launch.directory = shots();
        launch.error_file = errors;
        ChildProcess program(std::move(launch));
        ScriptRun run;
        if (!program.started()) {
            ADD_FAILURE() << "cannot start the device program";
            return run;
        }
        std::optional<int> status = program.wait_status(std::chrono::minutes(4));
        run.code = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        run.errors = read_file(errors);
        return run;
    }

    // The device program's own settings file, cache and temporary folder, in English.
    std::map<std::string, std::string> device_environment() const
    {
        return { { "CORVANE_REGISTRY", profile() + "/registry.txt" },
            { "CORVANE_CACHE", device_cache() }, { "LANG", "en_GB.UTF-8" }, { "TMPDIR", profile() },
            { "XDG_RUNTIME_DIR", profile() } };
    }

    // Runs a script that must succeed; fails the test with the program's own message otherwise.
    void play(
        const std::string& name, const std::string& script, const std::string& display = "240x320")
    {
        ScriptRun run = run_script(name, script, display);
        EXPECT_EQ(run.code, 0) << name << ": " << run.errors;
    }

    // Waits, in real time, for a file that a script running beside the test writes (a screenshot
    // marks how far it got).
    static bool wait_for_file(const std::string& path)
    {
        return wait_until([&] { return std::filesystem::exists(path); }, 60s);
    }

    // Script lines that log in from the Login screen and wait for the root of the tree. The
    // e-mail is typed only when the field does not hold it already (it is remembered).
    static std::string login_lines(const std::string& email, bool type_email = true)
    {
        std::string lines = "wait_for email\n";
        if (type_email)
            lines += "tap email\npress End\ntype " + email + "\n";
        lines += "tap password\n"
                 "type secret-"
            + email
            + "\n"
              "tap login\n"
              "wait_for list\n"
              "expect_screen Tree\n";
        return lines;
    }

private:
    // Declared in this order so the engine goes before its listener.
    std::unique_ptr<EngineListener> m_cached_listener;
    std::unique_ptr<Engine> m_cached;
};

} // namespace corvane::test
