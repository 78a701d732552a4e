#pragma once

#include "common/base/Text.h"
#include "device/skin/skin/DisplayInfo.h"

#include <functional>
#include <vector>

namespace corvane {

class Properties;

// The settings key under which the skin and language choice is stored:
// "HKEY_CURRENT_USER\Software\Ulmar\" + application name.
WString choice_settings_key(WStringView application_name);

// Loads a language into `properties`: the stored choice ("Language"), the device language,
// "english", then every "*.lng" of the program folder in name order; the first file that loads
// wins. File names match without regard to case. The choice found is not stored. False when no
// language loads at all.
[[nodiscard]] bool load_language(Properties& properties, WStringView application_name);

// Loads the main skin from `base_folder` + "/skins/bin/" ("%data_path%" when empty): the stored
// choice ("Skin"), "default", then any other "*.skin" there except "splash" and "today". Each
// attempt uses a fresh display description from the installed provider. False when none loads.
[[nodiscard]] bool load_chosen_skin(
    Properties& properties, WStringView application_name, WStringView base_folder);

// Where load_chosen_skin gets its display description; the window installs one at start-up.
// Without one, a 240 x 320 display at 96 dpi is assumed.
using DisplayProvider = std::function<DisplayInfo()>;
void set_display_provider(DisplayProvider provider);
DisplayInfo current_display();

// At least two ".lng" files in the program folder.
bool has_several_languages();

// One entry of the language submenu.
struct LanguageMenuItem {
    WString identifier; // "Language#" + file name without extension, or "Cancel"
    WString text; // the file name without extension; empty for "Cancel"
    bool selected { false }; // the language in use
    WString node_name; // the item style; empty means the menu's default item node
    friend bool operator==(const LanguageMenuItem&, const LanguageMenuItem&) = default;
};

// "Language" fills `submenu` with the installed languages (sorted by path, the current one
// selected) and a last "Cancel" item of style `item_style`, and answers false. "Language#name"
// switches to that language file when it is not the current one and loads, stores the choice
// and answers true. Any other command answers false.
[[nodiscard]] bool handle_language_command(Properties& properties, WStringView application_name,
    WStringView command, std::vector<LanguageMenuItem>& submenu, WStringView item_style);

} // namespace corvane
