#include "server/Metrics.h"

#include <cstdio>

namespace corvane::server {

namespace {

    // Method names come from the request; anything outside a Java identifier is replaced so that
    // a hostile name cannot break the exposition format.
    std::string label_value(const std::string& text)
    {
        std::string out;
        for (char c : text.substr(0, 64)) {
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                || c == '_' || c == '?';
            out.push_back(plain ? c : '_');
        }
        return out;
    }

    std::string number(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", value);
        return text;
    }

    void header(std::string& out, const char* name, const char* type, const char* help)
    {
        out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }

} // namespace

void Metrics::record_call(const std::string& method, const std::string& result, double seconds)
{
    std::lock_guard lock(m_lock);
    // Method names come from clients: past a bound, new ones share one series, so that made-up
    // names cannot grow the table (and every scrape) without limit.
    std::pair<std::string, std::string> key { label_value(method), result };
    if (m_calls.size() >= max_series && !m_calls.contains(key))
        key.first = "other";
    ++m_calls[key];
    ++m_latency_count;
    m_latency_sum += seconds;
    for (std::size_t i = 0; i < bucket_bounds.size(); ++i) {
        if (seconds <= bucket_bounds[i]) {
            ++m_buckets[i];
            break;
        }
    }
}

std::optional<std::int64_t> Metrics::live_sessions() const
{
    return m_session_probe ? m_session_probe() : std::nullopt;
}

std::string Metrics::render() const
{
    std::optional<std::int64_t> sessions = live_sessions();
    std::string out;
    std::lock_guard lock(m_lock);
    header(out, "vizserver_calls_total", "counter", "Service calls by method and result.");
    for (const auto& [key, count] : m_calls) {
        out += "vizserver_calls_total{method=\"" + key.first + "\",result=\"" + key.second + "\"} "
            + std::to_string(count) + "\n";
    }
    header(out, "vizserver_call_duration_seconds", "histogram", "Time to answer a service call.");
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < bucket_bounds.size(); ++i) {
        cumulative += m_buckets[i];
        out += "vizserver_call_duration_seconds_bucket{le=\"" + number(bucket_bounds[i]) + "\"} "
            + std::to_string(cumulative) + "\n";
    }
    out += "vizserver_call_duration_seconds_bucket{le=\"+Inf\"} " + std::to_string(m_latency_count)
        + "\n";
    out += "vizserver_call_duration_seconds_sum " + number(m_latency_sum) + "\n";
    out += "vizserver_call_duration_seconds_count " + std::to_string(m_latency_count) + "\n";
    header(out, "vizserver_live_sessions", "gauge", "Sessions in the database.");
    out += "vizserver_live_sessions " + (sessions ? std::to_string(*sessions) : "NaN") + "\n";
    header(out, "vizserver_news_waiters", "gauge", "waitNews calls parked until news or timeout.");
    out += "vizserver_news_waiters " + std::to_string(m_waiter_probe ? m_waiter_probe() : 0) + "\n";
    header(out, "vizserver_database_errors_total", "counter", "Calls failed by the database.");
    out += "vizserver_database_errors_total " + std::to_string(m_database_errors.load()) + "\n";
    header(out, "vizserver_idempotent_replays_total", "counter",
        "Repeated changes answered from their first result.");
    out += "vizserver_idempotent_replays_total " + std::to_string(m_idempotent_replays.load())
        + "\n";
    header(
        out, "vizserver_reply_cache_hits_total", "counter", "Reads answered from the reply cache.");
    out += "vizserver_reply_cache_hits_total " + std::to_string(m_reply_cache_hits.load()) + "\n";
    return out;
}

} // namespace corvane::server
