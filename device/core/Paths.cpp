#include "device/core/Paths.h"

#include "device/core/DataFolders.h"
#include "device/core/FatalFault.h"
#include "device/platform/Platform.h"

#include <array>
#include <mutex>

namespace corvane {

namespace {

    struct AppNames {
        WString full_name;
        WString folder;
        WString name;
    };

    const AppNames& app_names()
    {
        static std::once_flag once;
        static AppNames names;
        std::call_once(once, [] {
            names.full_name = get_app_path();
            names.folder = strip_trailing_separator(dir_of(names.full_name));
            names.name = file_of(names.full_name);
        });
        return names;
    }

} // namespace

bool is_separator(char16_t c)
{
    return c == u'/' || c == u'\\';
}

WString get_app_path()
{
    WString path = from_utf8(platform_system().executable_path());
    if (path.size() >= 1024)
        fatal_fault(u"get_app_path()", u"path is more then MAX_PATH long");
    return path;
}

WString expand_path(WStringView path)
{
    struct Macro {
        std::u16string_view text;
        int kind;
    };
    static constexpr std::array<Macro, 11> macros { {
        { u"%app_full_name%", 0 },
        { u"%app_path%", 1 },
        { u"%app_name%", 2 },
        { u"%my_documents%", 3 },
        { u"%windows%", 4 },
        { u"%startup%", 5 },
        { u"%programs%", 6 },
        { u"%start_menu%", 7 },
        { u"%program_files%", 8 },
        { u"%data_path%", 9 },
        { u"%user_path%", 10 },
    } };
    WString out;
    for (const Macro& macro : macros) {
        if (!path.starts_with(macro.text))
            continue;
        switch (macro.kind) {
        case 0:
            out = app_names().full_name;
            break;
        case 1:
            out = app_names().folder;
            break;
        case 2:
            out = app_names().name;
            break;
        case 9:
            out = data_folder();
            break;
        case 10:
            out = user_folder();
            break;
        default: {
            static constexpr SpecialFolder folders[] = { SpecialFolder::Documents,
                SpecialFolder::Windows, SpecialFolder::Startup, SpecialFolder::Programs,
                SpecialFolder::StartMenu, SpecialFolder::ProgramFiles };
            out = from_utf8(platform_system().special_folder(folders[macro.kind - 3]));
        }
        }
        path.remove_prefix(macro.text.size());
        break;
    }
    for (char16_t c : path)
        out.push_back(c == u'\\' ? u'/' : c);
    return out;
}

std::string native_path(WStringView path)
{
    return to_utf8(expand_path(path));
}

WString temp_folder()
{
    return from_utf8(platform_system().temp_folder());
}

WString log_file_path()
{
    return temp_folder() + u"/" + expand_path(u"%app_name%.txt");
}

WString dir_of(WStringView path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        if (is_separator(path[i - 1]))
            return WString(path.substr(0, i));
    }
    return {};
}

WString file_of(WStringView path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        if (is_separator(path[i - 1]))
            return WString(path.substr(i));
    }
    return WString(path);
}

std::optional<std::size_t> extension_index(WStringView path)
{
    std::size_t dot = path.find_last_of(u'.');
    if (dot == WStringView::npos)
        return std::nullopt;
    for (std::size_t i = dot; i < path.size(); ++i) {
        if (is_separator(path[i]))
            return std::nullopt;
    }
    return dot;
}

WString file_stem(WStringView path)
{
    WString name = file_of(path);
    auto dot = extension_index(name);
    return dot ? name.substr(0, *dot) : name;
}

WString strip_trailing_separator(WStringView path)
{
    if (!path.empty() && is_separator(path.back()))
        path.remove_suffix(1);
    return WString(path);
}

WString join_path(WStringView folder, WStringView name)
{
    if (folder.empty())
        return WString(name);
    return strip_trailing_separator(folder) + u"/" + WString(name);
}

bool same_path(WStringView a, WStringView b)
{
    return ascii_lower(strip_trailing_separator(expand_path(a)))
        == ascii_lower(strip_trailing_separator(expand_path(b)));
}

bool path_starts_with(WStringView path, WStringView prefix)
{
    if (prefix.size() > path.size())
        return false;
    return same_path(path.substr(0, prefix.size()), prefix);
}

} // namespace corvane
