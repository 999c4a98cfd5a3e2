// A real nginx on a free loopback port, serving a folder with Range and
// keep-alive over plain HTTP or TLS, for tests and the demo. Its
// configuration, pid, temporary files and logs all live in a directory of its
// own, removed when it stops.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

struct NginxOptions {
    int64_t limitRateBytesPerSecond = 0;  // 0: as fast as it goes
    uint16_t port = 0;                    // 0: any free loopback port
    // Set: the port speaks TLS 1.2 and 1.3 only, with this certificate.
    std::optional<ServerCertificate> tls;
};

// One line of the access log.
struct NginxAccess {
    long connection = 0;          // nginx's serial number of the connection
    long connectionRequests = 0;  // 1 for the first request on a connection
    std::string request;          // "GET /x HTTP/1.1"
    std::string range;            // the Range header, "-" when none
    int status = 0;
    int64_t bytesSent = 0;  // body bytes
    std::string host;       // the Host header
};

class NginxServer {
public:
    // Serves root. GET /moved/NAME answers 302 with the absolute URL of /NAME
    // on this server; GET /to-https/PORT/NAME answers 302 with
    // https://127.0.0.1:PORT/NAME (see RedirectToHttpsUrl).
    explicit NginxServer(const std::string& root, NginxOptions options = {});
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by target; "https://..." over TLS.
    std::string Url(const std::string& target) const;
    // A URL of this server that answers with a redirect to target on
    // tlsServer: Url("/to-https/<tlsServer's port>" + target).
    std::string RedirectToHttpsUrl(const NginxServer& tlsServer, const std::string& target) const;
    // Every request answered so far, oldest first. nginx logs a request just
    // after its answer has gone out, so a test that knows how many requests it
    // made passes that number: the call then waits (up to 10 s) for them.
    std::vector<NginxAccess> AccessLog(size_t atLeast = 0) const;
    // Connections others opened to this server since it started, whether a
    // request came on them or not, a TLS handshake ended or not. nginx counts
    // a connection when it accepts it and accepts waiting connections in the
    // order they came, so asked after a client has ended, the count holds
    // every connection that client made. An empty access log shows no such
    // thing: it may still be written.
    uint64_t ConnectionsAccepted();

private:
    bool TryStart(const std::string& root, const NginxOptions& options);
    std::vector<NginxAccess> ReadAccessLog() const;
    // nginx's count of accepted connections, this query's own included.
    uint64_t AcceptedSoFar() const;

    TempDir m_prefix;
    std::unique_ptr<ChildProcess> m_process;
    uint16_t m_port = 0;
    // Where this object asks nginx its name and its counts, in plain HTTP
    // whatever m_port speaks: m_port itself unless that speaks TLS.
    uint16_t m_statusPort = 0;
    bool m_tls = false;
    // Connections this object opened itself, not counted as others': the
    // start-up probe with the first status query, then every later query.
    // Both belong to the thread that owns the object.
    uint64_t m_ownConnectionsAtStart = 0;
    uint64_t m_laterStatusQueries = 0;
};
