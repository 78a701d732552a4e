#include "device/net/tests/TestHttpServer.h"

#include <arpa/inet.h>
#include <cstring>
#include <memory>
#include <microhttpd.h>
#include <netinet/in.h>

namespace corvane::test {

namespace {

    struct PendingRequest {
        ReceivedRequest request;
    };

    struct BodySource {
        std::string body;
        std::size_t stop_at; // bytes to send before the reply ends (early or not)
        std::size_t piece;
        bool error_at_stop;
    };

    MHD_Result collect_header(void* out, MHD_ValueKind, const char* name, const char* value)
    {
        (*static_cast<std::map<std::string, std::string>*>(out))[name] = value ? value : "";
        return MHD_YES;
    }

    ssize_t read_body(void* cls, std::uint64_t position, char* buffer, std::size_t max)
    {
        auto* source = static_cast<BodySource*>(cls);
        if (position >= source->stop_at)
            return source->error_at_stop ? MHD_CONTENT_READER_END_WITH_ERROR
                                         : MHD_CONTENT_READER_END_OF_STREAM;
        std::size_t length = std::min(
            { max, source->piece, source->stop_at - static_cast<std::size_t>(position) });
        std::memcpy(buffer, source->body.data() + position, length);
        return static_cast<ssize_t>(length);
    }

    void free_body(void* cls)
    {
        delete static_cast<BodySource*>(cls);
    }

    void request_completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode)
    {
        delete static_cast<PendingRequest*>(*state);
        *state = nullptr;
    }

} // namespace

struct ServerAccess {
    static MHD_Result answer(void* cls, MHD_Connection* connection, const char* url,
        const char* method, const char*, const char* upload, std::size_t* upload_size, void** state)
    {
        auto* server = static_cast<TestHttpServer*>(cls);
        if (!*state) {
            auto pending = std::make_unique<PendingRequest>();
            pending->request.method = method;
            pending->request.path = url;
            MHD_get_connection_values(
                connection, MHD_HEADER_KIND, &collect_header, &pending->request.headers);
            *state = pending.release();
            return MHD_YES;
        }
        auto* pending = static_cast<PendingRequest*>(*state);
        if (*upload_size) {
            pending->request.body.append(upload, *upload_size);
            *upload_size = 0;
            return MHD_YES;
        }
        {
            std::lock_guard lock(server->m_mutex);
            server->m_received.push_back(pending->request);
        }
        ServerReply reply = server->m_handler(pending->request);
        MHD_Response* response;
        if (reply.framing == ServerReply::Framing::Length) {
            response = MHD_create_response_from_buffer(
                reply.body.size(), reply.body.data(), MHD_RESPMEM_MUST_COPY);
        } else {
            bool chunked = reply.framing == ServerReply::Framing::Chunked;
            auto* source = new BodySource { reply.body, chunked ? reply.body.size() : reply.piece,
                chunked ? reply.piece : reply.body.size(), !chunked };
            response
                = MHD_create_response_from_callback(chunked ? MHD_SIZE_UNKNOWN : reply.body.size(),
                    4096, &read_body, source, &free_body);
        }
        for (const auto& [name, value] : reply.headers)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        MHD_Result result = MHD_queue_response(connection, reply.status, response);
        MHD_destroy_response(response);
        return result;
    }
};

TestHttpServer::TestHttpServer(Handler handler)
    : m_handler(std::move(handler))
{
    start(nullptr, nullptr);
}

TestHttpServer::TestHttpServer(Handler handler, const char* certificate_pem, const char* key_pem)
    : m_handler(std::move(handler))
{
    start(certificate_pem, key_pem);
}

void TestHttpServer::start(const char* certificate_pem, const char* key_pem)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_tls = certificate_pem != nullptr;
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION;
    if (m_tls) {
        m_daemon = MHD_start_daemon(flags | MHD_USE_TLS, 0, nullptr, nullptr, &ServerAccess::answer,
            this, MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_NOTIFY_COMPLETED, &request_completed,
            nullptr, MHD_OPTION_HTTPS_MEM_CERT, certificate_pem, MHD_OPTION_HTTPS_MEM_KEY, key_pem,
            MHD_OPTION_END);
    } else {
        m_daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &ServerAccess::answer, this,
            MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_NOTIFY_COMPLETED, &request_completed,
            nullptr, MHD_OPTION_END);
    }
    if (m_daemon) {
        const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
        m_port = info ? info->port : 0;
    }
}

TestHttpServer::~TestHttpServer()
{
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
}

std::string TestHttpServer::url(const std::string& path) const
{
    return std::string(m_tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + path;
}

std::u16string TestHttpServer::wide_url(const std::string& path) const
{
    std::string text = url(path);
    return std::u16string(text.begin(), text.end());
}

std::vector<ReceivedRequest> TestHttpServer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

} // namespace corvane::test
