#include "tests/support/NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/LoopbackPort.h"
#include "tests/support/PythonServer.h"

namespace {

// A port nobody listens on at this moment.
uint16_t FreshLoopbackPort() {
    const RefusingPort port;
    return port.Port();
}

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr int kStartAttempts = 5;
constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStartPoll = std::chrono::milliseconds(10);
constexpr auto kLogWait = std::chrono::seconds(10);

// The text the status server on a loopback port answers for target, read to
// its end; empty when nothing answers.
std::string StatusAnswer(uint16_t port, const std::string& target) {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::string answer;
    if (connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + target + " HTTP/1.0\r\nHost: vorn-status\r\n\r\n";
        if (send(probe, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char chunk[4096];
            for (ssize_t got; (got = recv(probe, chunk, sizeof chunk, 0)) > 0;) {
                answer.append(chunk, static_cast<size_t>(got));
            }
        }
    }
    close(probe);
    return answer;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// Reads `"text"` at the stream's position (blanks before it skipped).
std::string QuotedField(std::istringstream& in) {
    std::string field;
    in >> std::ws;
    if (in.get() != '"') return field;
    std::getline(in, field, '"');
    return field;
}

}  // namespace

NginxServer::NginxServer(const std::string& root, NginxOptions options) {
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (TryStart(root, options)) {
            m_ownConnectionsAtStart = AcceptedSoFar();
            return;
        }
    }
    throw std::runtime_error("nginx did not start: " + ReadFile(m_prefix / "error.log"));
}

NginxServer::~NginxServer() = default;

bool NginxServer::TryStart(const std::string& root, const NginxOptions& options) {
    // A fixed port must be free; any other is one the system hands out and this
    // nginx then takes, or another start is tried should someone be quicker.
    if (options.port) RequireFreeLoopbackPort(options.port);
    m_port = options.port ? options.port : FreshLoopbackPort();
    m_tls = options.tls.has_value();
    // TLS and plain HTTP cannot share a port.
    m_statusPort = m_port;
    while (m_tls && m_statusPort == m_port) m_statusPort = FreshLoopbackPort();
    std::string config = ReadFile(TestServerFile("nginx.conf.in"));
    ReplaceAll(config, "@PREFIX@", m_prefix.Path());
    ReplaceAll(config, "@PORT@", std::to_string(m_port));
    ReplaceAll(config, "@STATUS_PORT@", std::to_string(m_statusPort));
    ReplaceAll(config, "@ROOT@", root);
    ReplaceAll(config, "@LIMIT_RATE@", std::to_string(options.limitRateBytesPerSecond));
    ReplaceAll(config, "@SSL@", m_tls ? "ssl" : "");
    ReplaceAll(config, "@TLS@",
               m_tls ? "ssl_certificate " + options.tls->certificate + "; ssl_certificate_key " +
                           options.tls->key + ";"
                     : "");
    const std::string configPath = m_prefix / "nginx.conf";
    WriteFile(configPath, config);

    m_process = std::make_unique<ChildProcess>(std::vector<std::string>{
        kNginx, "-p", m_prefix.Path(), "-c", configPath, "-e", m_prefix / "error.log"});
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_process->HasExited()) break;
        // Only this nginx names its own prefix, and it answers only once it
        // holds all its ports.
        if (StatusAnswer(m_statusPort, "/.well-known/vorn-server").ends_with(m_prefix.Path())) {
            return true;
        }
        std::this_thread::sleep_for(kStartPoll);
    }
    m_process.reset();
    return false;
}

std::string NginxServer::Url(const std::string& target) const {
    return std::string(m_tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) +
           target;
}

std::string NginxServer::RedirectToHttpsUrl(const NginxServer& tlsServer,
                                            const std::string& target) const {
    return Url("/to-https/" + std::to_string(tlsServer.Port()) + target);
}

std::vector<NginxAccess> NginxServer::AccessLog(size_t atLeast) const {
    const auto deadline = std::chrono::steady_clock::now() + kLogWait;
    std::vector<NginxAccess> entries = ReadAccessLog();
    while (entries.size() < atLeast && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kStartPoll);
        entries = ReadAccessLog();
    }
    return entries;
}

uint64_t NginxServer::ConnectionsAccepted() {
    const uint64_t accepted = AcceptedSoFar();
    ++m_laterStatusQueries;
    return accepted - m_ownConnectionsAtStart - m_laterStatusQueries;
}

uint64_t NginxServer::AcceptedSoFar() const {
    // The status page reads "server accepts handled requests\n A H R".
    const std::string answer = StatusAnswer(m_statusPort, "/.well-known/vorn-status");
    const std::string label = "server accepts handled requests\n";
    const size_t at = answer.find(label);
    uint64_t accepted = 0;
    std::istringstream numbers(at == std::string::npos ? "" : answer.substr(at + label.size()));
    if (!(numbers >> accepted)) throw std::runtime_error("no nginx status: " + answer);
    return accepted;
}

std::vector<NginxAccess> NginxServer::ReadAccessLog() const {
    std::vector<NginxAccess> entries;
    std::istringstream lines(ReadFile(m_prefix / "access.log"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        NginxAccess entry;
        in >> entry.connection >> entry.connectionRequests;
        entry.request = QuotedField(in);
        entry.range = QuotedField(in);
        in >> entry.status >> entry.bytesSent;
        entry.host = QuotedField(in);
        entries.push_back(entry);
    }
    return entries;
}
