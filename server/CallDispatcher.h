#pragma once

#include "server/HttpServer.h"
#include "server/Metrics.h"
#include "server/ReplyCache.h"

#include "common/wire/RequestReader.h"

#include <string>
#include <string_view>

namespace corvane::server {

class NewsWatcher;
class Service;

// Turns a request body into a call of the service and its result into a reply body: reads the
// header and every parameter before anything runs (so a malformed call changes nothing),
// selects the method by its name and parameter types, and writes the result or the
// VIZException in the reply form. One log line per call.
// Thread safety: any number of threads at once.
class CallDispatcher final : public CallHandler {
public:
    // Without a watcher, waitNews answers at once.
    explicit CallDispatcher(Service& service, NewsWatcher* watcher = nullptr);

    HttpReply handle_call(std::string_view body, const std::string& client_address,
        const CallHeaders& headers = {}) override;
    // "/healthz": 200 when the database answers a query, else 503. "/metrics": the counters.
    std::optional<HttpReply> handle_get(std::string_view path) override;

    Metrics& metrics() { return m_metrics; }

private:
    HttpReply dispatch(std::string_view body, const std::string& client_address,
        const CallHeaders& headers, std::string& method_name);
    // waitNews: answered at once when there is news (or the cursor is bad), else parked.
    HttpReply wait_news(RequestReader& reader);

    Service& m_service; // Outlives the dispatcher.
    NewsWatcher* m_watcher; // Not owned; outlives the dispatcher when set.
    ReplyCache m_cache;
    Metrics m_metrics;
};

} // namespace corvane::server
