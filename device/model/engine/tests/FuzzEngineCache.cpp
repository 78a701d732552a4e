// Feeds arbitrary bytes to the engine as its cache file.
#include "device/core/File.h"
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/fuzz-engine-cache-" + std::to_string(getpid()) + ".dat";
    if (!corvane::write_file_atomically(corvane::from_utf8(path), data, size))
        return 0;
    corvane::EngineListener listener;
    corvane::Engine engine(u"http://127.0.0.1:1/", listener);
    (void)engine.load_cache(corvane::from_utf8(path));
    std::string again = path + ".out";
    (void)engine.save_cache(corvane::from_utf8(again));
    return 0;
}
