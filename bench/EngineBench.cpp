// The engine's model at scale: merging a news reply of 10,000 tasks into a model that already
// holds them, and saving and loading a cache of 10,000 tasks. Each case also times one parse of
// a children reply of the same tasks (reader and records, no model), the yardstick the goals
// are stated against, and reports the model's resident memory per task.
#include "common/records/FilteredNews.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "device/core/File.h"
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceReplies.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <unistd.h>

namespace corvane {

struct EngineProbe {
    static void feed(Engine& engine, WStringView key, const SharedBuffer& body)
    {
        engine.m_pending_key = WString(key);
        engine.on_reply(body);
    }
};

} // namespace corvane

using namespace corvane;

namespace {

constexpr std::int32_t task_count = 10'000;

VizTask bench_task(std::int32_t id, int version)
{
    VizTask t;
    t.id = id;
    t.ownerId = 7;
    t.responsibleId = 7 + id % 3;
    t.parentId = id <= 50 ? 0 : 1 + id % 50;
    t.projectId = id <= 50 ? id : 1 + id % 50;
    t.status = id % 6;
    t.date = 1735689600000 + id * 61000LL;
    t.deadline = id % 3 ? 1738368000000 + id * 3600000LL : 0;
    t.done = id % 17 + version;
    t.plan = 20;
    t.title = u"Task " + to_wstring(id) + u": prepare the quarterly report\r\nCollect the figures.";
    if (t.parentId == 0)
        t.tag = u"work";
    return t;
}

SharedBuffer news_reply(int version)
{
    FilteredNews news;
    for (std::int32_t id = 1; id <= task_count; ++id)
        news.tasks.push_back(bench_task(id, version));
    news.cursor = 1000 + version;
    news.stamp = version;
    ReplyWriter writer(SpaceForm::Plain);
    news.save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    return SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

SharedBuffer children_reply()
{
    std::vector<VizTask> tasks;
    for (std::int32_t id = 1; id <= task_count; ++id)
        tasks.push_back(bench_task(id, 0));
    ReplyWriter writer(SpaceForm::Plain);
    save_vector(writer, tasks);
    std::string bytes;
    writer.finish_utf8(bytes);
    return SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// Thread CPU time: the machine may be busy with other work while this runs.
double cpu_seconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Bytes the allocator has handed out and not taken back.
double heap_bytes()
{
    return static_cast<double>(mallinfo2().uordblks);
}

double parse_children_seconds(const SharedBuffer& reply)
{
    ReplyReader reader;
    std::vector<VizTask> tasks;
    double start = cpu_seconds();
    bool ok = reader.parse(reply) && read_tasks(reader, tasks) && tasks.size() == task_count;
    double seconds = cpu_seconds() - start;
    if (!ok)
        std::fprintf(stderr, "the children reply did not read\n");
    return seconds;
}

void BM_EngineMergeNews10k(benchmark::State& state)
{
    SharedBuffer first = news_reply(0);
    SharedBuffer second = news_reply(1);
    SharedBuffer children = children_reply();
    double merge_total = 0, parse_total = 0;
    double model_bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        EngineListener listener;
        double before = heap_bytes();
        auto engine = std::make_unique<Engine>(u"http://127.0.0.1:1/", listener);
        EngineProbe::feed(*engine, u"getFilteredNews", first);
        model_bytes = heap_bytes() - before;
        state.ResumeTiming();
        double start = cpu_seconds();
        EngineProbe::feed(*engine, u"getFilteredNews", second);
        merge_total += cpu_seconds() - start;
        state.PauseTiming();
        parse_total += parse_children_seconds(children);
        engine.reset();
        state.ResumeTiming();
    }
    state.counters["merge_ms"] = merge_total * 1000 / static_cast<double>(state.iterations());
    state.counters["parse_ms"] = parse_total * 1000 / static_cast<double>(state.iterations());
    state.counters["merge/parse"] = merge_total / parse_total;
    // The reader keeps its last reply's text; that belongs to the reader, not the model.
    state.counters["model_bytes_per_task"]
        = (model_bytes - static_cast<double>(first.size()) * 2) / task_count;
}
BENCHMARK(BM_EngineMergeNews10k)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_EngineCacheSaveLoad10k(benchmark::State& state)
{
    SharedBuffer first = news_reply(0);
    SharedBuffer children = children_reply();
    EngineListener listener;
    Engine engine(u"http://127.0.0.1:1/", listener);
    EngineProbe::feed(engine, u"getFilteredNews", first);
    char folder[] = "/tmp/corvane-bench-XXXXXX";
    WString path = from_utf8(std::string(mkdtemp(folder)) + "/cache.dat");
    double save_total = 0, load_total = 0, parse_total = 0, save_wall = 0;
    for (auto _ : state) {
        double start = cpu_seconds();
        std::string bytes = engine.cache_bytes();
        double middle = cpu_seconds();
        benchmark::DoNotOptimize(bytes);
        auto wall = std::chrono::steady_clock::now();
        bool saved = engine.save_cache(path);
        double loading = cpu_seconds();
        save_wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
        Engine loaded(u"http://127.0.0.1:1/", listener);
        auto result = loaded.load_cache(path);
        double end = cpu_seconds();
        benchmark::DoNotOptimize(saved);
        benchmark::DoNotOptimize(result);
        save_total += middle - start;
        load_total += end - loading;
        state.PauseTiming();
        parse_total += parse_children_seconds(children);
        state.ResumeTiming();
    }
    double n = static_cast<double>(state.iterations());
    state.counters["save_ms"] = save_total * 1000 / n;
    // save_ms is the serialisation; the wall time of writing the file includes flushing it to
    // disk, which the device's storage decides.
    state.counters["save_wall_ms"] = save_wall * 1000 / n;
    state.counters["load_ms"] = load_total * 1000 / n;
    state.counters["parse_ms"] = parse_total * 1000 / n;
    state.counters["save/parse"] = save_total / parse_total;
    state.counters["load/parse"] = load_total / parse_total;
    std::remove(std::string(folder).append("/cache.dat").c_str());
    rmdir(folder);
}
BENCHMARK(BM_EngineCacheSaveLoad10k)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
