#include "device/model/engine/Outbox.h"
#include "device/core/File.h"
#include "device/core/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::test;

namespace {

OutboxEntry entry(OutboxEntry::Kind kind, std::int32_t owner, WString text = u"",
    std::int32_t id = -1, std::int32_t level = 0, const Task& task = {})
{
    OutboxEntry made;
    made.kind = kind;
    made.key = Outbox::new_key();
    made.owner = owner;
    made.text = std::move(text);
    made.id = id;
    made.level = level;
    made.task = task;
    made.name = task.title.substr(0, 5);
    return made;
}

std::deque<OutboxEntry> sample_entries()
{
    using Kind = OutboxEntry::Kind;
    Task task;
    task.id = 12;
    task.parentId = 3;
    task.title = u"Paint \"the\" wall\r\nwith, commas \U0001F3A8";
    task.done = -2; // a difference, not a count
    task.plan = 5;
    Task creation = task;
    creation.id = -1;
    return { entry(Kind::Save, 7, u"a comment", -1, 0, task),
        entry(Kind::Save, 7, u"a comment", -1, 0, creation), entry(Kind::Delete, 7, u"", 12),
        entry(Kind::Permission, 9, u"bob@example.org", 3, 2), // another account's change
        entry(Kind::Ticket, 7, u"0123456789abcdef0123456789abcdef01234567") };
}

SharedBuffer buffer_of(const std::string& bytes)
{
    SharedBuffer buffer(static_cast<std::uint32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), buffer.writable_bytes());
    return buffer;
}

// Whether `kept` is `all` with some entries left out, in the same order.
bool is_ordered_subset(const std::deque<OutboxEntry>& kept, const std::deque<OutboxEntry>& all)
{
    std::size_t at = 0;
    for (const OutboxEntry& entry : kept) {
        while (at < all.size() && !(all[at] == entry))
            ++at;
        if (at == all.size())
            return false;
        ++at;
    }
    return true;
}

} // namespace

// Every kind of change survives the file, with its account, key and differences, in order; the
// file is the user's alone and sits beside the cache.
TEST(Outbox, entries_survive_the_file_in_order)
{
    TestEnvironment env;
    WString path = Outbox::path_beside(from_utf8(env.folder() + "/cache.dat"));
    EXPECT_EQ(path, from_utf8(env.folder() + "/outbox.dat"));
    Outbox outbox(path);
    std::deque<OutboxEntry> entries = sample_entries();
    for (const OutboxEntry& entry : entries)
        ASSERT_TRUE(outbox.add(entry));
    struct stat info { };
    ASSERT_EQ(stat((env.folder() + "/outbox.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    Outbox reloaded(path);
    EXPECT_EQ(reloaded.load(), 0u);
    EXPECT_EQ(reloaded.entries(), entries);
    EXPECT_NE(entries[0].key, entries[1].key);
    EXPECT_EQ(entries[0].key.size(), 32u);

    // The account decides what is sent and what a logout may discard.
    EXPECT_EQ(reloaded.count_for(7), 4u);
    EXPECT_EQ(reloaded.first_for(9)->kind, OutboxEntry::Kind::Permission);
    EXPECT_TRUE(reloaded.has_task(7, 12));
    EXPECT_FALSE(reloaded.has_task(9, 12));
    EXPECT_TRUE(reloaded.remove(entries[0].key));
    EXPECT_FALSE(reloaded.remove(entries[0].key));
    EXPECT_EQ(reloaded.discard(7), 3u);
    Outbox after(path);
    after.load();
    ASSERT_EQ(after.entries().size(), 1u);
    EXPECT_EQ(after.entries()[0].owner, 9);
}

// A file cut anywhere (a crash mid-write on a file system that does not rename atomically)
// keeps every record before the cut; a flipped byte anywhere costs at most the record it hit,
// and the others come back unchanged and in order.
TEST(Outbox, a_damaged_file_keeps_the_whole_records)
{
    std::deque<OutboxEntry> entries = sample_entries();
    std::string bytes = Outbox::encode(entries);
    std::size_t previous = 0;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        std::size_t dropped = 0;
        std::deque<OutboxEntry> kept = Outbox::decode(buffer_of(bytes.substr(0, size)), dropped);
        ASSERT_TRUE(std::equal(kept.begin(), kept.end(), entries.begin())) << "cut at " << size;
        ASSERT_GE(kept.size(), previous) << "cut at " << size;
        ASSERT_LE(dropped, 1u);
        previous = kept.size();
    }
    EXPECT_EQ(previous, entries.size());

    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        std::size_t dropped = 0;
        std::deque<OutboxEntry> kept = Outbox::decode(buffer_of(damaged), dropped);
        ASSERT_TRUE(is_ordered_subset(kept, entries)) << "byte " << at;
        ASSERT_GE(kept.size() + 1, entries.size()) << "byte " << at;
        ASSERT_GE(kept.size() + dropped, entries.size()) << "byte " << at;
    }
    // Garbage is no outbox at all, and says so.
    std::size_t dropped = 0;
    EXPECT_TRUE(Outbox::decode(buffer_of("not an outbox"), dropped).empty());
    EXPECT_EQ(dropped, 1u);
}
