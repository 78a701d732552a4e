#pragma once

#include "device/platform/HttpTransport.h"

#include <atomic>
#include <curl/curl.h>
#include <mutex>
#include <string>
#include <vector>

namespace corvane {

// An HttpTransfer on one libcurl easy handle. HTTP/1.1 only, no redirects, no proxy tunnels of
// our own (the environment's proxy settings apply, as the system's would on a device).
// abort() shuts the transfer's sockets down, so a worker blocked in a read wakes at once.
class CurlTransfer final : public HttpTransfer {
public:
    // Takes an easy handle already pointed at a checked URL.
    CurlTransfer(CURL* easy, const HttpTransferSetup& setup);
    ~CurlTransfer() override;
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    bool add_header(std::string_view line) override;
    TransferResult perform(
        const std::uint8_t* body, std::size_t size, HttpTransferSink& sink) override;
    void abort() override;

private:
    static std::size_t header_callback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t body_callback(char* data, std::size_t size, std::size_t count, void* self);
    static int progress_callback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static curl_socket_t open_socket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int close_socket(void* self, curl_socket_t socket);

    std::size_t on_header_line(std::string_view line);

    CURL* m_easy; // owned
    curl_slist* m_headers { nullptr }; // owned
    std::string m_verb;
    HttpTransferSink* m_sink { nullptr }; // only during perform()
    std::vector<std::string> m_block; // header lines of the reply being read
    bool m_block_delivered { false };
    bool m_sink_stopped { false };
    std::atomic<bool> m_aborted { false };
    std::mutex m_sockets_mutex; // guards m_sockets against abort() from another thread
    std::vector<curl_socket_t> m_sockets;
};

} // namespace corvane
