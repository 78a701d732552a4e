#include "server/CommandLine.h"

#include "common/base/Text.h"

#include <arpa/inet.h>
#include <charconv>
#include <optional>

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

CommandLine parse_command_line(int argc, const char* const* argv)
{
    CommandLine line;
    ServiceConfig& config = line.config;
    bool strong_names_given = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                line.error = option + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        std::int64_t number = 0;
        if (option == "--help" || option == "-h") {
            line.help = true;
        } else if (option == "--listen") {
            if (value(text) && !parse_listen(text, config))
                line.error = "--listen needs HOST:PORT, not " + text;
        } else if (option == "--db") {
            value(config.database);
        } else if (option == "--base-path") {
            value(config.base_path);
        } else if (option == "--server-version") {
            if (value(text))
                config.server_version = from_utf8(text);
        } else if (option == "--strong-name") {
            if (value(text)) {
                if (!strong_names_given)
                    config.strong_names.clear();
                strong_names_given = true;
                config.strong_names.insert(from_utf8(text));
            }
        } else if (option == "--session-idle" || option == "--key-lifetime"
            || option == "--invitation-lifetime") {
            std::int64_t& target = option == "--session-idle" ? config.session_idle_ms
                : option == "--key-lifetime"                  ? config.login_key_lifetime_ms
                                                              : config.invitation_lifetime_ms;
            if (value(text) && !parse_duration(text, target))
                line.error = option + " needs a time such as 90s, 15m, 24h or 30d";
        } else if (option == "--outbox") {
            value(config.outbox);
        } else if (option == "--tls-cert") {
            value(config.tls_cert);
        } else if (option == "--tls-key") {
            value(config.tls_key);
        } else if (option == "--no-throttle") {
            config.throttling = false;
        } else if (option == "--throttle") {
            if (value(text) && (!parse_int(text, number) || number < 1 || number > 1'000'000))
                line.error = "--throttle needs a positive count";
            else
                config.throttle_limit = int(number);
        } else if (option == "--test-clock") {
            if (value(text) && (!parse_int(text, number) || number < 0))
                line.error = "--test-clock needs milliseconds since 1970";
            else
                config.test_clock_start = number;
        } else if (option == "--password-cost") {
            if (value(text)) {
                if (text == "standard")
                    config.password_cost = PasswordCost::standard();
                else if (text == "cheap")
                    config.password_cost = PasswordCost::cheap();
                else
                    line.error = "--password-cost is standard or cheap";
            }
        } else if (option == "--threads") {
            if (value(text) && (!parse_int(text, number) || number < 1 || number > 256))
                line.error = "--threads needs 1 to 256";
            else
                config.threads = unsigned(number);
        } else if (option == "--max-connections" || option == "--max-connections-per-address") {
            bool total = option == "--max-connections";
            if (value(text)
                && (!parse_int(text, number) || number < (total ? 1 : 0) || number > 1'000'000))
                line.error = option + (total ? " needs a positive count" : " needs a count");
            else
                (total ? config.connection_limit : config.per_address_limit) = unsigned(number);
        } else if (option == "--request-deadline" || option == "--purge-interval"
            || option == "--event-lifetime" || option == "--news-wait" || option == "--news-poll") {
            std::int64_t& target = option == "--request-deadline" ? config.request_deadline_ms
                : option == "--purge-interval"                    ? config.purge_interval_ms
                : option == "--news-wait"                         ? config.news_wait_ms
                : option == "--news-poll"                         ? config.news_poll_ms
                                                                  : config.event_lifetime_ms;
            if (value(text) && !parse_duration(text, target))
                line.error = option + " needs a time such as 10s, 15m or 30d";
        } else if (option == "--trusted-proxy") {
            if (value(text)) {
                std::optional<std::string> address = canonical_ip(text);
                if (address)
                    config.trusted_proxies.insert(*address);
                else
                    line.error = "--trusted-proxy needs a numeric address, not " + text;
            }
        } else if (option == "--log") {
            value(config.log_file);
        } else if (option == "--quiet") {
            config.quiet = true;
        } else if (option == "--demo") {
            config.demo = true;
        } else if (option.starts_with("--")) {
            line.error = "unknown option " + option;
        } else if (line.subcommand.empty() && line.arguments.empty()) {
            bool known = false;
            for (const char* name : s_subcommands)
                known = known || option == name;
            if (!known)
                line.error = "unknown subcommand " + option;
            line.subcommand = option;
        } else {
            line.arguments.push_back(option);
        }
        if (!line.error.empty())
            break;
    }
    if (line.error.empty() && config.tls_cert.empty() != config.tls_key.empty())
        line.error = "--tls-cert and --tls-key go together";
    return line;
}

} // namespace corvane::server
