#pragma once

#include "device/app/tests/AppTestSupport.h"
#include "device/core/testing/LogFile.h"
#include "device/core/testing/TempFolder.h"
#include "device/platform/linux/FileSettingsStore.h"
#include "device/skin/skin/tests/SkinTestSupport.h"

#include "testing/ChildProcess.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace corvane::test {

// A program folder of its own ("%app_path%" of a copy of the device program), with whatever
// skins and language files a test puts there, plus the settings file and the runtime folder
// that the processes share.
class ProgramFolder {
public:
    ProgramFolder()
    {
        std::filesystem::create_directories(m_root / "app/skins/bin");
        std::filesystem::create_directories(m_root / "runtime");
        std::filesystem::permissions(m_root / "runtime", std::filesystem::perms::owner_all,
            std::filesystem::perm_options::replace);
        std::filesystem::copy_file(CORVANE_BINARY, program());
        FileSettingsStore settings(registry());
        (void)settings.write(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", std::uint32_t(1));
    }
    std::string program() const { return (m_root / "app/corvane").string(); }
    std::string registry() const { return (m_root / "registry.txt").string(); }
    std::filesystem::path runtime() const { return m_root / "runtime"; }
    std::filesystem::path root() const { return m_root; }

    void write_language(const std::string& name, const std::string& text)
    {
        m_folder.write("app/" + name + ".lng", text);
    }
    // The splash of the tests, and the program's own main skin and English texts, so that the
    // program gets past its splash to the Login screen.
    void install_everything()
    {
        install_splash();
        std::filesystem::path bin = std::filesystem::path(CORVANE_BINARY).parent_path();
        for (const auto& entry : std::filesystem::directory_iterator(bin / "skins/bin")) {
            std::string name = entry.path().filename().string();
            if (name.rfind("splash", 0) != 0)
                std::filesystem::copy_file(entry.path(), m_root / "app/skins/bin" / name);
        }
        std::filesystem::copy_file(bin / "english.lng", m_root / "app/english.lng");
    }
    // Lays the data out as an installation does: the program in bin/, its data in
    // share/corvane/ beside bin/.
    void move_data_to_share()
    {
        std::filesystem::path share = m_root / "share/corvane";
        std::filesystem::create_directories(share);
        for (const auto& entry : std::filesystem::directory_iterator(m_root / "app")) {
            if (entry.path().filename() != "corvane")
                std::filesystem::rename(entry.path(), share / entry.path().filename());
        }
    }
    void install_splash()
    {
        std::string errors;
        std::string skin = compile_skin((m_root / "app/skins").string(), "splash",
            R"({"nodes": {"Splash": {"children": [{"type": "color", "color": {"color": [0, 128, 255]}}]}}})",
            &errors);
        ASSERT_FALSE(skin.empty()) << errors;
    }

private:
    TempFolder m_folder { "corvane-process" };
    std::filesystem::path m_root { m_folder.path() };
};

// One run of the device program with its own temporary folder (and so its own log file).
class ProgramRun : public ChildProcess {
public:
    // `extra` adds to the environment or replaces what it names.
    ProgramRun(const ProgramFolder& folder, const std::string& name,
        std::vector<std::string> arguments, std::map<std::string, std::string> extra = {})
        : ChildProcess(launch(folder, folder.root() / ("tmp-" + name), arguments, extra))
        , m_temp(folder.root() / ("tmp-" + name))
    {
    }

    void terminate() { signal(SIGTERM); }

    std::u16string log() const { return read_utf16_file((m_temp / "corvane.txt").string()); }
    std::string errors() const { return read_file(m_temp / "stderr.txt"); }
    std::string output() const { return read_file(m_temp / "stdout.txt"); }

    // Waits until the log holds `text`, the program ends or the time is up.
    bool wait_for_log(const std::u16string& text, std::chrono::milliseconds limit = 20s)
    {
        auto found = [&] { return log().find(text) != std::u16string::npos; };
        wait_until([&] { return found() || !is_running(); }, limit);
        return found();
    }

private:
    static Launch launch(const ProgramFolder& folder, const std::filesystem::path& temp,
        std::vector<std::string> arguments, std::map<std::string, std::string> extra)
    {
        std::filesystem::create_directories(temp);
        Launch launch;
        launch.arguments = std::move(arguments);
        launch.arguments.insert(launch.arguments.begin(), folder.program());
        launch.environment
            = { { "TMPDIR", temp.string() }, { "XDG_RUNTIME_DIR", folder.runtime().string() },
                  { "CORVANE_REGISTRY", folder.registry() },
                  { "XDG_DATA_HOME", (folder.root() / "data").string() }, { "LANG", "C" },
                  { "LC_ALL", "C" } };
        for (auto& [key, value] : extra)
            launch.environment[key] = std::move(value);
        launch.output_file = (temp / "stdout.txt").string();
        launch.error_file = (temp / "stderr.txt").string();
        return launch;
    }

    std::filesystem::path m_temp;
};

// Whether the lines appear in the text in this order.
inline bool appear_in_order(const std::u16string& text, const std::vector<const char16_t*>& lines)
{
    std::size_t at = 0;
    for (const char16_t* line : lines) {
        std::size_t found = text.find(line, at);
        if (found == std::u16string::npos)
            return false;
        at = found + 1;
    }
    return true;
}

} // namespace corvane::test
