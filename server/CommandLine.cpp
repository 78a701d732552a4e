#include "server/CommandLine.h"

#include "common/base/Text.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstdint>
#include <optional>
#include <type_traits>

namespace corvane::server {

static const char* const s_subcommands[] = { "create-user", "expire-sessions", "expire-login-keys",
    "reissue-ticket", "set-level", "seed-demo" };

std::string usage_text()
{
    return R"(vizserver: the Corvane task service (GWT-RPC over HTTP, SQLite or PostgreSQL storage)

Usage:
  vizserver [options]                      serve until SIGINT or SIGTERM
  vizserver SUBCOMMAND [arguments] [options]

Options:
  --listen HOST:PORT       address to listen on (default 127.0.0.1:8080; [::1]:PORT for IPv6;
                           port 0 picks a free one and prints it)
  --db FILE                database file, created and migrated as needed (default vizserver.db);
                           ":memory:" keeps everything in memory until exit
  --db URI                 a PostgreSQL database, as a libpq URI (postgresql://USER@HOST:PORT/DB;
                           a bare postgresql:// takes everything from the PG* variables); the
                           schema is created or migrated at start; any number of instances may
                           share it
  --base-path PATH         the service answers POST <PATH>service (default "/")
  --server-version TEXT    version sent at login (default "6"; the client accepts only "6")
  --strong-name NAME       accepted client build; repeat for several (default
                           3C9A1E77B0D24F6A8E15C2B9D07F4A63)
  --session-idle TIME      a session ends after this idle time (default 24h)
  --key-lifetime TIME      a login key expires this long after its last use (default 90d)
  --invitation-lifetime TIME  an invitation ticket expires after this (default 30d)
  --outbox DIR             write invitation tickets as DIR/<invitation id>.txt instead of
                           on standard output (never into the log)
  --no-throttle            no limit on failed logins (tests)
  --throttle N             failed logins per account, and per address, in 15 minutes
                           (default 10); kept in the database, shared by every instance
  --test-clock MS          a frozen clock at MS milliseconds since 1970 (tests)
  --password-cost LEVEL    "standard" (Argon2id, about 130 ms per hash) or "cheap" (tests only)
  --threads N              HTTP worker threads (default 4)
  --max-connections N      open connections in all (default 1000)
  --max-connections-per-address N
                           open connections from one address (default 64; 0: no limit, for
                           a proxy that is the only peer)
  --request-deadline TIME  a request's head and body must arrive within this (default 10s);
                           also the idle time after which a connection is closed
  --trusted-proxy ADDR     believe X-Forwarded-For from this peer for login throttling and
                           the log; repeat for several
  --purge-interval TIME    how often expired sessions, keys, invitations, login failures and
                           old news are removed (default 10m)
  --news-wait TIME         how long waitNews waits for a change before answering nothing
                           (default 25s)
  --news-poll TIME         how often changes by other instances on the database are looked
                           for (default 150ms)
  --event-lifetime TIME    news older than this is purged; a client further behind reloads
                           (default 90d)
  --log FILE               append the log to FILE instead of standard error (reopened on
                           SIGHUP, for log rotation)
  --tls-cert FILE          serve HTTPS with this PEM certificate (chain: server first)
  --tls-key FILE           the certificate's PEM private key (both or neither)
  --quiet                  no per-call log lines (load tests)
  --demo                   create the demo accounts and project when they are missing
  --help                   this text
  --version                print the version and exit

TIME is a number of seconds or a number with s, m, h or d.

Subcommands (on the database named by --db):
  create-user ACCOUNT PASSWORD [NAME]      add an account
  expire-sessions [ACCOUNT]                end the sessions of one account or of everyone
  expire-login-keys [ACCOUNT]              revoke the login keys of one account or of everyone
  reissue-ticket PROJECT ADDRESS           a new ticket for a pending invitation (to the outbox
                                           or standard output)
  set-level PROJECT ACCOUNT LEVEL          give ACCOUNT level 2 (participant), 1 (read-only) or
                                           0 (removed) on project id PROJECT
  seed-demo                                create the demo accounts and project
  backup --db FILE --to FILE               a consistent copy of a database in use (restore:
                                           start the service on the copy)
  migrate --db URI|FILE                    create or upgrade the schema, then exit
  copy --from FILE --to URI                copy a SQLite database into an empty PostgreSQL one
                                           and check the row count of every table

Demo accounts: demo@example.com / demo1234 and friend@example.com / friend1234.
)";
}

bool parse_duration(const std::string& text, std::int64_t& milliseconds)
{
    if (text.empty())
        return false;
    std::int64_t unit = 1000;
    std::string number = text;
    switch (text.back()) {
    case 's':
        number.pop_back();
        if (number.ends_with('m')) // "ms"
            unit = 1, number.pop_back();
        break;
    case 'm':
        unit = minute_ms, number.pop_back();
        break;
    case 'h':
        unit = hour_ms, number.pop_back();
        break;
    case 'd':
        unit = day_ms, number.pop_back();
        break;
    default:
        break;
    }
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || value <= 0
        || value > INT64_MAX / unit)
        return false;
    milliseconds = value * unit;
    return true;
}

static bool parse_int(const std::string& text, std::int64_t& out)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

static std::optional<std::string> canonical_ip(const std::string& text)
{
    char out[INET6_ADDRSTRLEN];
    in6_addr v6;
    in_addr v4;
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1 && inet_ntop(AF_INET, &v4, out, sizeof out))
        return std::string(out);
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1 && inet_ntop(AF_INET6, &v6, out, sizeof out))
        return std::string(out);
    return std::nullopt;
}

static bool parse_listen(const std::string& text, ServiceConfig& config)
{
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::int64_t port = 0;
    if (!parse_int(text.substr(colon + 1), port) || port < 0 || port > 65535)
        return false;
    config.listen_host = text.substr(0, colon);
    config.listen_port = int(port);
    return true;
}

namespace {

    // What the options before have done, for an option that acts differently the second time.
    struct ParseState {
        ServiceConfig& config;
        bool strong_names_given { false };
    };

    enum class ShowValue { No, Yes };

    // An option without a value.
    struct FlagOption {
        const char* name;
        void (*apply)(CommandLine&);
    };

    // An option with a value. `apply` answers false when the value cannot be used, and leaves
    // the configuration as it was; the error then reads "<option> <need>", with the value after
    // it when `show` says so.
    struct ValueOption {
        const char* name;
        bool (*apply)(ParseState&, const std::string& value);
        const char* need { nullptr };
        ShowValue show { ShowValue::No };
    };

    template<std::string ServiceConfig::*field>
    bool set_text(ParseState& state, const std::string& value)
    {
        state.config.*field = value;
        return true;
    }

    template<std::int64_t ServiceConfig::*field>
    bool set_time(ParseState& state, const std::string& value)
    {
        return parse_duration(value, state.config.*field);
    }

    // A whole number from `low` to `high`, stored in the field's own type.
    template<std::int64_t low, std::int64_t high, auto field>
    bool set_count(ParseState& state, const std::string& value)
    {
        std::int64_t number = 0;
        if (!parse_int(value, number) || number < low || number > high)
            return false;
        using Field = std::remove_reference_t<decltype(state.config.*field)>;
        state.config.*field = static_cast<Field>(number);
        return true;
    }

    bool set_listen(ParseState& state, const std::string& value)
    {
        return parse_listen(value, state.config);
    }

    bool set_server_version(ParseState& state, const std::string& value)
    {
        state.config.server_version = from_utf8(value);
        return true;
    }

    // The first --strong-name replaces the built-in one; later ones add to it.
    bool add_strong_name(ParseState& state, const std::string& value)
    {
        if (!state.strong_names_given)
            state.config.strong_names.clear();
        state.strong_names_given = true;
        state.config.strong_names.insert(from_utf8(value));
        return true;
    }

    bool set_password_cost(ParseState& state, const std::string& value)
    {
        if (value == "standard")
            state.config.password_cost = PasswordCost::standard();
        else if (value == "cheap")
            state.config.password_cost = PasswordCost::cheap();
        else
            return false;
        return true;
    }

    bool add_trusted_proxy(ParseState& state, const std::string& value)
    {
        std::optional<std::string> address = canonical_ip(value);
        if (address)
            state.config.trusted_proxies.insert(*address);
        return address.has_value();
    }

    const FlagOption s_flags[] = {
        { "--help", [](CommandLine& line) { line.help = true; } },
        { "-h", [](CommandLine& line) { line.help = true; } },
        { "--no-throttle", [](CommandLine& line) { line.config.throttling = false; } },
        { "--quiet", [](CommandLine& line) { line.config.quiet = true; } },
        { "--demo", [](CommandLine& line) { line.config.demo = true; } },
    };

    constexpr const char* s_long_times = "needs a time such as 90s, 15m, 24h or 30d";
    constexpr const char* s_short_times = "needs a time such as 10s, 15m or 30d";
    constexpr const char* s_positive_count = "needs a positive count";

    const ValueOption s_value_options[] = {
        { "--listen", set_listen, "needs HOST:PORT, not ", ShowValue::Yes },
        { "--db", set_text<&ServiceConfig::database> },
        { "--base-path", set_text<&ServiceConfig::base_path> },
        { "--server-version", set_server_version },
        { "--strong-name", add_strong_name },
        { "--session-idle", set_time<&ServiceConfig::session_idle_ms>, s_long_times },
        { "--key-lifetime", set_time<&ServiceConfig::login_key_lifetime_ms>, s_long_times },
        { "--invitation-lifetime", set_time<&ServiceConfig::invitation_lifetime_ms>, s_long_times },
        { "--outbox", set_text<&ServiceConfig::outbox> },
        { "--tls-cert", set_text<&ServiceConfig::tls_cert> },
        { "--tls-key", set_text<&ServiceConfig::tls_key> },
        { "--throttle", set_count<1, 1'000'000, &ServiceConfig::throttle_limit>, s_positive_count },
        { "--test-clock", set_count<0, INT64_MAX, &ServiceConfig::test_clock_start>,
            "needs milliseconds since 1970" },
        { "--password-cost", set_password_cost, "is standard or cheap" },
        { "--threads", set_count<1, 256, &ServiceConfig::threads>, "needs 1 to 256" },
        { "--max-connections", set_count<1, 1'000'000, &ServiceConfig::connection_limit>,
            s_positive_count },
        { "--max-connections-per-address",
            set_count<0, 1'000'000, &ServiceConfig::per_address_limit>, "needs a count" },
        { "--request-deadline", set_time<&ServiceConfig::request_deadline_ms>, s_short_times },
        { "--purge-interval", set_time<&ServiceConfig::purge_interval_ms>, s_short_times },
        { "--event-lifetime", set_time<&ServiceConfig::event_lifetime_ms>, s_short_times },
        { "--news-wait", set_time<&ServiceConfig::news_wait_ms>, s_short_times },
        { "--news-poll", set_time<&ServiceConfig::news_poll_ms>, s_short_times },
        { "--trusted-proxy", add_trusted_proxy, "needs a numeric address, not ", ShowValue::Yes },
        { "--log", set_text<&ServiceConfig::log_file> },
    };

    template<typename Option, std::size_t count>
    const Option* find_option(const Option (&options)[count], const std::string& name)
    {
        for (const Option& option : options)
            if (name == option.name)
                return &option;
        return nullptr;
    }

    // A word that is not an option: the subcommand first, its arguments after it.
    void add_word(CommandLine& line, const std::string& word)
    {
        if (!line.subcommand.empty() || !line.arguments.empty()) {
            line.arguments.push_back(word);
            return;
        }
        bool known = false;
        for (const char* name : s_subcommands)
            known = known || word == name;
        if (!known)
            line.error = "unknown subcommand " + word;
        line.subcommand = word;
    }

} // namespace

CommandLine parse_command_line(int argc, const char* const* argv)
{
    CommandLine line;
    ParseState state { line.config };
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        std::string option = argv[i];
        if (const FlagOption* flag = find_option(s_flags, option)) {
            flag->apply(line);
        } else if (const ValueOption* valued = find_option(s_value_options, option)) {
            if (i + 1 >= argc) {
                line.error = option + " needs a value";
            } else if (std::string value = argv[++i]; !valued->apply(state, value)) {
                line.error = option + " " + valued->need;
                if (valued->show == ShowValue::Yes)
                    line.error += value;
            }
        } else if (option.starts_with("--")) {
            line.error = "unknown option " + option;
        } else {
            add_word(line, option);
        }
    }
    if (line.error.empty() && line.config.tls_cert.empty() != line.config.tls_key.empty())
        line.error = "--tls-cert and --tls-key go together";
    return line;
}

} // namespace corvane::server
