// Feeds arbitrary bytes to the reply reader and every record loader. The first byte picks the
// loader and whether the rest is taken raw or behind a valid "//OK[" prefix (so that the
// fuzzer spends its time on values, strings and records rather than on the prefix). A record
// that reads must survive its own cache round trip unchanged.
#include "device/model/AuthInfo.h"
#include "device/model/EngineCache.h"
#include "device/model/FilteredNews.h"
#include "device/model/VIZException.h"
#include "device/model/VizList.h"
#include "device/model/WireValues.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ReplyWriter.h"
#include "device/rpc/RequestReader.h"
#include "device/rpc/ServiceCatalogue.h"
#include "device/rpc/ServiceReplies.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace corvane;

namespace {

// What the client never writes cannot come back from a round trip.
void drop_unwritten(VizTask& task)
{
    task.changes.clear();
    task.stringList.clear();
}
void drop_unwritten(std::vector<VizTask>& tasks)
{
    for (VizTask& task : tasks)
        drop_unwritten(task);
}
void drop_unwritten(Task& task)
{
    drop_unwritten(static_cast<VizTask&>(task));
}
void drop_unwritten(EngineCache& cache)
{
    for (Task& task : cache.tasks)
        drop_unwritten(task);
    drop_unwritten(cache.listCursor);
}
void drop_unwritten(VizList& list)
{
    drop_unwritten(list.mainList);
    drop_unwritten(list.secondList);
}
// News carries the tasks' changes, but never their string lists.
void drop_unwritten(FilteredNews& news)
{
    for (VizTask& task : news.tasks)
        task.stringList.clear();
}
template<typename Record> void drop_unwritten(Record&) { }

template<typename Record> void check_record(ReplyReader& reader, Record read)
{
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
    std::string text;
    if (mode & 0x80)
        text.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    else
        text = (mode & 0x40 ? "//EX[" : "//OK[")
            + std::string(reinterpret_cast<const char*>(data + 1), size - 1);

    if (mode % 16 == 12) {
        // The same bytes as a request arriving at the service.
        RequestReader request;
        if (request.parse(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1))) {
            CallHeader header;
            if (read_call_header(request, header)
                && find_call(header.method, header.parameterTypes)) {
                Filter filter;
                VizTask task;
                (void)request.load_string();
                (void)(filter.load(request) || task.load(request));
            }
        }
        return 0;
    }

    ReplyReader reader;
    if (!reader.parse(text)) {
        if (reader.remaining() != 0 || reader.load_int() != -1)
            std::abort();
        return 0;
    }
    switch (mode % 16) {
    case 0:
        check_record(reader, AuthInfo {});
        break;
    case 1:
        check_record(reader, VizTask {});
        break;
    case 2:
        check_vector<VizTask>(reader);
        break;
    case 3:
        check_vector<Change>(reader);
        break;
    case 4:
        check_vector<User>(reader);
        break;
    case 5:
        check_record(reader, VizList {});
        break;
    case 6:
        check_record(reader, FilteredNews {});
        break;
    case 7:
        check_record(reader, Filter {});
        break;
    case 8:
        check_record(reader, VIZException {});
        break;
    case 9:
        check_record(reader, Task {});
        break;
    case 10:
        check_record(reader, EngineCache {});
        break;
    case 11: {
        WString key;
        bool flag;
        (void)read_login_key(reader, key);
        (void)read_flag(reader, flag);
        (void)reader.load_int64();
        break;
    }
    default:
        check_record(reader, Change {});
        break;
    }
    return 0;
}
