// The client against the real service over HTTPS, with a certificate chain made for the test:
// an authority nobody named is refused, the authority named in "CAFile" is trusted, and
// "InsecureTLS" accepts anything. The service itself refuses unusable certificate files.
#include "device/core/testing/TempFolder.h"
#include "device/net/tests/NetTestSupport.h"
#include "testing/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

using namespace corvane;
using namespace corvane::test;

namespace {

// A private authority, a server certificate it signed for 127.0.0.1, and an unrelated
// authority (EC keys: quick to make).
bool make_chain(const TempFolder& folder)
{
    std::ofstream(folder.file("server.ext")) << "subjectAltName=IP:127.0.0.1\n";
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes ";
    const std::string steps[] = {
        "openssl req -x509 " + key + "-keyout ca.key -out ca.pem -days 2 -subj /CN=Test-CA",
        "openssl req -x509 " + key + "-keyout other.key -out other.pem -days 2 -subj /CN=Other",
        "openssl req " + key + "-keyout server.key -out server.csr -subj /CN=127.0.0.1",
        "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
        "-out server.pem -days 2 -extfile server.ext",
    };
    for (const std::string& step : steps) {
        std::string command = "cd " + folder.file("") + " && " + step + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return false;
    }
    return true;
}

// A vizserver with these certificate files, its errors appended to stderr.txt.
Launch service(const TempFolder& folder, const std::string& cert, const std::string& key)
{
    Launch launch;
    launch.arguments = { program_folder() + "/vizserver", "--listen", "127.0.0.1:0", "--db",
        ":memory:", "--quiet", "--tls-cert", folder.file(cert), "--tls-key", folder.file(key) };
    launch.error_file = folder.file("stderr.txt");
    return launch;
}

using ServiceTlsTest = HttpFixture;

} // namespace

TEST_F(ServiceTlsTest, authorities_and_certificate_files)
{
    TempFolder folder("corvane-tls");
    ASSERT_TRUE(make_chain(folder)) << "openssl could not make the test chain";
    Launch launch = service(folder, "server.pem", "server.key");
    launch.capture_output = true;
    ChildProcess good(std::move(launch));
    ASSERT_TRUE(good.read_output([](const std::string& text) { return text.ends_with('\n'); }, 10s)
        && good.output().starts_with("vizserver listening on port "))
        << read_file(folder.file("stderr.txt"));
    int port = std::atoi(good.output().c_str() + good.output().rfind(' ') + 1);
    std::u16string url = u"https://127.0.0.1:" + to_wstring(std::int64_t(port)) + u"/healthz";
    auto exchange = [&] {
        listener = RecordingListener();
        make_request(url, u"GET");
        EXPECT_TRUE(send(""));
        EXPECT_TRUE(run_until_ended());
        return listener.events.back();
    };

    EXPECT_EQ(exchange(), "failed");
    const char16_t* key = u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane";
    // Another authority is no better than none.
    ASSERT_TRUE(reg_write_string(key, u"CAFile", from_utf8(folder.file("other.pem"))));
    EXPECT_EQ(exchange(), "failed");
    ASSERT_TRUE(reg_write_string(key, u"CAFile", from_utf8(folder.file("ca.pem"))));
    EXPECT_EQ(exchange(), "complete 3");
    EXPECT_EQ(listener.body, "ok\n");
    ASSERT_TRUE(reg_write_string(key, u"CAFile", u""));
    ASSERT_TRUE(reg_write_dword(key, u"InsecureTLS", 1));
    EXPECT_EQ(exchange(), "complete 3");

    // A missing certificate, a key of another certificate: a message naming the file, no service.
    for (const auto& [cert, cert_key, named] :
        { std::tuple("absent.pem", "server.key", "absent.pem"),
            std::tuple("server.pem", "ca.key", "ca.key") }) {
        std::filesystem::remove(folder.file("stderr.txt"));
        EXPECT_EQ(run_to_end(service(folder, cert, cert_key)), 1);
        EXPECT_NE(read_file(folder.file("stderr.txt")).find(folder.file(named)), std::string::npos)
            << read_file(folder.file("stderr.txt"));
    }
}
