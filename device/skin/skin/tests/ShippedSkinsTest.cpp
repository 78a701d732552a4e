#include "device/core/testing/TestEnvironment.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/tests/SkinTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvane;

// The skins and languages the build installs beside the programs (tests run in <build>/bin).

// The splash form builds from the kinds the skin engine provides and lays out on the 240-pixel
// design screen and at double density.
TEST(ShippedSkins, splash_builds_and_draws_at_both_densities)
{
    test::TestEnvironment env;
    test::CoreKinds kinds;
    std::string folder = std::filesystem::current_path().string();
    for (const DisplayInfo& display :
        { DisplayInfo::make(240, 320, 0, 96), DisplayInfo::make(480, 640, 0, 192) }) {
        Properties properties;
        ASSERT_TRUE(properties.load_skin(from_utf8(folder + "/skins/bin/splash.skin"), display));
        Element splash;
        build_from_node_or_throw(splash, properties, u"Splash");
        splash.set_x(0, display.width);
        splash.set_y(0, display.height);
        Element& panel = require_descendant(splash, u"panel");
        EXPECT_EQ(panel.size(), (Size { 160 << display.scale_shift, 112 << display.scale_shift }));
        EXPECT_EQ(panel.x(), (display.width - panel.width()) / 2);
        RenderSurface surface;
        ASSERT_TRUE(surface.recreate(display.width, display.height));
        splash.paint(surface, {});
        EXPECT_EQ(surface.surface()->pixel(0, 0), (Color { 0x1E, 0x2A, 0x3A, 255 }.to_565()));
        EXPECT_EQ(surface.surface()->pixel(panel.x() + 1, panel.y() + 1),
            (Color { 0x2F, 0x46, 0x60, 255 }.to_565()));
    }
}

// The default skin holds every form and row the screens build; a missing one would stop the
// program at start.
TEST(ShippedSkins, default_skin_loads)
{
    test::TestEnvironment env;
    Properties properties;
    ASSERT_TRUE(properties.load_skin(
        u"%app_path%/skins/bin/default.skin", DisplayInfo::make(480, 640, 0, 192)));
    for (const char16_t* node :
        { u"Login", u"Register", u"Connecting", u"FormMessage", u"Version", u"Ticket", u"Problem",
            u"Tree", u"TreeElement", u"TreeTagElement", u"TreeSeparatorElement", u"TreeAllElement",
            u"TreeMoreElement", u"ListMoreElement", u"VizFolderIcons", u"Task",
            u"TaskPropertiesElement", u"TaskChatElement", u"TaskMoreElement", u"Title", u"Comment",
            u"Progress", u"Deadline", u"SpinnerElementDate", u"Colors", u"ColorSeparator",
            u"ColorElement", u"Tag", u"ComboSeparator", u"ComboElement", u"FormMessageOkCancel",
            u"Sharing", u"SharingElementPress", u"SharingElementNoPress", u"Menu", u"MenuElement",
            u"MenuElementDisabled", u"About", u"AboutElementTop", u"SkinReload" })
        EXPECT_TRUE(properties.find_node(node)) << to_utf8(node);
}

// Both languages carry the start-up message; Russian is UTF-16 with its mark. In each, the
// descriptions of a group's list and a record's list read differently.
TEST(ShippedSkins, languages_have_the_start_up_texts)
{
    test::TestEnvironment env;
    Properties properties;
    auto lists_differ = [&] {
        return translate(properties, u"ListOfTasksInGroupName")
            != translate(properties, u"ListOfTasksInName");
    };
    ASSERT_TRUE(load_language_file(properties, u"%app_path%/english.lng"));
    EXPECT_EQ(translate(properties, u"NoSkins"), u"No skins found. Please reinstall the program.");
    EXPECT_TRUE(lists_differ());
    std::size_t english_keys = properties.language_table().size();
    ASSERT_TRUE(load_language_file(properties, u"%app_path%/russian.lng"));
    EXPECT_EQ(translate(properties, u"NoSkins"),
        u"Не найдены файлы оформления. Переустановите программу.");
    EXPECT_TRUE(lists_differ());
    EXPECT_EQ(properties.language_table().size(), english_keys);
}
