#include "server/AdminCommands.h"

#include "server/Service.h"

#include "common/base/Text.h"

#include <charconv>
#include <cstdio>

namespace corvane::server {

static bool parse_id(const std::string& text, std::int32_t& out)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

static int fail(const std::string& message)
{
    std::fprintf(stderr, "vizserver: %s\n", message.c_str());
    return 1;
}

int run_admin_command(
    Service& service, const std::string& name, const std::vector<std::string>& arguments)
{
    std::string error;
    if (name == "create-user") {
        if (arguments.size() < 2 || arguments.size() > 3)
            return fail("usage: create-user ACCOUNT PASSWORD [NAME]");
        int id = service.create_user(from_utf8(arguments[0]), from_utf8(arguments[1]),
            arguments.size() > 2 ? from_utf8(arguments[2]) : u"", error);
        if (id == 0)
            return fail("create-user: " + error);
        std::printf("created user %d\n", id);
        return 0;
    }
    if (name == "expire-sessions" || name == "expire-login-keys") {
        if (arguments.size() > 1)
            return fail("usage: " + name + " [ACCOUNT]");
        std::u16string account = arguments.empty() ? u"" : from_utf8(arguments[0]);
        int count = name == "expire-sessions" ? service.expire_sessions(account)
                                              : service.expire_login_keys(account);
        if (count < 0)
            return fail(name + ": no such account");
        std::printf("%s: %d removed\n", name.c_str(), count);
        return 0;
    }
    if (name == "reissue-ticket") {
        std::int32_t project = 0;
        if (arguments.size() != 2 || !parse_id(arguments[0], project))
            return fail("usage: reissue-ticket PROJECT ADDRESS");
        if (!service.reissue_ticket(project, from_utf8(arguments[1]), error))
            return fail("reissue-ticket: " + error);
        std::printf("ticket reissued\n");
        return 0;
    }
    if (name == "set-level") {
        std::int32_t project = 0;
        std::int32_t level = 0;
        if (arguments.size() != 3 || !parse_id(arguments[0], project)
            || !parse_id(arguments[2], level))
            return fail("usage: set-level PROJECT ACCOUNT LEVEL");
        if (!service.set_level(project, from_utf8(arguments[1]), level, error))
            return fail("set-level: " + error);
        std::printf("level set\n");
        return 0;
    }
    if (name == "seed-demo") {
        if (!seed_demo(service, error))
            return fail("seed-demo: " + error);
        std::printf("demo data ready\n");
        return 0;
    }
    return fail("unknown subcommand " + name);
}

} // namespace corvane::server
