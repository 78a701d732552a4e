#include "device/core/DataFolders.h"

#include "device/core/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>

namespace corvane {

namespace {

    // Data lies in a folder when it holds the compiled skins or a language file.
    bool holds_data(const WString& folder)
    {
        std::error_code error;
        std::filesystem::path path(to_utf8(folder));
        if (std::filesystem::is_directory(path / "skins" / "bin", error))
            return true;
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            if (entry.path().extension() == ".lng")
                return true;
        }
        return false;
    }

    struct Folders {
        std::vector<WString> candidates;
        WString data;
        bool installed { false };
    };

    const Folders& folders()
    {
        static std::once_flag once;
        static Folders found;
        std::call_once(once, [] {
            WString beside = strip_trailing_separator(dir_of(get_app_path()));
            WString parent = strip_trailing_separator(dir_of(beside));
            found.candidates = { beside, parent + u"/share/corvane" };
            found.data = beside;
            if (!holds_data(beside) && holds_data(found.candidates[1])) {
                found.data = found.candidates[1];
                found.installed = true;
            }
        });
        return found;
    }

    std::string data_home()
    {
        if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
            return xdg;
        if (const char* home = std::getenv("HOME"); home && *home)
            return std::string(home) + "/.local/share";
        return to_utf8(temp_folder());
    }

} // namespace

WString data_folder()
{
    return folders().data;
}

std::vector<WString> data_folder_candidates()
{
    return folders().candidates;
}

WString user_folder()
{
    if (!folders().installed)
        return folders().candidates[0];
    static std::once_flag once;
    static WString folder;
    std::call_once(once, [] {
        std::string base = data_home();
        std::string path = base + "/corvane";
        std::error_code error;
        std::filesystem::create_directories(base, error);
        // Owner-only from the start: the cache and outbox hold the user's projects. When it
        // cannot be made, saving into it fails and says so; nothing is written elsewhere.
        (void)::mkdir(path.c_str(), 0700);
        folder = from_utf8(path);
    });
    return folder;
}

} // namespace corvane
