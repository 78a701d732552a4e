#include "device/core/SharedBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using corvane::SharedBuffer;

// Copies and slices share one store and keep it alive after the original is gone, until one is
// written.
TEST(SharedBuffer, views_share_the_store_until_written)
{
    auto original = std::make_unique<SharedBuffer>("abcdef", 6);
    SharedBuffer copy(*original);
    SharedBuffer middle = original->slice(2, 3);
    EXPECT_EQ(original->use_count(), 3u);
    original.reset();
    EXPECT_EQ(copy.use_count(), 2u);
    ASSERT_EQ(middle.size(), 3u);
    EXPECT_EQ(std::memcmp(middle.data(), "cde", 3), 0);
    EXPECT_EQ(middle.offset(), 2u);

    // Writing through a shared view copies it first; the other views keep their bytes.
    SharedBuffer a("hello", 5);
    SharedBuffer b = a.slice(1, 3); // "ell"
    b.writable_bytes()[0] = 'E';
    EXPECT_EQ(std::memcmp(a.data(), "hello", 5), 0);
    EXPECT_EQ(std::memcmp(b.data(), "Ell", 3), 0);
    EXPECT_EQ(b.use_count(), 1u);
    EXPECT_EQ(b.offset(), 0u);
}

// A slice past the end must be clamped, never reach outside the view; a write copies only what
// fits.
TEST(SharedBuffer, slices_and_writes_stay_inside_the_view)
{
    SharedBuffer buffer("0123456789", 10);
    SharedBuffer inner = buffer.slice(4, 4); // "4567"
    SharedBuffer past = inner.slice(2, 100);
    EXPECT_EQ(past.size(), 2u);
    EXPECT_EQ(std::memcmp(past.data(), "67", 2), 0);
    EXPECT_EQ(inner.slice(9, 1).size(), 0u);

    SharedBuffer target(4);
    SharedBuffer source("abcdef", 6);
    EXPECT_EQ(target.write_at(1, source), 3u);
    EXPECT_EQ(std::memcmp(target.data() + 1, "abc", 3), 0);
    EXPECT_EQ(target.write_at(4, source) + target.write_at(100, source), 0u);
}

// Assigning a view to a slice of its own store must not free the store in between, and writing
// a view into itself must read the bytes before the copy-on-write.
TEST(SharedBuffer, views_of_the_same_store_survive_assignment_and_writes)
{
    SharedBuffer a("xyz", 3);
    a = a.slice(1, 2);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(std::memcmp(a.data(), "yz", 2), 0);
    SharedBuffer& alias = a;
    a = alias;
    EXPECT_EQ(a.use_count(), 1u);

    SharedBuffer b("abcdef", 6);
    SharedBuffer tail = b.slice(3, 3);
    EXPECT_EQ(b.write_at(0, tail), 3u);
    EXPECT_EQ(std::memcmp(b.data(), "defdef", 6), 0);
    EXPECT_EQ(std::memcmp(tail.data(), "def", 3), 0);
}
