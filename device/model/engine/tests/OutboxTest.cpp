#include "device/model/engine/Outbox.h"
#include "device/core/File.h"
#include "device/core/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::test;

namespace {

std::deque<OutboxEntry> sample_entries()
{
    std::deque<OutboxEntry> entries;
    OutboxEntry save;
    save.kind = OutboxEntry::Kind::Save;
    save.key = Outbox::new_key();
    save.owner = 7;
    save.task.id = 12;
    save.task.parentId = 3;
    save.task.title = u"Paint \"the\" wall\r\nwith, commas \U0001F3A8";
    save.task.done = -2; // a difference, not a count
    save.task.plan = 5;
    save.text = u"a comment";
    save.name = u"Paint";
    entries.push_back(save);
    OutboxEntry create = save;
    create.key = Outbox::new_key();
    create.task.id = -1;
    entries.push_back(create);
    OutboxEntry remove;
    remove.kind = OutboxEntry::Kind::Delete;
    remove.key = Outbox::new_key();
    remove.owner = 7;
    remove.id = 12;
    entries.push_back(remove);
    OutboxEntry share;
    share.kind = OutboxEntry::Kind::Permission;
    share.key = Outbox::new_key();
    share.owner = 9; // another account's change
    share.id = 3;
    share.text = u"bob@example.org";
    share.level = 2;
    entries.push_back(share);
    OutboxEntry ticket;
    ticket.kind = OutboxEntry::Kind::Ticket;
    ticket.key = Outbox::new_key();
    ticket.owner = 7;
    ticket.text = u"0123456789abcdef0123456789abcdef01234567";
    entries.push_back(ticket);
    return entries;
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
// keeps every record before the cut.
TEST(Outbox, a_truncated_file_keeps_the_whole_records)
{
    std::deque<OutboxEntry> entries = sample_entries();
    std::string bytes = Outbox::encode(entries);
    std::size_t previous = 0;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        std::size_t dropped = 0;
        std::deque<OutboxEntry> kept = Outbox::decode(buffer_of(bytes.substr(0, size)), dropped);
        ASSERT_TRUE(is_ordered_subset(kept, entries)) << "cut at " << size;
        ASSERT_TRUE(std::equal(kept.begin(), kept.end(), entries.begin())) << "cut at " << size;
        ASSERT_GE(kept.size(), previous) << "cut at " << size;
        ASSERT_LE(dropped, 1u);
        previous = kept.size();
    }
    EXPECT_EQ(previous, entries.size());
}

// A flipped byte anywhere costs at most the record it hit; the others come back unchanged.
TEST(Outbox, a_damaged_byte_loses_at_most_its_record)
{
    std::deque<OutboxEntry> entries = sample_entries();
    std::string bytes = Outbox::encode(entries);
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        std::size_t dropped = 0;
        std::deque<OutboxEntry> kept = Outbox::decode(buffer_of(damaged), dropped);
        ASSERT_TRUE(is_ordered_subset(kept, entries)) << "byte " << at;
        ASSERT_GE(kept.size() + 1, entries.size()) << "byte " << at;
        ASSERT_EQ(kept.size() + dropped >= entries.size(), true) << "byte " << at;
    }
    // Garbage is no outbox at all, and says so.
    std::size_t dropped = 0;
    EXPECT_TRUE(Outbox::decode(buffer_of("not an outbox"), dropped).empty());
    EXPECT_EQ(dropped, 1u);
}
