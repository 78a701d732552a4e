// Feeds arbitrary bytes to the engine as its cache file, and writes back what it loaded.
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    corvane::EngineListener listener;
    corvane::Engine engine(u"http://127.0.0.1:1/", listener);
    corvane::SharedBuffer content(data, static_cast<std::uint32_t>(size));
    if (engine.load_cache_bytes(content) == corvane::Engine::CacheLoad::Loaded) {
        // What loaded must survive its own round trip.
        std::string again = engine.cache_bytes();
        corvane::Engine second(u"http://127.0.0.1:1/", listener);
        corvane::SharedBuffer bytes(again.data(), static_cast<std::uint32_t>(again.size()));
        if (second.load_cache_bytes(bytes) != corvane::Engine::CacheLoad::Loaded)
            __builtin_trap();
    }
    return 0;
}
