// Feeds arbitrary bytes to the reply reader and every record loader. The first byte picks the
// loader (low four bits) and the form of the rest (next two bits): raw, behind "//OK[" or
// "//EX[" (so the fuzzer spends its time on values, strings and records rather than on the
// prefix), or as commands to a reply writer that knows every type signature (so records are
// read deep, not rejected at their first signature). The byte reading of every reply must
// agree with the reading of its decoded text, and a record that reads must survive its own
// cache round trip unchanged.
#include "common/records/AuthInfo.h"
#include "common/records/FilteredNews.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "common/wire/WireUtf8.h"
#include "device/model/EngineCache.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceReplies.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <unistd.h>

using namespace corvane;

namespace {

// What the client never writes cannot come back from a round trip: a task's changes and string
// list (news carries the changes, but never the string lists).
template<typename Record> void drop_unwritten(Record& record)
{
    auto drop = [](VizTask& task) {
        task.changes.clear();
        task.stringList.clear();
    };
    if constexpr (std::is_base_of_v<VizTask, Record>) {
        drop(record);
    } else if constexpr (std::is_same_v<Record, VizList>) {
        std::for_each(record.mainList.begin(), record.mainList.end(), drop);
        std::for_each(record.secondList.begin(), record.secondList.end(), drop);
    } else if constexpr (std::is_same_v<Record, EngineCache>) {
        std::for_each(record.tasks.begin(), record.tasks.end(), drop);
        drop(record.listCursor);
    } else if constexpr (std::is_same_v<Record, FilteredNews>) {
        for (VizTask& task : record.tasks)
            task.stringList.clear();
    }
}

template<typename Record> void check_record(ReplyReader& reader)
{
    Record read;
    if (!read.load(reader))
        return;
    drop_unwritten(read);
    ReplyWriter writer;
    read.save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    ReplyReader again;
    Record reread;
    if (!again.parse(bytes) || !reread.load(again) || again.remaining() != 0) {
        std::fprintf(stderr, "a record that read did not read back from its own cache form\n");
        std::abort();
    }
    drop_unwritten(reread);
    if (!(reread == read)) {
        std::fprintf(stderr, "a record changed on its cache round trip\n");
        std::abort();
    }
}

template<typename Record> void check_vector(ReplyReader& reader)
{
    std::vector<Record> records;
    if (load_vector(reader, records) && records.size() > reader.values().size())
        std::abort();
}

const WStringView signatures[]
    = { AuthInfo::signature, User::signature, Permission::signature, Change::signature,
          VizTask::signature, VizList::signature, FilteredNews::signature, Filter::signature,
          VIZException::signature, Task::signature, EngineCache::signature, vector_signature,
          integer_signature, long_signature, boolean_array_signature, string_array_signature };

// Each command byte saves one thing: a small int, a full int, a signature, a text or a long.
std::string write_commands(const std::uint8_t* data, std::size_t size, ReplyOutcome outcome)
{
    ReplyWriter writer(size % 2 ? SpaceForm::Plain : SpaceForm::Escaped);
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    auto next_bytes = [&](int count) {
        std::uint64_t value = 0;
        while (count-- > 0)
            value = (value << 8) | next();
        return value;
    };
    while (at < size) {
        std::uint8_t command = next();
        switch (command % 5) {
        case 0:
            writer.save_int(static_cast<std::int32_t>(command / 5) - 10);
            break;
        case 1:
            writer.save_int(static_cast<std::int32_t>(next_bytes(4)));
            break;
        case 2:
            writer.save_string(signatures[next() % std::size(signatures)]);
            break;
        case 3: {
            std::size_t length = std::min<std::size_t>(next() % 32, size - at);
            writer.save_string(decode_wire_utf8(
                std::string_view(reinterpret_cast<const char*>(data + at), length)));
            at += length;
            break;
        }
        default:
            writer.save_int64(static_cast<std::int64_t>(next_bytes(8)));
            break;
        }
    }
    if (writer.value_count() == 0)
        writer.save_int(0);
    std::string bytes;
    writer.finish_utf8(bytes, outcome);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Logging reads the settings store on every reply; keep it away from the user's own.
    if (!std::getenv("CORVANE_REGISTRY")) {
        static std::string path = "/tmp/corvane-fuzz-registry-" + std::to_string(getpid()) + ".txt";
        setenv("CORVANE_REGISTRY", path.c_str(), 1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::uint8_t mode = data[0];
    const std::uint8_t* rest = data + 1;
    std::size_t rest_size = size - 1;
    std::string text;
    switch ((mode >> 4) & 3) {
    case 0:
        text.assign(reinterpret_cast<const char*>(rest), rest_size);
        break;
    case 1:
        text = "//OK[" + std::string(reinterpret_cast<const char*>(rest), rest_size);
        break;
    case 2:
        text = "//EX[" + std::string(reinterpret_cast<const char*>(rest), rest_size);
        break;
    default:
        text = write_commands(
            rest, rest_size, mode & 0x40 ? ReplyOutcome::Exception : ReplyOutcome::Success);
        break;
    }

    ReplyReader reader;
    bool parsed = reader.parse(text);
    // Reading the structure from the bytes must agree with reading it from the decoded text.
    ReplyReader decoded;
    bool decoded_parsed = decoded.parse_text(decode_wire_utf8(text));
    if (parsed != decoded_parsed || reader.values() != decoded.values()
        || reader.is_exception() != decoded.is_exception()
        || reader.string_count() != decoded.string_count()) {
        std::fprintf(stderr, "the byte and text readings of a reply differ\n");
        std::abort();
    }
    for (std::size_t i = 0; i < reader.string_count(); ++i) {
        if (reader.string_at(i) != decoded.string_at(i)) {
            std::fprintf(stderr, "a string differs between the byte and text readings\n");
            std::abort();
        }
    }
    if (!parsed) {
        if (reader.remaining() != 0 || reader.load_int() != -1)
            std::abort();
        return 0;
    }
    void (*const checks[])(ReplyReader&) = { check_record<AuthInfo>, check_record<VizTask>,
        check_vector<VizTask>, check_vector<Change>, check_vector<User>, check_record<VizList>,
        check_record<FilteredNews>, check_record<Filter>, check_record<VIZException>,
        check_record<Task>, check_record<EngineCache>, [](ReplyReader& reader) {
            WString key;
            bool flag;
            (void)read_login_key(reader, key);
            (void)read_flag(reader, flag);
            (void)reader.load_int64();
        } };
    if (mode % 16 < std::size(checks))
        checks[mode % 16](reader);
    else
        check_record<Change>(reader);
    return 0;
}
