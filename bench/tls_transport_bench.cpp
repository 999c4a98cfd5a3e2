// One download over HTTPS through the TLS transport alone, with vorn-fetch's
// command line, so that bench/fetch_vs_curl.sh (TLS=1) can time the transport
// against curl apart from the download client:
//
//   tls_transport_bench https://IPV4:PORT/PATH --cacert CA --out FILE
//
// One GET; the body (it must have a Content-Length) goes to FILE in the pieces
// Receive hands over, at most 64 KiB each, as the client reads them.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/IPv4Address.h"
#include "platform/Transport.h"

namespace {

constexpr size_t kReadBytes = 64 * 1024;

struct Arguments {
    std::string host;
    uint16_t port = 443;
    std::string path;
    std::string caFile;
    std::string out;
};

std::optional<Arguments> Parse(int argc, char** argv) {
    Arguments arguments;
    const std::string scheme = "https://";
    std::string url = argc > 1 ? argv[1] : "";
    if (url.rfind(scheme, 0) != 0) return std::nullopt;
    url.erase(0, scheme.size());
    const size_t slash = url.find('/');
    arguments.path = slash == std::string::npos ? "/" : url.substr(slash);
    arguments.host = url.substr(0, slash);
    const size_t colon = arguments.host.find(':');
    if (colon != std::string::npos) {
        arguments.port = static_cast<uint16_t>(std::stoi(arguments.host.substr(colon + 1)));
        arguments.host.erase(colon);
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--cacert") == 0) arguments.caFile = argv[i + 1];
        if (std::strcmp(argv[i], "--out") == 0) arguments.out = argv[i + 1];
    }
    if (arguments.out.empty()) return std::nullopt;
    return arguments;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "tls_transport_bench: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Arguments> arguments = Parse(argc, argv);
    if (!arguments) return Fail("usage: https://IPV4:PORT/PATH [--cacert CA] --out FILE");
    const std::optional<platform::IPv4Address> address = platform::ParseDottedIPv4(arguments->host);
    if (!address) return Fail("the host must be an IPv4 address");

    const platform::ConnectTimes times;
    platform::ConnectFailure failure;
    const std::unique_ptr<platform::IConnection> connection =
        platform::TlsTransport({.caFile = arguments->caFile})
            ->Connect({*address, arguments->port, arguments->host}, times, failure);
    if (!connection) return Fail("no connection: " + failure.reason);
    const std::string request = "GET " + arguments->path + " HTTP/1.1\r\nHost: " + arguments->host +
                                "\r\nConnection: close\r\n\r\n";
    if (!connection->Send(request.data(), request.size())) return Fail("the request failed");

    std::FILE* out = std::fopen(arguments->out.c_str(), "wb");
    if (out == nullptr) return Fail("cannot write " + arguments->out);
    // Each piece goes to the file as it comes, as the client's sink writes it.
    std::setvbuf(out, nullptr, _IONBF, 0);
    std::vector<char> buffer(kReadBytes);
    std::string head;
    int64_t left = -1;  // body bytes still to come, once the head is read
    while (left != 0) {
        const long count = connection->Receive(buffer.data(), buffer.size(), times.receiveMs);
        if (count <= 0) return Fail(connection->TimedOut() ? "timed out" : "the stream ended");
        const char* body = buffer.data();
        size_t size = size_t(count);
        if (left < 0) {
            head.append(body, size);
            const size_t end = head.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            const size_t length = head.find("Content-Length: ");
            if (length == std::string::npos || length > end) return Fail("no Content-Length");
            left = std::stoll(head.substr(length + 16));
            size = head.size() - (end + 4);
            body = buffer.data() + count - size;
        }
        if (size > 0 && std::fwrite(body, 1, size, out) != size) return Fail("cannot write");
        left -= static_cast<int64_t>(size);
    }
    return std::fclose(out) == 0 ? 0 : Fail("cannot write");
}
