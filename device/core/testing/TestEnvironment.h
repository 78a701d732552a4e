#pragma once

#include "device/core/Log.h"
#include "device/platform/Platform.h"
#include "device/platform/VirtualClock.h"
#include "device/platform/linux/FileSettingsStore.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace corvane::test {

// A private temporary folder and settings file for one test, installed as the process's
// settings store; TMPDIR points into the folder so the debug log lands there too. Going, it
// leaves the process as it found it, so the tests of one binary can run in one process.
class TestEnvironment {
public:
    TestEnvironment()
    {
        if (const char* previous = std::getenv("TMPDIR"))
            m_previous_tmpdir = previous;
        char pattern[] = "/tmp/corvane-test-XXXXXX";
        char* made = mkdtemp(pattern);
        m_folder = made ? made : "/tmp";
        setenv("TMPDIR", m_folder.c_str(), 1);
        // Tests edit the file behind the store's back and expect the next read to see it.
        m_settings = std::make_unique<FileSettingsStore>(
            m_folder + "/registry.txt", std::chrono::milliseconds(0));
        m_previous = platform().settings;
        platform().settings = m_settings.get();
    }
    ~TestEnvironment()
    {
        // A request killed with its engine may still be unwinding on its worker, logging as it
        // goes, and the log reads these settings.
        (void)VirtualClock::wait_for_outside_work(5000);
        // The log keeps its stream until a call sees the switch change: drop one that writes
        // into this folder, or the next test to switch the log on would write to a lost file.
        (void)m_settings->write(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", std::uint32_t(0));
        (void)get_log();
        platform().settings = m_previous;
        if (m_previous_tmpdir)
            setenv("TMPDIR", m_previous_tmpdir->c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& folder() const { return m_folder; }
    // Switches the debug log on: a fresh file in this folder.
    void enable_log()
    {
        (void)m_settings->write(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", std::uint32_t(1));
        (void)get_log();
    }
    FileSettingsStore& settings() { return *m_settings; }

private:
    std::string m_folder;
    std::optional<std::string> m_previous_tmpdir;
    std::unique_ptr<FileSettingsStore> m_settings;
    SettingsStore* m_previous { nullptr };
};

} // namespace corvane::test
