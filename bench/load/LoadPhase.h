#pragma once

// One measured phase of vizserver-load: a request sent over and over on several kept-alive
// connections for a fixed time, with its rate and latency.
#include "server/testing/LoopbackClient.h"

#include "device/rpc/ServiceCalls.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace corvane::load {

struct LoadOptions {
    int seconds { 10 };
    int connections { 8 };
    int port { 0 };
    std::string server;
    std::string data;
    std::string only; // Runs only the rows whose name holds this text (and the ceiling).
};

struct Phase {
    double requests_per_second { 0 };
    double p50_ms { 0 };
    double p99_ms { 0 };
    long failures { 0 };
    long requests { 0 };
};

inline std::string post_request(const std::optional<RemoteCall>& call)
{
    std::string body = call
        ? std::string(reinterpret_cast<const char*>(call->body.data()), call->body.size())
        : std::string();
    return server::testing::LoopbackClient::call_request(body);
}

// One row of the running table: rate, share of the ceiling, latency.
inline void print(const char* name, const Phase& phase, double ceiling)
{
    std::printf("%-64s %8.0f req/s  %6.4f  p50 %7.2f ms  p99 %7.2f ms  (%ld failed)\n", name,
        phase.requests_per_second, ceiling > 0 ? phase.requests_per_second / ceiling : 0.0,
        phase.p50_ms, phase.p99_ms, phase.failures);
    std::fflush(stdout);
}

// Sends the request `make_body(connection, n)` makes on every connection for the given time.
// The connections start together, so the rate is not that of the first one alone.
template<typename MakeBody> Phase run_phase(const LoadOptions& options, MakeBody make_body)
{
    using Clock = std::chrono::steady_clock;
    std::vector<std::vector<float>> latencies(std::size_t(options.connections));
    std::vector<long> failures(std::size_t(options.connections), 0);
    std::atomic<bool> go { false };
    std::vector<std::thread> threads;
    Clock::time_point end;
    for (int c = 0; c < options.connections; ++c) {
        threads.emplace_back([&, c] {
            server::testing::LoopbackClient http(options.port);
            auto& mine = latencies[std::size_t(c)];
            mine.reserve(200'000);
            while (!go)
                std::this_thread::yield();
            for (long n = 0; Clock::now() < end; ++n) {
                std::string request = make_body(c, n);
                Clock::time_point started = Clock::now();
                auto response = http.exchange(request);
                Clock::time_point finished = Clock::now();
                if (!response || response->status != 200
                    || (response->body.rfind("//OK[", 0) != 0 && response->body != "ok"))
                    ++failures[std::size_t(c)];
                mine.push_back(
                    std::chrono::duration<float, std::milli>(finished - started).count());
            }
        });
    }
    Clock::time_point start = Clock::now();
    end = start + std::chrono::seconds(options.seconds);
    go = true;
    for (auto& thread : threads)
        thread.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<float> all;
    Phase phase;
    for (std::size_t c = 0; c < latencies.size(); ++c) {
        all.insert(all.end(), latencies[c].begin(), latencies[c].end());
        phase.failures += failures[c];
    }
    std::sort(all.begin(), all.end());
    phase.requests = long(all.size());
    phase.requests_per_second = double(all.size()) / elapsed;
    if (!all.empty()) {
        phase.p50_ms = all[all.size() / 2];
        phase.p99_ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    }
    return phase;
}

} // namespace corvane::load
