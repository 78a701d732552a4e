#pragma once

// Screens on the real main skin and English texts, over a headless application on a virtual
// clock: what the screen tests share.

#include "device/app/tests/AppTestSupport.h"
#include "device/platform/Platform.h"
#include "device/platform/VirtualClock.h"
#include "device/platform/linux/HeadlessWindow.h"
#include "device/platform/linux/LinuxClock.h"
#include "device/shell/Application.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/skin/Properties.h"
#include "testing/ChildProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace corvane::test {

struct HeadlessScreens {
    // Makes the application with a display of that size at 96 dpi and loads the skin and the
    // English texts into `properties`. Use with ASSERT_NO_FATAL_FAILURE.
    void start(std::int32_t width = 240, std::int32_t height = 320)
    {
        install_default_platform();
        WindowOptions options;
        options.headless = true;
        options.dpi = 96;
        options.width = width;
        options.height = height;
        options.virtual_clock = &clock;
        application = std::make_unique<Application>(
            u"Corvane", std::make_unique<HeadlessWindow>(options), clock);
        std::string bin = program_folder();
        ASSERT_TRUE(properties.load_skin(
            from_utf8(bin + "/skins/bin/default.skin"), application->build_display_info()))
            << "build the skin_data target";
        ASSERT_TRUE(load_language_file(properties, from_utf8(bin + "/english.lng")));
    }

    AppTestEnvironment env;
    LinuxClock real_clock;
    VirtualClock clock { real_clock };
    std::unique_ptr<Application> application;
    Properties properties;
};

} // namespace corvane::test
