#pragma once

#include "server/Storage.h"

#include "common/records/VizTask.h"

#include <cstdint>
#include <string>

namespace corvane::server {

// Thrown when a change call repeats a key the caller used before for the same request: the
// dispatcher answers with the stored reply, and nothing was changed.
struct IdempotentReplay {
    std::string reply;
};

// A change call made with an Idempotency-Key, for the time the call runs on this thread.
// The service's write transaction asks check() before it changes anything and remember()
// just before it commits, so the key and its reply are stored in the same transaction as the
// change: either both are there or neither. Writers are serialised by the store, so of two
// calls with one key the second sees the first's record and applies nothing.
// Thread safety: a scope belongs to the thread that made it; one at a time per thread.
class IdempotencyScope {
public:
    static constexpr std::int64_t lifetime_ms = 24 * 60 * 60 * 1000;
    static constexpr std::size_t max_key_length = 255;

    // `digest` identifies the request without its session argument.
    IdempotencyScope(std::string key, std::string digest);
    ~IdempotencyScope();
    IdempotencyScope(const IdempotencyScope&) = delete;
    IdempotencyScope& operator=(const IdempotencyScope&) = delete;

    // In the call's write transaction, once the caller is known: throws IdempotentReplay for a
    // repeated request, ServiceException "ERROR_IDEMPOTENCY_MISMATCH" for a key used with
    // another one. Does nothing without a scope on this thread.
    static void check(StorageTransaction& transaction, int user_id, std::int64_t now);
    // Stores the key with the reply the call is about to give; nothing without a checked scope.
    static void remember(StorageTransaction& transaction, const VizTask& result);
    static void remember(StorageTransaction& transaction, std::int32_t result);

    // The request's identity: the method with the request text, the session's text blanked
    // (a silent log-in changes the session and nothing else).
    static std::string request_digest(std::string_view body, const std::u16string& session);

private:
    static void store(StorageTransaction& transaction, std::string reply);

    std::string m_key;
    std::string m_digest;
    int m_user_id { 0 };
    std::int64_t m_now { 0 };
    bool m_checked { false };
};

} // namespace corvane::server
