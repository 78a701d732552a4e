#include "device/skin/lang/LanguageChoice.h"

#include "device/core/FindFiles.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/skin/lang/DeviceLanguage.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>

namespace corvane {

namespace {

    DisplayProvider& display_provider()
    {
        static DisplayProvider provider;
        return provider;
    }

    class CollectFiles final : public FileVisitor {
    public:
        bool file_found(const WString& path) override
        {
            paths.push_back(path);
            return true;
        }
        bool folder_found(const WString&) override { return true; }
        std::vector<WString> paths;
    };

    std::vector<WString> files_in(WStringView folder, WStringView pattern)
    {
        CollectFiles files;
        find_files(files, folder, pattern, u"do_not_search", false);
        return files.paths;
    }

    WString ascii_upper(WStringView text)
    {
        WString upper(text);
        for (char16_t& c : upper) {
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - u'a' + u'A');
        }
        return upper;
    }

    // "%data_path%/" + name + ".lng", or the installed file whose name matches without regard to
    // case (the device's file system ignores case; ours does not).
    WString language_path(WStringView name)
    {
        WString exact = u"%data_path%/" + WString(name) + u".lng";
        for (const WString& path : files_in(u"%data_path%", u"*.lng")) {
            if (file_of(path) == WString(name) + u".lng")
                return path;
        }
        for (const WString& path : files_in(u"%data_path%", u"*.lng")) {
            if (ascii_lower(file_stem(path)) == ascii_lower(name))
                return path;
        }
        return exact;
    }

} // namespace

WString choice_settings_key(WStringView application_name)
{
    return u"HKEY_CURRENT_USER\\Software\\Ulmar\\" + WString(application_name);
}

bool load_language(Properties& properties, WStringView application_name)
{
    WString stored;
    (void)reg_read_string(choice_settings_key(application_name), u"Language", stored);
    // An empty choice names no file; trying it would only fail.
    for (const WString& choice : { stored, device_language_name(), WString(u"english") }) {
        if (!choice.empty() && load_language_file(properties, language_path(choice)))
            return true;
    }
    for (const WString& path : files_in(u"%data_path%", u"*.lng")) {
        if (load_language_file(properties, path))
            return true;
    }
    return false;
}

void set_display_provider(DisplayProvider provider)
{
    display_provider() = std::move(provider);
}

DisplayInfo current_display()
{
    if (display_provider())
        return display_provider()();
    return DisplayInfo::make(240, 320, 0, 96);
}

bool load_chosen_skin(Properties& properties, WStringView application_name, WStringView base_folder)
{
    WString base = base_folder.empty() ? WString(u"%data_path%") : WString(base_folder);
    WString folder = base + u"/skins/bin/";
    WString stored;
    (void)reg_read_string(choice_settings_key(application_name), u"Skin", stored);
    if (!stored.empty() && properties.load_skin(folder + stored + u".skin", current_display()))
        return true;
    if (properties.load_skin(folder + u"default.skin", current_display()))
        return true;
    for (const WString& path : files_in(base + u"/skins/bin", u"*.skin")) {
        WString name = ascii_lower(file_stem(path));
        if (name == u"splash" || name == u"today")
            continue;
        if (properties.load_skin(path, current_display()))
            return true;
    }
    return false;
}

bool has_several_languages()
{
    return files_in(u"%data_path%", u"*.lng").size() >= 2;
}

bool handle_language_command(Properties& properties, WStringView application_name,
    WStringView command, std::vector<LanguageMenuItem>& submenu, WStringView item_style)
{
    const WStringView prefix = u"Language#";
    if (command == u"Language") {
        std::vector<WString> paths = files_in(u"%data_path%", u"*.lng");
        std::sort(paths.begin(), paths.end());
        WString current = ascii_upper(file_stem(properties.language_path()));
        for (const WString& path : paths) {
            WString name = file_stem(path);
            submenu.push_back({ u"Language#" + name, name, ascii_upper(name) == current, {} });
        }
        submenu.push_back({ u"Cancel", {}, false, WString(item_style) });
        return false;
    }
    if (command.starts_with(prefix)) {
        WString name(command.substr(prefix.size()));
        // A name that reaches into another folder is not an installed language.
        if (name.empty() || name.find_first_of(u"/\\") != WString::npos)
            return false;
        WString path = expand_path(u"%data_path%/" + name + u".lng");
        if (path == properties.language_path() || !load_language_file(properties, path))
            return false;
        (void)reg_write_string(choice_settings_key(application_name), u"Language", name);
        return true;
    }
    return false;
}

} // namespace corvane
