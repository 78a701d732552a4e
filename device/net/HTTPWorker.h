#pragma once

#include <cstdint>

namespace corvane {

class HTTPExchange;

// Worker thread: brings up the data connection where there is a connection manager, sends the
// request and hands the header block and every chunk of the reply to the main thread, one at a
// time, waiting for the main thread after each. Touches nothing but `exchange`.
void run_exchange(HTTPExchange& exchange);

// Chunks handed to the main thread are at most this long.
inline constexpr std::uint32_t max_chunk_size = 8192;

// A count of worker bodies that have not yet returned, so that the process can let killed
// workers leave the network library before it exits. Any thread.
void note_worker_started();
void note_worker_ended();
// True when no worker is left, at once or within `milliseconds`.
bool wait_for_workers(std::uint32_t milliseconds);

} // namespace corvane
