#include "device/platform/linux/CurlTransport.h"

#include <csignal>
#include <optional>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane {

namespace {

    // curl_global_init is not thread-safe; the first transfer is opened on the main thread before
    // any worker runs, so doing it there once is enough. Never cleaned up: killed workers may still
    // be leaving libcurl while the process exits.
    void global_init_once()
    {
        static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        (void)done;
    }

    struct UrlHandle {
        CURLU* url { curl_url() };
        ~UrlHandle() { curl_url_cleanup(url); }
    };

    // The URL in the form curl will send, or nothing when it is not an http or https URL with a
    // host.
    std::optional<std::string> checked_url(const std::string& text)
    {
        UrlHandle handle;
        if (!handle.url
            || curl_url_set(handle.url, CURLUPART_URL, text.c_str(), CURLU_URLENCODE) != CURLUE_OK)
            return std::nullopt;
        char* scheme = nullptr;
        char* host = nullptr;
        char* full = nullptr;
        std::optional<std::string> result;
        if (curl_url_get(handle.url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK
            && curl_url_get(handle.url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host
            && (std::string_view(scheme) == "http" || std::string_view(scheme) == "https")
            && curl_url_get(handle.url, CURLUPART_URL, &full, 0) == CURLUE_OK)
            result = std::string(full);
        curl_free(scheme);
        curl_free(host);
        curl_free(full);
        return result;
    }

    // A peer that closes early must not end the process with SIGPIPE. Blocking it on the worker
    // thread keeps the signal (if any) pending there instead of touching the process's handlers.
    void block_sigpipe_on_this_thread()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
    }

} // namespace

std::unique_ptr<HttpTransfer> open_http_transfer(const HttpTransferSetup& setup)
{
    global_init_once();
    std::optional<std::string> url = checked_url(setup.url);
    if (!url || setup.verb.empty())
        return nullptr;
    CURL* easy = curl_easy_init();
    if (!easy)
        return nullptr;
    if (curl_easy_setopt(easy, CURLOPT_URL, url->c_str()) != CURLE_OK) {
        curl_easy_cleanup(easy);
        return nullptr;
    }
    return std::make_unique<CurlTransfer>(easy, setup);
}

std::unique_ptr<ConnectionManager> load_connection_manager()
{
    return nullptr;
}

CurlTransfer::CurlTransfer(CURL* easy, const HttpTransferSetup& setup)
    : m_easy(easy)
    , m_verb(setup.verb)
{
    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, setup.user_agent.c_str());
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    // Large reads, so that the body arrives in as few pieces as the network allows; the caller
    // cuts them to its own chunk size.
    curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, static_cast<long>(CURL_MAX_READ_SIZE));
    long verify = setup.tls == TlsVerification::Strict ? 1L : 0L;
    curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYPEER, verify);
    curl_easy_setopt(m_easy, CURLOPT_SSL_VERIFYHOST, verify * 2);
    if (!setup.ca_file.empty())
        curl_easy_setopt(m_easy, CURLOPT_CAINFO, setup.ca_file.c_str());
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::header_callback);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::body_callback);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_easy, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::progress_callback);
    curl_easy_setopt(m_easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETFUNCTION, &CurlTransfer::open_socket);
    curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlTransfer::close_socket);
    curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETDATA, this);
    // The reply must follow the request at once; a 100-continue round trip only adds delay.
    m_headers = curl_slist_append(m_headers, "Expect:");
}

CurlTransfer::~CurlTransfer()
{
    curl_easy_cleanup(m_easy);
    curl_slist_free_all(m_headers);
}

bool CurlTransfer::add_header(std::string_view line)
{
    std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos
        || line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    if (line.substr(0, colon).find_first_of(" \t") != std::string_view::npos)
        return false;
    curl_slist* appended = curl_slist_append(m_headers, std::string(line).c_str());
    if (!appended)
        return false;
    m_headers = appended;
    return true;
}

TransferResult CurlTransfer::perform(
    const std::uint8_t* body, std::size_t size, HttpTransferSink& sink)
{
    if (m_aborted.load())
        return TransferResult::Stopped;
    block_sigpipe_on_this_thread();
    m_sink = &sink;
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
    if (m_verb == "GET" && size == 0) {
        curl_easy_setopt(m_easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
        curl_easy_setopt(
            m_easy, CURLOPT_POSTFIELDS, size ? reinterpret_cast<const char*>(body) : "");
        if (m_verb != "POST")
            curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, m_verb.c_str());
    }
    CURLcode code = curl_easy_perform(m_easy);
    m_sink = nullptr;
    if (code == CURLE_OK)
        return TransferResult::Completed;
    if (m_sink_stopped || m_aborted.load())
        return TransferResult::Stopped;
    return TransferResult::Failed;
}

void CurlTransfer::abort()
{
    m_aborted.store(true);
    std::lock_guard lock(m_sockets_mutex);
    for (curl_socket_t socket : m_sockets)
        shutdown(socket, SHUT_RDWR);
}

std::size_t CurlTransfer::header_callback(
    char* data, std::size_t size, std::size_t count, void* self)
{
    return static_cast<CurlTransfer*>(self)->on_header_line(std::string_view(data, size * count));
}

std::size_t CurlTransfer::on_header_line(std::string_view line)
{
    std::size_t length = line.size();
    if (m_block_delivered) // trailers of a chunked body
        return length;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/"))
        m_block.clear();
    if (!line.empty()) {
        m_block.emplace_back(line);
        return length;
    }
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status < 200) {
        m_block.clear();
        return length;
    }
    m_block_delivered = true;
    if (!m_sink->on_headers(m_block)) {
        m_sink_stopped = true;
        return 0;
    }
    return length;
}

std::size_t CurlTransfer::body_callback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    std::size_t length = size * count;
    if (!transfer->m_sink->on_body(reinterpret_cast<const std::uint8_t*>(data), length)) {
        transfer->m_sink_stopped = true;
        return 0;
    }
    return length;
}

int CurlTransfer::progress_callback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<CurlTransfer*>(self)->m_aborted.load() ? 1 : 0;
}

curl_socket_t CurlTransfer::open_socket(void* self, curlsocktype, curl_sockaddr* address)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    std::lock_guard lock(transfer->m_sockets_mutex);
    if (transfer->m_aborted.load())
        return CURL_SOCKET_BAD;
    curl_socket_t socket
        = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket != CURL_SOCKET_BAD)
        transfer->m_sockets.push_back(socket);
    return socket;
}

int CurlTransfer::close_socket(void* self, curl_socket_t socket)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    {
        // Forget it before closing, so that abort() never shuts down a reused descriptor.
        std::lock_guard lock(transfer->m_sockets_mutex);
        std::erase(transfer->m_sockets, socket);
    }
    return close(socket);
}

} // namespace corvane
