#include "device/core/FindFiles.h"

#include "device/core/Paths.h"

#include <algorithm>
#include <dirent.h>
#include <fnmatch.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace corvane {

namespace {

    struct Entry {
        std::string name;
        bool is_folder;
    };

    std::vector<Entry> list_folder(const std::string& folder)
    {
        std::vector<Entry> entries;
        DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
        if (!dir)
            return entries;
        while (dirent* d = readdir(dir)) {
            std::string name = d->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st { };
            if (stat((folder + "/" + name).c_str(), &st) != 0)
                continue;
            entries.push_back({ name, S_ISDIR(st.st_mode) });
        }
        closedir(dir);
        std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return entries;
    }

    bool matches(const std::string& pattern, const std::string& name)
    {
        // Names compare without regard to case, as the device's file system does.
        return fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
    }

    // Answers false when the visitor stopped the scan.
    bool scan(FileVisitor& visitor, WStringView folder, const std::string& file_pattern,
        const std::string& folder_pattern, bool recursive, int depth)
    {
        std::vector<Entry> entries = list_folder(native_path(folder));
        for (const Entry& e : entries) {
            if (!e.is_folder && matches(file_pattern, e.name)
                && !visitor.file_found(join_path(folder, from_utf8(e.name))))
                return false;
        }
        // A bound on depth guards against symbolic-link loops.
        if (depth > 32)
            return true;
        for (const Entry& e : entries) {
            if (!e.is_folder || !matches(folder_pattern, e.name))
                continue;
            WString sub = join_path(folder, from_utf8(e.name));
            if (!visitor.folder_found(sub))
                return false;
            if (recursive
                && !scan(visitor, sub, file_pattern, folder_pattern, recursive, depth + 1))
                return false;
        }
        return true;
    }

} // namespace

bool find_files(FileVisitor& visitor, WStringView folder, WStringView file_pattern,
    WStringView folder_pattern, bool recursive)
{
    scan(visitor, folder, to_utf8(file_pattern), to_utf8(folder_pattern), recursive, 0);
    return true;
}

} // namespace corvane
