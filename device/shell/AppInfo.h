#pragma once

#include "CorvaneVersion.h"

namespace corvane {

// The program's constant description.
struct AppInfo {
    // Shown when the splash skin or every language file fails to load: English, then Russian.
    const char16_t* message;
    const char16_t* version;
    // Caption of message boxes, window title, suffix of the window class and start-up mutex,
    // and the settings key of the skin and language choice.
    const char16_t* name;
};

inline constexpr AppInfo app_info {
    u"No languages, please reinstall\n"
    u"Не найдены языковые файлы, нужна переустановка\n",
    u"" CORVANE_VERSION,
    u"Corvane",
};

} // namespace corvane
