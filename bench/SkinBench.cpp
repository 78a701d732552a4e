// Loading the default skin as the program does at start-up: the file read and checked, its
// pictures and fonts, at both display densities.
#include "device/core/Paths.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/Properties.h"

#include <benchmark/benchmark.h>

using namespace corvane;

namespace {

void BM_LoadDefaultSkin(benchmark::State& state)
{
    DisplayInfo display = DisplayInfo::make(static_cast<std::int32_t>(state.range(0)),
        static_cast<std::int32_t>(state.range(1)), 0, state.range(0) >= 480 ? 192 : 96);
    WString path = expand_path(u"%app_path%/skins/bin/default.skin");
    for (auto _ : state) {
        Properties properties;
        if (!properties.load_skin(path, display)) {
            state.SkipWithError("build/bin/skins/bin/default.skin did not load");
            return;
        }
        benchmark::DoNotOptimize(properties.picture_count());
    }
}
BENCHMARK(BM_LoadDefaultSkin)
    ->Args({ 480, 640 })
    ->Args({ 240, 320 })
    ->ArgNames({ "w", "h" })
    ->Unit(benchmark::kMicrosecond);

} // namespace
