#include "device/core/KeyCode.h"
#include "device/skin/skin/DisplayInfo.h"

#include <gtest/gtest.h>

using namespace corvane;

// Keys outside the table's window (below 8, above 120, up to the largest value) are no key, not
// a read past the table's ends; the ends themselves are mapped.
TEST(KeyTable, virtual_keys_outside_the_table_are_no_key)
{
    for (std::uint32_t key = 0; key < 8; ++key)
        EXPECT_EQ(map_virtual_key(key), KeyCode::None) << key;
    for (std::uint32_t key = 121; key < 70000; ++key)
        ASSERT_EQ(map_virtual_key(key), KeyCode::None) << key;
    EXPECT_EQ(map_virtual_key(0xFFFFFFFFu), KeyCode::None);
    EXPECT_STREQ(key_name(map_virtual_key(8)), "Backspace");
    EXPECT_STREQ(key_name(map_virtual_key(120)), "#");
}

// Every named key is found again by its name, exactly; codes without an entry have no name.
TEST(KeyTable, names_and_codes_round_trip)
{
    int count = 0;
    for (const KeyName* entry = key_names; entry->name; ++entry, ++count) {
        EXPECT_EQ(key_from_name(entry->name), entry->code) << entry->name;
        EXPECT_STREQ(key_name(entry->code), entry->name);
    }
    EXPECT_EQ(count, 69);
    EXPECT_EQ(key_name(KeyCode(69)), nullptr);
    EXPECT_EQ(key_name(KeyCode(-1)), nullptr);
    EXPECT_EQ(key_from_name("soft_right"), std::nullopt);
    EXPECT_EQ(key_from_name(""), std::nullopt);
    EXPECT_EQ(digit_of(KeyCode(50)), u'4');
}

// The scale shift steps at 192 and 384 dpi; equality ignores the usable area.
TEST(DisplayDescription, scale_shift_and_equality)
{
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
