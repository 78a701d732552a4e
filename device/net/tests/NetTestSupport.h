#pragma once

#include "device/core/CActiveScheduler.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/testing/LogFile.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/core/testing/ThreadedLoop.h"
#include "device/net/HTTPRequest.h"
#include "device/platform/Platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace corvane::test {

// What the listener hears from a request that fails before anything was exchanged.
inline const std::vector<std::string> failed_at_once
    = { "status 0.0000 ServerBusy", "status 1.0000 ServerSendFailed", "failed" };

// Writes down every notification in order. When it holds the request, it deletes it on the
// end, the way the service client does.
class RecordingListener final : public HTTPRequestListener {
public:
    std::vector<std::string> events;
    std::vector<std::pair<std::string, std::string>> headers; // on_http_header, in order
    std::vector<std::uint32_t> chunk_sizes;
    std::string body;
    int ends { 0 };
    std::unique_ptr<HTTPRequest> request;

    void on_status(HTTPRequest&, double progress, WStringView key) override
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", progress);
        events.push_back("status " + std::string(text) + " " + to_utf8(key));
    }
    void on_failed(HTTPRequest& failed) override
    {
        events.push_back("failed");
        end(failed);
    }
    void on_complete(HTTPRequest& completed, const SharedBuffer& reply) override
    {
        events.push_back("complete " + std::to_string(reply.size()));
        body.assign(reinterpret_cast<const char*>(reply.data()), reply.size());
        end(completed);
    }
    bool on_data(HTTPRequest&, const SharedBuffer& chunk) override
    {
        events.push_back("data " + std::to_string(chunk.size()));
        chunk_sizes.push_back(chunk.size());
        return false;
    }
    void on_http_header(HTTPRequest&, WStringView name, WStringView value) override
    {
        headers.emplace_back(to_utf8(name), to_utf8(value));
    }
    void on_content_length(HTTPRequest&, std::uint32_t length) override
    {
        events.push_back("length " + std::to_string(length));
    }
    bool on_content_range(
        HTTPRequest&, std::uint32_t first, std::uint32_t last, std::uint32_t total) override
    {
        events.push_back("range " + std::to_string(first) + "-" + std::to_string(last) + "/"
            + std::to_string(total));
        return false;
    }

private:
    void end(HTTPRequest& finished)
    {
        ++ends;
        if (request.get() == &finished)
            request.reset();
    }
};

// A real scheduler on a test-driven loop with the real clock, a private settings store, and a
// recording listener.
class HttpFixture : public ::testing::Test {
protected:
    HttpFixture() { install_default_platform(); }

    void TearDown() override
    {
        listener.request.reset();
        EXPECT_TRUE(HTTPRequest::wait_for_workers(5000));
        HTTPRequest::set_watchdog_period(10.0);
        (void)reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", 0);
        get_log(); // switches to the null stream now, so the next test starts its own file
    }

    HTTPRequest& make_request(const std::u16string& url, const std::u16string& verb = u"POST")
    {
        listener.request = std::make_unique<HTTPRequest>(url, verb, listener, u"Corvane Client");
        return *listener.request;
    }

    // A request to `url` that the listener deletes at its end, sent with the body "x".
    bool send_to(const std::u16string& url)
    {
        make_request(url);
        return send("x");
    }

    // A request the listener does not delete, for tests that use it after its end, sent with
    // the body "x".
    std::unique_ptr<HTTPRequest> send_kept(const std::u16string& url)
    {
        auto request = std::make_unique<HTTPRequest>(url, u"POST", listener, u"Corvane Client");
        EXPECT_TRUE(request->send_request(SharedBuffer("x", 1)));
        return request;
    }

    bool send(const std::string& body)
    {
        return listener.request->send_request(
            SharedBuffer(body.data(), static_cast<std::uint32_t>(body.size())));
    }

    bool run_until_ended(int milliseconds = 10000)
    {
        return loop.run_until(
            scheduler, [&] { return listener.ends > 0; }, std::chrono::milliseconds(milliseconds));
    }

    TestEnvironment env;
    ThreadedLoop loop;
    CActiveScheduler scheduler { loop, platform_clock() };
    RecordingListener listener;
};

} // namespace corvane::test
