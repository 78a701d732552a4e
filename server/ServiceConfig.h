#pragma once

#include "server/PasswordHasher.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace corvane::server {

inline constexpr std::int64_t minute_ms = 60'000;
inline constexpr std::int64_t hour_ms = 60 * minute_ms;
inline constexpr std::int64_t day_ms = 24 * hour_ms;

// Everything an operator can set, with the defaults the client expects.
struct ServiceConfig {
    std::string listen_host { "127.0.0.1" };
    int listen_port { 8080 };
    std::string base_path { "/" };
    std::string database { "vizserver.db" };
    std::u16string server_version { u"6" };
    std::set<std::u16string> strong_names { u"3C9A1E77B0D24F6A8E15C2B9D07F4A63" };
    std::int64_t session_idle_ms { day_ms };
    std::int64_t login_key_lifetime_ms { 90 * day_ms };
    std::int64_t invitation_lifetime_ms { 30 * day_ms };
    std::string outbox; // Empty: ticket blocks go to the log.
    bool throttling { true };
    int throttle_limit { 10 };
    std::int64_t throttle_window_ms { 15 * minute_ms };
    std::optional<std::int64_t> test_clock_start;
    PasswordCost password_cost { PasswordCost::standard() };
    unsigned threads { 4 };
    unsigned connection_limit { 1000 };
    unsigned per_address_limit { 64 }; // 0: no limit (every client behind one proxy).
    std::int64_t request_deadline_ms { 10'000 };
    std::set<std::string> trusted_proxies; // Numeric addresses whose X-Forwarded-For counts.
    std::int64_t purge_interval_ms { 10 * minute_ms };
    std::int64_t event_lifetime_ms { 90 * day_ms }; // Older news makes a client start afresh.
    // waitNews answers with nothing after this; changes made by other instances on the same
    // database are noticed within the poll period.
    std::int64_t news_wait_ms { 25'000 };
    std::int64_t news_poll_ms { 150 };
    std::string log_file;
    // Both set: serve HTTPS with this PEM certificate chain and private key.
    std::string tls_cert;
    std::string tls_key;
    bool quiet { false };
    bool demo { false };
};

} // namespace corvane::server
