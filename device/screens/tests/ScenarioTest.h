#pragma once

// End-to-end scenarios: the real service on loopback, the real device program run headless
// with a UI script, and screenshots of what it showed.

#include "device/model/engine/tests/EngineHarness.h"
#include "device/platform/linux/FileSettingsStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace corvane::test {

struct ScriptRun {
    int code { -1 }; // exit status; -1 when it did not end normally
    std::string errors; // what the program wrote on standard error
};

struct DeviceOptions {
    std::string display { "240x320" };
    int dpi { 96 };
};

// A fresh service per test (see EngineServiceTest: `user(email, name)` registers an account
// with the password "secret-" + email through an engine of the test's own), plus one device
// program profile: its settings file and cache survive between runs of the same test, as they
// would between starts on a phone.
class ScenarioTest : public EngineServiceTest {
protected:
    static constexpr const char16_t* corvane_key = u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane";

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
    std::string device_registry() const { return profile() + "/registry.txt"; }
    std::string device_cache() const { return profile() + "/cache.dat"; }

    // Where this test's screenshots go: <build>/screens-shots/<suite>.<test>/.
    std::string shots() const
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        return (std::filesystem::path(bin_folder()).parent_path() / "screens-shots" / name)
            .string();
    }

    static std::string bin_folder()
    {
        char path[4096];
        ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
        return self.substr(0, self.find_last_of('/'));
    }

    // A value in the device program's settings, e.g. the language choice "Language".
    void set_device_setting(WStringView name, WStringView value)
    {
        FileSettingsStore store(device_registry(), std::chrono::milliseconds(0));
        ASSERT_TRUE(store.write(corvane_key, WString(name), WString(value)));
    }
    std::optional<WString> device_setting(WStringView name)
    {
        FileSettingsStore store(device_registry(), std::chrono::milliseconds(0));
        auto value = store.read(corvane_key, WString(name));
        if (!value || !std::holds_alternative<WString>(*value))
            return std::nullopt;
        return std::get<WString>(*value);
    }

    std::optional<std::uint32_t> device_dword(WStringView name)
    {
        FileSettingsStore store(device_registry(), std::chrono::milliseconds(0));
        auto value = store.read(corvane_key, WString(name));
        if (!value || !std::holds_alternative<std::uint32_t>(*value))
            return std::nullopt;
        return std::get<std::uint32_t>(*value);
    }
    // The device program's cache as it left it, read into an engine of the test's own.
    Engine& cached()
    {
        m_cached_listener = std::make_unique<EngineListener>();
        m_cached = std::make_unique<Engine>(u"http://127.0.0.1:1/", *m_cached_listener);
        EXPECT_EQ(m_cached->load_cache(from_utf8(device_cache())), Engine::CacheLoad::Loaded);
        return *m_cached;
    }

    // Runs the device program headless against the service with `script`; screenshots land in
    // shots(). Fails the test with the program's own message when the script fails.
    ScriptRun run_script(const std::string& name, const std::string& script,
        DeviceOptions options = {}, std::string service = {})
    {
        std::string script_path = profile() + "/" + name + ".txt";
        {
            std::ofstream out(script_path);
            out << script;
        }
        if (service.empty())
            service = "http://127.0.0.1:" + std::to_string(server->port()) + "/";
        std::vector<std::string> args { bin_folder() + "/corvane", "--headless", "--display",
            options.display, "--dpi", std::to_string(options.dpi), "--service", service, "--script",
            script_path };
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            for (const char* replaced : { "CORVANE_REGISTRY=", "CORVANE_CACHE=", "LANG=", "LC_ALL=",
                     "LC_MESSAGES=", "TMPDIR=", "XDG_RUNTIME_DIR=" })
                if (entry.rfind(replaced, 0) == 0)
                    entry.clear();
            if (!entry.empty())
                environment.push_back(entry);
        }
        environment.push_back("CORVANE_REGISTRY=" + device_registry());
        environment.push_back("CORVANE_CACHE=" + device_cache());
        environment.push_back("LANG=en_GB.UTF-8");
        environment.push_back("TMPDIR=" + profile());
        environment.push_back("XDG_RUNTIME_DIR=" + profile());

        int err[2];
        if (pipe(err) != 0)
            return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        posix_spawn_file_actions_addchdir_np(&actions, shots().c_str());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_t pid = -1;
        int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(err[1]);
        ScriptRun run;
        if (spawned != 0) {
            close(err[0]);
            ADD_FAILURE() << "cannot start " << argv[0];
            return run;
        }
        char buffer[4096];
        ssize_t n;
        while ((n = read(err[0], buffer, sizeof buffer)) > 0)
            run.errors.append(buffer, static_cast<std::size_t>(n));
        close(err[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    // Runs a script that must succeed.
    void play(const std::string& name, const std::string& script, DeviceOptions options = {})
    {
        ScriptRun run = run_script(name, script, options);
        EXPECT_EQ(run.code, 0) << name << ": " << run.errors;
    }

    // Waits, in real time, for a file that a script running beside the test writes (a screenshot
    // marks how far it got).
    static bool wait_for_file(const std::string& path)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::filesystem::exists(path))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
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
