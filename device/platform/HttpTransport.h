#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Receives what one transfer brings in, on the thread that runs HttpTransfer::perform(). A
// callback that answers false stops the transfer; perform() then answers Stopped.
class HttpTransferSink {
public:
    virtual ~HttpTransferSink() = default;
    // The final reply's header block: the status line first, then one entry per header line,
    // each without its line end. Informational (1xx) blocks are not passed on.
    virtual bool on_headers(const std::vector<std::string>& lines) = 0;
    // Body bytes as they come off the connection, decoded from any transfer encoding.
    virtual bool on_body(const std::uint8_t* bytes, std::size_t size) = 0;
};

enum class TransferResult {
    Completed, // the whole reply was read
    Failed, // no connection, a protocol or read error, or the peer closed early
    Stopped, // a sink callback answered false or abort() was called
};

enum class TlsVerification {
    Strict, // certificate chain and host name are checked
    Relaxed, // neither is checked; only for a test server
};

struct HttpTransferSetup {
    std::string url; // UTF-8
    std::string verb; // "GET", "POST", ...
    std::string user_agent;
    TlsVerification tls { TlsVerification::Strict };
    // A PEM file of the authorities to trust instead of the system's (a private CA); empty: the
    // system's store.
    std::string ca_file;
};

// One HTTP exchange on one connection. Created and configured on the main thread, performed on
// a worker thread; abort() may be called from any thread at any time, also before perform().
class HttpTransfer {
public:
    virtual ~HttpTransfer() = default;
    // Before perform(): one complete "Name: value" line. False when the line cannot be a
    // header (no name, no colon, a line break or NUL inside); nothing is added then.
    [[nodiscard]] virtual bool add_header(std::string_view line) = 0;
    // Sends the request with `body` and reads the reply into `sink`; blocks until the reply
    // ended, failed or was stopped. Called at most once.
    virtual TransferResult perform(
        const std::uint8_t* body, std::size_t size, HttpTransferSink& sink)
        = 0;
    // Makes a running perform() return Stopped promptly, and a later one at once.
    virtual void abort() = 0;
};

// Null when the URL is not an http or https URL with a host name.
std::unique_ptr<HttpTransfer> open_http_transfer(const HttpTransferSetup& setup);

// The device's data-connection manager, on platforms where a data connection has to be brought
// up before a request. Used by one worker thread at a time.
class ConnectionManager {
public:
    enum class Status { Connecting, Connected, Disconnected };

    virtual ~ConnectionManager() = default;
    // Asks for an Internet connection without waiting for it; false when refused at once.
    [[nodiscard]] virtual bool establish_connection() = 0;
    virtual Status connection_status() = 0;
    // Lets the connection go after `cache_seconds`; false when the platform refused.
    [[nodiscard]] virtual bool release_connection(int cache_seconds) = 0;
};

// Null where the platform has no connection manager (Linux): requests then go out directly.
std::unique_ptr<ConnectionManager> load_connection_manager();

} // namespace corvane
