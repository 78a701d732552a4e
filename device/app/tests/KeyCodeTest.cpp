#include "device/core/KeyCode.h"
#include "device/skin/skin/DisplayInfo.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace corvane;

namespace {

// The mapping from platform virtual keys as the device defines it, written out key by key.
std::map<std::uint32_t, int> expected_virtual_keys()
{
    std::map<std::uint32_t, int> keys = {
        { 8, 11 },
        { 27, 11 },
        { 9, 18 },
        { 13, 9 },
        { 16, 1 },
        { 17, 2 },
        { 18, 3 },
        { 32, 10 },
        { 33, 17 },
        { 34, 16 },
        { 35, 15 },
        { 36, 14 },
        { 37, 4 },
        { 38, 6 },
        { 39, 5 },
        { 40, 7 },
        { 45, 13 },
        { 46, 12 },
        { 93, 19 },
        { 106, 56 },
        { 119, 56 },
        { 107, 65 },
        { 109, 66 },
        { 110, 67 },
        { 111, 68 },
        { 112, 61 },
        { 113, 62 },
        { 114, 58 },
        { 115, 59 },
        { 117, 63 },
        { 118, 64 },
        { 120, 57 },
    };
    for (int i = 0; i < 10; ++i) {
        keys[48 + i] = 46 + i;
        keys[96 + i] = 46 + i;
    }
    for (int i = 0; i < 26; ++i)
        keys[65 + i] = 20 + i;
    return keys;
}

} // namespace

// Every virtual key, including values far outside the device's range, maps as the table says.
TEST(KeyTable, every_virtual_key_maps_as_the_table_says)
{
    auto expected = expected_virtual_keys();
    for (std::uint32_t key = 0; key < 70000; ++key) {
        auto it = expected.find(key);
        int want = it == expected.end() ? 0 : it->second;
        ASSERT_EQ(static_cast<int>(map_virtual_key(key)), want) << "virtual key " << key;
    }
    EXPECT_EQ(map_virtual_key(0xFFFFFFFFu), KeyCode::None);
}

// Escape erases like Backspace, and nothing reaches "Esc" or "SLIDE"; F1/F2 are the soft keys.
TEST(KeyTable, escape_is_backspace_and_soft_keys_are_f1_f2)
{
    EXPECT_STREQ(key_name(map_virtual_key(27)), "Backspace");
    EXPECT_STREQ(key_name(map_virtual_key(112)), "SOFT_LEFT");
    EXPECT_STREQ(key_name(map_virtual_key(113)), "SOFT_RIGHT");
    EXPECT_STREQ(key_name(map_virtual_key(114)), "CALL_MAKE");
    EXPECT_STREQ(key_name(map_virtual_key(105)), "9");
    EXPECT_STREQ(key_name(map_virtual_key(120)), "#");
    for (std::uint32_t key = 0; key < 256; ++key) {
        EXPECT_NE(map_virtual_key(key), KeyCode::Esc);
        EXPECT_NE(map_virtual_key(key), KeyCode::Slide);
    }
}

// The name table covers 0 to 68 once each, in code order, and ends with an entry without name.
TEST(KeyTable, name_table_is_complete_and_terminated)
{
    const char* names[] = { "None", "Shift", "Ctrl", "Alt", "Left", "Right", "Up", "Down", "Esc",
        "Enter", "Space", "Backspace", "Del", "Insert", "Home", "End", "PageDown", "PageUp", "Tab",
        "ContextMenu" };
    int count = 0;
    std::set<std::string> seen;
    for (const KeyName* entry = key_names; entry->name; ++entry, ++count) {
        EXPECT_EQ(static_cast<int>(entry->code), count);
        EXPECT_TRUE(seen.insert(entry->name).second) << entry->name;
    }
    EXPECT_EQ(count, 69);
    for (int i = 0; i < 20; ++i)
        EXPECT_STREQ(key_name(KeyCode(i)), names[i]);
    EXPECT_STREQ(key_name(KeyCode(20)), "A");
    EXPECT_STREQ(key_name(KeyCode(45)), "Z");
    EXPECT_STREQ(key_name(KeyCode(46)), "0");
    EXPECT_STREQ(key_name(KeyCode(55)), "9");
    EXPECT_STREQ(key_name(KeyCode(68)), "/");
    EXPECT_EQ(key_name(KeyCode(69)), nullptr);
    EXPECT_EQ(key_name(KeyCode(-1)), nullptr);
}

// Skin bindings look keys up by name, exactly.
TEST(KeyTable, names_find_their_codes)
{
    EXPECT_EQ(key_from_name("SOFT_RIGHT"), KeyCode::SoftRight);
    EXPECT_EQ(key_from_name("*"), KeyCode::Star);
    EXPECT_EQ(key_from_name("Q"), KeyCode(36));
    EXPECT_EQ(key_from_name("soft_right"), std::nullopt);
    EXPECT_EQ(key_from_name(""), std::nullopt);
    EXPECT_EQ(digit_of(KeyCode(50)), u'4');
    EXPECT_TRUE(is_digit_key(KeyCode::Digit0));
    EXPECT_FALSE(is_digit_key(KeyCode::Star));
}

// The scale shift steps at 192 and 384 dpi; equality ignores the usable area.
TEST(DisplayDescription, scale_shift_and_equality)
{
    EXPECT_EQ(DisplayInfo::scale_shift_for_dpi(96), 0);
    EXPECT_EQ(DisplayInfo::scale_shift_for_dpi(191), 0);
    EXPECT_EQ(DisplayInfo::scale_shift_for_dpi(192), 1);
    EXPECT_EQ(DisplayInfo::scale_shift_for_dpi(383), 1);
    EXPECT_EQ(DisplayInfo::scale_shift_for_dpi(384), 2);
    DisplayInfo a { 480, 640, 0, 0, 480, 640, 0, 192, 1 };
    DisplayInfo b = a;
    b.top = 26;
    b.work_height = 588;
    EXPECT_EQ(a, b);
    b.rotation = 1;
    EXPECT_FALSE(a == b);
}
