#include "common/base/DebugTrace.h"

#include <atomic>

namespace corvane {

namespace {

    std::atomic<DebugTraceSink> s_sink { nullptr };

} // namespace

void set_debug_trace_sink(DebugTraceSink sink)
{
    s_sink.store(sink, std::memory_order_release);
}

bool has_debug_trace_sink()
{
    return s_sink.load(std::memory_order_acquire) != nullptr;
}

void debug_trace(std::u16string_view text)
{
    if (DebugTraceSink sink = s_sink.load(std::memory_order_acquire))
        sink(text);
}

} // namespace corvane
