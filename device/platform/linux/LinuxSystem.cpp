#include "device/platform/linux/LinuxSystem.h"

#include "common/base/Text.h"
#include "device/platform/Platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane {

std::string LinuxSystem::executable_path() const
{
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

namespace {

    std::string home_folder()
    {
        const char* home = std::getenv("HOME");
        return home && *home ? home : "";
    }

    // Looks a folder up in ~/.config/user-dirs.dirs (XDG_DOCUMENTS_DIR="$HOME/Documents").
    std::string xdg_user_dir(const std::string& name, const std::string& fallback)
    {
        std::string home = home_folder();
        if (home.empty())
            return {};
        std::string config = std::getenv("XDG_CONFIG_HOME") && *std::getenv("XDG_CONFIG_HOME")
            ? std::getenv("XDG_CONFIG_HOME")
            : home + "/.config";
        std::ifstream file(config + "/user-dirs.dirs");
        std::string line;
        std::string key = "XDG_" + name + "_DIR=";
        while (std::getline(file, line)) {
            if (line.rfind(key, 0) != 0)
                continue;
            std::string value = line.substr(key.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (value.rfind("$HOME", 0) == 0)
                value = home + value.substr(5);
            if (!value.empty())
                return value;
        }
        return home + "/" + fallback;
    }

    std::string data_home()
    {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        if (xdg && *xdg)
            return xdg;
        std::string home = home_folder();
        return home.empty() ? "" : home + "/.local/share";
    }

} // namespace

std::string LinuxSystem::special_folder(SpecialFolder folder) const
{
    switch (folder) {
    case SpecialFolder::Documents:
        return xdg_user_dir("DOCUMENTS", "Documents");
    case SpecialFolder::Windows:
        return "/usr/share";
    case SpecialFolder::Startup: {
        std::string config = std::getenv("XDG_CONFIG_HOME") && *std::getenv("XDG_CONFIG_HOME")
            ? std::getenv("XDG_CONFIG_HOME")
            : (home_folder().empty() ? "" : home_folder() + "/.config");
        return config.empty() ? "" : config + "/autostart";
    }
    case SpecialFolder::Programs:
    case SpecialFolder::StartMenu: {
        std::string data = data_home();
        return data.empty() ? "" : data + "/applications";
    }
    case SpecialFolder::ProgramFiles:
        return "/opt";
    }
    return {};
}

std::string LinuxSystem::temp_folder() const
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

bool spawn_detached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // A pipe closed on exec tells the parent whether exec succeeded.
    int status_pipe[2];
    if (pipe2(status_pipe, O_CLOEXEC) != 0)
        return false;
    pid_t child = fork();
    if (child < 0) {
        close(status_pipe[0]);
        close(status_pipe[1]);
        return false;
    }
    if (child == 0) {
        if (fork() != 0)
            _exit(0);
        setsid();
        execvp(args[0], args.data());
        int error = errno;
        ssize_t ignored = write(status_pipe[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(status_pipe[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    int error = 0;
    ssize_t n;
    do {
        n = read(status_pipe[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(status_pipe[0]);
    return n == 0;
}

bool LinuxSystem::open_url(const std::string& url)
{
    return spawn_detached({ "xdg-open", url });
}

std::vector<std::u16string> LinuxSystem::emergency_numbers() const
{
    // A multi-string value: numbers separated by ";" ("112;911").
    std::vector<std::u16string> numbers;
    auto value
        = platform_settings().read(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"EmergencyNumbers");
    if (!value)
        return numbers;
    const auto* text = std::get_if<std::u16string>(&*value);
    if (!text)
        return numbers;
    std::u16string current;
    for (char16_t c : *text + u";") {
        if (c == u';') {
            if (!current.empty())
                numbers.push_back(current);
            current.clear();
        } else if (c != u' ') {
            current.push_back(c);
        }
    }
    return numbers;
}

bool LinuxSystem::dial(const std::u16string& number)
{
    // There is no telephone here: the caller logs the number, and nothing is dialled.
    (void)number;
    return false;
}

void LinuxSystem::message_box(const std::u16string& caption, const std::u16string& text)
{
    if (m_message_box) {
        m_message_box(caption, text);
        return;
    }
    std::string out = to_utf8(caption) + ": " + to_utf8(text);
    if (out.empty() || out.back() != '\n')
        out += '\n';
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace corvane
