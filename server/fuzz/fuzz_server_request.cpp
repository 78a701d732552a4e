// Any request body given to the service's call handling: it must answer with a status and a
// body, never crash, and never read outside the body.
#include "server/CallDispatcher.h"
#include "server/ServiceConfig.h"
#include "server/VizServer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

using namespace corvane::server;

static CallDispatcher& dispatcher()
{
    static std::unique_ptr<VizServer> server = [] {
        ServiceConfig config;
        config.database = ":memory:";
        config.password_cost = PasswordCost::cheap();
        config.throttling = false;
        config.quiet = true;
        auto made = std::make_unique<VizServer>(config);
        if (!made->open())
            __builtin_trap();
        return made;
    }();
    static CallDispatcher instance(server->service());
    return instance;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HttpReply reply = dispatcher().handle_call(
        std::string_view(reinterpret_cast<const char*>(data), size), "127.0.0.1");
    if (reply.status != 200 && reply.status != 400 && reply.status != 500)
        __builtin_trap();
    if (reply.status == 200 && reply.body.rfind("//", 0) != 0)
        __builtin_trap();
    return 0;
}
