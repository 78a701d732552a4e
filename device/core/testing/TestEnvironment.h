#pragma once

#include "device/platform/Platform.h"
#include "device/platform/linux/FileSettingsStore.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace corvane::test {

// A private temporary folder and settings file for one test, installed as the process's
// settings store; TMPDIR points into the folder so the debug log lands there too.
class TestEnvironment {
public:
    TestEnvironment()
    {
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
        platform().settings = m_previous;
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    const std::string& folder() const { return m_folder; }
    FileSettingsStore& settings() { return *m_settings; }

private:
    std::string m_folder;
    std::unique_ptr<FileSettingsStore> m_settings;
    SettingsStore* m_previous { nullptr };
};

} // namespace corvane::test
