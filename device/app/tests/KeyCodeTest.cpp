#include "device/core/KeyCode.h"

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
