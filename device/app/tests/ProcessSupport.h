#pragma once

#include "device/app/tests/AppTestSupport.h"
#include "device/core/testing/LogFile.h"
#include "device/platform/linux/FileSettingsStore.h"
#include "device/skin/skin/tests/SkinTestSupport.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace corvane::test {

using namespace std::chrono_literals;

// A program folder of its own ("%app_path%" of a copy of the device program), with whatever
// skins and language files a test puts there, plus the settings file and the runtime folder
// that the processes share.
class ProgramFolder {
public:
    ProgramFolder()
    {
        char pattern[] = "/tmp/corvane-process-XXXXXX";
        m_root = mkdtemp(pattern);
        std::filesystem::create_directories(m_root / "app/skins/bin");
        std::filesystem::create_directories(m_root / "runtime");
        std::filesystem::permissions(m_root / "runtime", std::filesystem::perms::owner_all,
            std::filesystem::perm_options::replace);
        std::filesystem::copy_file(CORVANE_BINARY, program());
        FileSettingsStore settings(registry());
        (void)settings.write(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", std::uint32_t(1));
    }
    ~ProgramFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::string program() const { return (m_root / "app/corvane").string(); }
    std::string registry() const { return (m_root / "registry.txt").string(); }
    std::filesystem::path runtime() const { return m_root / "runtime"; }
    std::filesystem::path root() const { return m_root; }

    void write_language(const std::string& name, const std::string& text)
    {
        std::ofstream out(m_root / "app" / (name + ".lng"), std::ios::binary);
        out << text;
    }
    // A splash form that fills the display with one colour, a main skin and English.
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
    std::filesystem::path m_root;
};

// One run of the device program with its own temporary folder (and so its own log file).
class ProgramRun {
public:
    // `extra` adds to the environment or replaces what it names.
    ProgramRun(const ProgramFolder& folder, const std::string& name,
        std::vector<std::string> arguments, std::map<std::string, std::string> extra = {})
        : m_temp(folder.root() / ("tmp-" + name))
    {
        std::filesystem::create_directories(m_temp);
        std::map<std::string, std::string> overrides = {
            { "TMPDIR", m_temp.string() },
            { "XDG_RUNTIME_DIR", folder.runtime().string() },
            { "CORVANE_REGISTRY", folder.registry() },
            { "XDG_DATA_HOME", (folder.root() / "data").string() },
            { "LANG", "C" },
            { "LC_ALL", "C" },
        };
        for (auto& [key, value] : extra)
            overrides[key] = std::move(value);
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            std::string text = *entry;
            if (!overrides.contains(text.substr(0, text.find('='))))
                environment.push_back(text);
        }
        for (const auto& [key, value] : overrides)
            environment.push_back(key + "=" + value);
        arguments.insert(arguments.begin(), folder.program());

        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string errors = (m_temp / "stderr.txt").string();
        std::string output = (m_temp / "stdout.txt").string();

        m_pid = fork();
        if (m_pid == 0) {
            FILE* err = std::freopen(errors.c_str(), "w", stderr);
            FILE* out = std::freopen(output.c_str(), "w", stdout);
            (void)err;
            (void)out;
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
    }

    ~ProgramRun()
    {
        if (m_pid > 0 && !m_exit_code) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    pid_t pid() const { return m_pid; }

    // The exit code once the process ends within `limit`; nothing if it still runs then.
    std::optional<int> wait_exit(std::chrono::milliseconds limit = 20s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!m_exit_code) {
            int status = 0;
            pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            std::this_thread::sleep_for(10ms);
        }
        return m_exit_code;
    }

    bool is_running() { return !wait_exit(0ms).has_value(); }

    void terminate() { kill(m_pid, SIGTERM); }

    std::u16string log() const { return read_utf16_file((m_temp / "corvane.txt").string()); }

    std::string errors() const { return read_text(m_temp / "stderr.txt"); }
    std::string output() const { return read_text(m_temp / "stdout.txt"); }

    // Polls the log until it holds `text` or the time is up.
    bool wait_for_log(const std::u16string& text, std::chrono::milliseconds limit = 20s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (log().find(text) != std::u16string::npos)
                return true;
            if (std::chrono::steady_clock::now() > deadline || !is_running())
                return log().find(text) != std::u16string::npos;
            std::this_thread::sleep_for(10ms);
        }
    }

private:
    static std::string read_text(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    std::filesystem::path m_temp;
    pid_t m_pid { -1 };
    std::optional<int> m_exit_code;
};

// A private X server for one test, so that no other test's window can take the focus.
class PrivateXServer {
public:
    PrivateXServer() = default;
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    ~PrivateXServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    // False when Xvfb cannot be started here.
    bool start()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        // -displayfd picks a free display number and writes it on that descriptor, which must
        // survive the exec.
        int child_end = fcntl(fds[1], F_DUPFD, 10);
        std::string child_fd = std::to_string(child_end);
        m_pid = fork();
        if (m_pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", child_fd.c_str(), "-screen", "0", "800x600x24",
                "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(child_end);
        close(fds[1]);
        std::string number;
        auto deadline = std::chrono::steady_clock::now() + 15s;
        while (m_pid > 0 && number.find('\n') == std::string::npos
            && std::chrono::steady_clock::now() < deadline) {
            pollfd ready { fds[0], POLLIN, 0 };
            if (poll(&ready, 1, 100) <= 0)
                continue;
            char buffer[32];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break; // Xvfb ended without a display
            number.append(buffer, static_cast<std::size_t>(n));
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos)
            return false;
        m_name = ":" + number.substr(0, number.find('\n'));
        return true;
    }

    const std::string& name() const { return m_name; }

private:
    pid_t m_pid { -1 };
    std::string m_name;
};

// Whether the lines appear in the text in this order.
inline bool appear_in_order(
    const std::u16string& text, std::initializer_list<const char16_t*> lines)
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
