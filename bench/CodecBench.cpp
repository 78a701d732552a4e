// The service protocol's hot paths: writing the request of a task save, and parsing a large
// children reply and reading its records. The reply case times a plain memchr pass over the
// same bytes in the same iterations, so the ratio holds on any machine.
#include "common/records/VizTask.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace corvane;

namespace {

VizTask make_task(std::int32_t id, std::size_t description_length)
{
    VizTask task;
    task.ownerId = 7;
    task.id = id;
    task.parentId = id > 10 ? 1 + id % 10 : 0;
    task.projectId = 1 + id % 10;
    task.responsibleId = 7 + id % 3;
    task.status = id % 6;
    task.complete = id % 5 == 0;
    task.date = 1735689600000 + static_cast<std::int64_t>(id) * 61000;
    task.deadline = id % 3 == 0 ? 0 : 1738368000000 + static_cast<std::int64_t>(id) * 3600000;
    task.done = id % 17;
    task.plan = 20;
    task.childCount = id % 4;
    task.unreadCount = id % 7;
    task.marked = id % 2 == 0;
    task.unread = id % 9 == 0;
    // Mostly ASCII with some Cyrillic, as the service's users write.
    WString title = id % 10 == 0 ? u"Задача " : u"Task ";
    title += to_wstring(id) + u": prepare the quarterly report\r\n";
    while (title.size() < description_length)
        title += id % 10 == 0 ? u"Описание задачи, шаг за шагом. "
                              : u"Collect the figures, check them, and write it up. ";
    task.title = title.substr(0, description_length);
    if (task.parentId == 0) {
        task.permissions = { Permission { 3, u"owner@example.org", 7 },
            Permission { 2, u"friend@example.org", 8 } };
        task.tag = u"work";
    }
    return task;
}

// A getFilteredChildren reply of `count` tasks, with spaces as the service writes them
// (plain) or as the client's cache writes them (escaped).
std::string make_children_reply(
    std::int32_t count, std::size_t description_length, SpaceForm spaces)
{
    ReplyWriter writer(spaces);
    writer.save_string(vector_signature);
    writer.save_int(count);
    for (std::int32_t id = 1; id <= count; ++id)
        make_task(id, description_length).save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    return bytes;
}

// The thread's own CPU time: other processes sharing the cores do not count against either
// side of the comparison.
double thread_seconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

static void BM_UpdateTaskRequest(benchmark::State& state)
{
    ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1:8080/" });
    VizTask task = make_task(1234, 300);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::optional<RemoteCall> call
            = calls.updateTask(u"0123456789abcdef0123456789abcdef", task, u"Moved the deadline");
        benchmark::DoNotOptimize(call);
        bytes += call->body.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UpdateTaskRequest);

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

// About 1 MB holding 2,000 tasks: parse, read the vector of tasks, and in the same iteration
// scan the bytes with memchr twice: once token by token for the value separator, once for a
// byte that never occurs (the memory bandwidth bound). The figures compare the medians of the
// per-iteration thread CPU times, so other load on the machine hardly moves the ratios.
static void BM_ChildrenReplyParseAndLoad(benchmark::State& state)
{
    SpaceForm spaces = state.range(0) == 0 ? SpaceForm::Plain : SpaceForm::Escaped;
    state.SetLabel(spaces == SpaceForm::Plain ? "service form" : "cache form, spaces escaped");
    const std::string reply
        = make_children_reply(2000, spaces == SpaceForm::Plain ? 350 : 250, spaces);
    ReplyReader reader;
    std::vector<VizTask> tasks;
    std::vector<double> parse_times;
    std::vector<double> token_scan_times;
    std::vector<double> plain_scan_times;
    for (auto _ : state) {
        double start = thread_seconds();
        std::size_t separators = 0;
        const char* at = reply.data();
        const char* end = reply.data() + reply.size();
        while ((at
            = static_cast<const char*>(std::memchr(at, ',', static_cast<std::size_t>(end - at))))) {
            ++separators;
            ++at;
        }
        benchmark::DoNotOptimize(separators);
        token_scan_times.push_back(thread_seconds() - start);

        start = thread_seconds();
        benchmark::DoNotOptimize(std::memchr(reply.data(), '\x01', reply.size()));
        plain_scan_times.push_back(thread_seconds() - start);

        start = thread_seconds();
        bool ok = reader.parse(reply) && load_vector(reader, tasks);
        double elapsed = thread_seconds() - start;
        parse_times.push_back(elapsed);
        if (!ok || tasks.size() != 2000) {
            state.SkipWithError("the reply did not read");
            break;
        }
        state.SetIterationTime(elapsed);
    }
    double megabytes = static_cast<double>(reply.size()) / 1e6;
    double parse = median(parse_times);
    double token_scan = median(token_scan_times);
    double plain_scan = median(plain_scan_times);
    state.SetBytesProcessed(static_cast<std::int64_t>(reply.size()) * state.iterations());
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
    state.counters["parse_load_MBps"] = megabytes / parse;
    state.counters["memchr_tokens_MBps"] = megabytes / token_scan;
    state.counters["memchr_plain_MBps"] = megabytes / plain_scan;
    state.counters["ratio_to_token_scan"] = token_scan / parse;
    state.counters["ratio_to_plain_scan"] = plain_scan / parse;
}
BENCHMARK(BM_ChildrenReplyParseAndLoad)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
