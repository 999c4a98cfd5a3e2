#include "net/HttpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "net/ChunkedDecoder.h"
#include "net/HostLookup.h"
#include "net/Url.h"
#include "support/Log.h"

namespace {

constexpr const char* kModule = "CHttpSocket";

// Capacities of the request's parts; longer ones are refused as uncrackable.
constexpr size_t kMaxUrlChars = 1023;
constexpr size_t kMaxHostChars = 63;
constexpr size_t kMaxObjectChars = 259;
constexpr size_t kMaxAddressChars = 127;

constexpr int64_t kReuseSeconds = 10;
constexpr int kDefaultReceiveTimeoutMs = 10000;
// One body read: large enough to keep up with a local disk, small enough to
// keep memory flat.
constexpr size_t kBodyReadBytes = 64 * 1024;
constexpr int kDumpNameRange = 100000;

int64_t SystemSeconds() {
    return static_cast<int64_t>(time(nullptr));
}

// Digits and dots only (or nothing) is taken as an address, not a name.
bool IsNumericText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

}  // namespace

CHttpSocket::CHttpSocket(IDownLoadThread* sink)
    : m_pSink(sink),
      m_clock(SystemSeconds),
      m_receiveTimeoutMs(kDefaultReceiveTimeoutMs),
      m_buffer(kBodyReadBytes),
      m_dumpNames(static_cast<std::minstd_rand::result_type>(SystemSeconds())) {}

CHttpSocket::~CHttpSocket() {
    CloseConnection();
}

void CHttpSocket::SetClock(Clock clock) {
    m_clock = std::move(clock);
}

void CHttpSocket::SetReceiveTimeoutMs(int ms) {
    m_receiveTimeoutMs = ms;
}

int CHttpSocket::RequestFile(const std::string& url, const std::string& address, int64_t rangeStart,
                             FILE* file) {
    m_szURL = url;
    m_nRangeStart = rangeStart;
    m_pFile = file;
    if (int result = ParseURL()) return result;
    m_szAddress = address.substr(0, kMaxAddressChars);

    if (m_socket >= 0 && !CanReuseConnection()) CloseConnection();
    int result = HTTP_OK;
    if (m_socket < 0) {
        result = Socket();
        if (result == HTTP_OK) result = ConnectHost();
    }
    if (result == HTTP_OK) result = SendRequest();
    if (result == HTTP_OK) result = RecvHttpHeadRes();
    if (result == HTTP_OK) result = GetHttpFileSize();
    if (result == HTTP_OK) result = RecvHttpFile();
    if (result != HTTP_OK) {
        CloseConnection();
        return result;
    }
    m_tLastActive = m_clock();
    return HTTP_OK;
}

int CHttpSocket::ParseURL() {
    const std::optional<HttpUrl> url =
        m_szURL.size() <= kMaxUrlChars ? ParseHttpUrl(m_szURL) : std::nullopt;
    if (!url || url->host.size() > kMaxHostChars || url->target.size() > kMaxObjectChars) {
        log_write(LOG_ERROR, kModule, "ParseURL() %s", m_szURL.c_str());
        return HTTP_ERR_URL;
    }
    m_szHost = url->host;
    m_nPort = url->port;
    m_szObject = url->target;
    return HTTP_OK;
}

int CHttpSocket::Socket() {
    m_socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        log_write(LOG_ERROR, kModule, "Socket() 创建socekt失败");
        return HTTP_ERR_SOCKET;
    }
    const int on = 1;
    if (setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        log_write(LOG_ERROR, kModule, "Socket SO_REUSEADDR 失败");
        return HTTP_ERR_SOCKET;
    }
    // Each request is one small write followed by a wait for the answer.
    if (setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        log_write(LOG_ERROR, kModule, "Socket TCP_NODELAY 失败");
        return HTTP_ERR_SOCKET;
    }
    return HTTP_OK;
}

int CHttpSocket::ConnectHost() {
    const std::string& target = m_szAddress.empty() ? m_szHost : m_szAddress;
    in_addr address{};
    if (IsNumericText(target)) {
        if (inet_pton(AF_INET, target.c_str(), &address) != 1) address.s_addr = INADDR_NONE;
    } else if (const std::optional<in_addr> found = LookUpIPv4(target)) {
        address = *found;
    } else {
        log_write(LOG_ERROR, kModule, "ConnectHost() %s gethostbyname error", target.c_str());
        return HTTP_ERR_CONNECT;
    }

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(m_nPort);
    peer.sin_addr = address;
    if (address.s_addr == INADDR_NONE ||
        connect(m_socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
        log_write(LOG_ERROR, kModule, "ConnectHost() %s %d.%d.%d.%d connect error isproxy %d",
                  target.c_str(), bytes[0], bytes[1], bytes[2], bytes[3], 0);
        return HTTP_ERR_CONNECT;
    }

    timeval timeout{};
    timeout.tv_sec = m_receiveTimeoutMs / 1000;
    timeout.tv_usec = (m_receiveTimeoutMs % 1000) * 1000;
    if (setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        log_write(LOG_ERROR, kModule, "SO_RCVTIMEO setsockopt()失败");
        return HTTP_ERR_CONNECT;
    }
    m_connectedTo = ConnectionTarget();
    return HTTP_OK;
}

int CHttpSocket::SendRequest() {
    std::string request = "GET " + m_szObject + " HTTP/1.1\r\n";
    request += "Host:" + m_szHost + "\r\n";
    request += "Accept:*/*\r\n";
    request += "User-Agent:Mozilla/5.0 (compatible; MSIE 7.0; Windows NT 5.1)\r\n";
    request += "Connection:Keep-Alive\r\n";
    if (m_nRangeStart > 0) request += "Range: bytes=" + std::to_string(m_nRangeStart) + "-\r\n";
    request += "Cache-Control:no-cache\r\n\r\n";

    size_t sent = 0;
    while (sent < request.size()) {
        // A connection the server has closed must fail the send, not raise SIGPIPE.
        const ssize_t count =
            send(m_socket, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            log_write(LOG_ERROR, kModule, "SendRequest() send1发送请求包失败");
            return HTTP_ERR_SEND;
        }
        sent += static_cast<size_t>(count);
    }
    return HTTP_OK;
}

int CHttpSocket::RecvHttpHeadRes() {
    m_szHead.clear();
    // One byte per read, so that no byte of the body is taken with the head.
    while (true) {
        char byte = 0;
        const long count = Receive(&byte, 1);
        if (count <= 0) {
            log_write(LOG_ERROR, kModule, "RecvHttpHeadRes:recv error len %d", int(count));
            return HTTP_ERR_HEAD;
        }
        m_szHead += byte;
        if (m_szHead.ends_with("\r\n\r\n")) return HTTP_OK;
        if (m_szHead.size() >= kMaxHeadBytes) {
            log_write(LOG_ERROR, kModule, "RecvHttpHeadRes:bEndRecv == false error");
            return HTTP_ERR_HEAD;
        }
    }
}

int CHttpSocket::GetHttpFileSize() {
    m_nContentLength = -1;
    m_head = ParseResponseHead(m_szHead);
    if (IsAcceptedAnswer()) {
        m_nContentLength = m_head.contentLength;
        if (m_nContentLength < 0 && !m_head.chunked) {
            log_write(LOG_ERROR, kModule, "GetHttpFileSize() 失败,无法获取长度");
        }
        m_pSink->OnFileSize(m_nContentLength);
        return HTTP_OK;
    }
    log_write(LOG_ERROR, kModule, "GetHttpFileSize() 失败");
    DumpErrorHead();
    return CheckRedirect() ? HTTP_REDIRECT : HTTP_ERR_REFUSED;
}

bool CHttpSocket::CheckRedirect() {
    if ((m_head.status != 301 && m_head.status != 302) || !m_head.location) return false;
    m_szLocation = *m_head.location;
    return true;
}

int CHttpSocket::RecvHttpFile() {
    // The server ignored the Range and sends the whole resource.
    if (m_head.status == 200 && m_nRangeStart > 0) {
        if (int result = RestartOutput()) return result;
    }
    int result = HTTP_OK;
    if (m_head.chunked) {
        result = ReceiveChunked();
    } else if (m_nContentLength > 0) {
        result = ReceiveWithLength();
    } else if (m_nContentLength < 0) {
        result = ReceiveUntilClose();
    }
    if (result != HTTP_OK) return result;
    // Bytes still in the stdio buffer must reach the disk before success is told.
    if (m_pFile && fflush(m_pFile) != 0) return ReportWriteError();
    if (m_head.connectionClose) CloseConnection();
    return HTTP_OK;
}

bool CHttpSocket::IsAcceptedAnswer() const {
    if (m_head.problem != HeadProblem::None) return false;
    if (m_head.status == 200) return true;
    return m_head.status == 206 && m_head.rangeFirst == std::max<int64_t>(m_nRangeStart, 0);
}

bool CHttpSocket::CanReuseConnection() const {
    // A clock that went backwards counts as no time passed.
    const int64_t idle = std::max<int64_t>(m_clock() - m_tLastActive, 0);
    return idle <= kReuseSeconds && m_connectedTo == ConnectionTarget() && !PeerHasSpoken();
}

// An idle connection with something to read was closed by the server or holds
// stray bytes that would be taken for the next answer.
bool CHttpSocket::PeerHasSpoken() const {
    pollfd idle{m_socket, POLLIN, 0};
    return poll(&idle, 1, 0) != 0;
}

std::string CHttpSocket::ConnectionTarget() const {
    return (m_szAddress.empty() ? m_szHost : m_szAddress) + ":" + std::to_string(m_nPort);
}

void CHttpSocket::CloseConnection() {
    if (m_socket < 0) return;
    close(m_socket);
    m_socket = -1;
    m_connectedTo.clear();
}

void CHttpSocket::DumpErrorHead() {
    mkdir("errorlog", 0755);
    std::uniform_int_distribution<int> number(0, kDumpNameRange - 1);
    char name[64];
    snprintf(name, sizeof name, "errorlog/errorHead_%d.dat", number(m_dumpNames));
    FILE* dump = fopen(name, "wb");
    if (!dump) return;
    fprintf(dump, "GetFiled,HttpHeadResError:ReqFile[%s]\n", m_szObject.c_str());
    fwrite(m_szHead.data(), 1, m_szHead.size(), dump);
    fclose(dump);
}

// The caller appends to a file that held rangeStart bytes of the resource;
// they go, so the whole resource is written from its start.
int CHttpSocket::RestartOutput() {
    if (!m_pFile) return HTTP_OK;
    if (fflush(m_pFile) != 0) return ReportWriteError();
    struct stat info {};
    const int descriptor = fileno(m_pFile);
    if (fstat(descriptor, &info) != 0) return ReportWriteError();
    if (!S_ISREG(info.st_mode)) return HTTP_OK;
    const off_t start = std::max<off_t>(info.st_size - m_nRangeStart, 0);
    if (ftruncate(descriptor, start) != 0 || fseeko(m_pFile, start, SEEK_SET) != 0) {
        return ReportWriteError();
    }
    return HTTP_OK;
}

int CHttpSocket::ReceiveWithLength() {
    int64_t received = 0;
    while (received < m_nContentLength) {
        // Never read past the body: what follows belongs to no one.
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(m_buffer.size(), m_nContentLength - received));
        const long count = Receive(m_buffer.data(), wanted);
        if (count <= 0) return ReportBodyBroken(count, received);
        received += count;
        if (int result = DeliverBody(m_buffer.data(), size_t(count), received)) return result;
    }
    return HTTP_OK;
}

int CHttpSocket::ReceiveChunked() {
    ChunkedDecoder decoder;
    int64_t received = 0;
    while (true) {
        const long count = Receive(m_buffer.data(), m_buffer.size());
        if (count <= 0) return ReportBodyBroken(count, received);
        const ChunkedDecoder::Step step = decoder.Decode(m_buffer.data(), size_t(count));
        if (step.content > 0) {
            received += int64_t(step.content);
            if (int result = DeliverBody(m_buffer.data(), step.content, received)) return result;
        }
        switch (step.status) {
            case ChunkedDecoder::Status::NeedMore:
                break;
            case ChunkedDecoder::Status::Malformed:
                log_write(LOG_ERROR, kModule, "RecvHttpFile() 分块格式错误");
                return HTTP_ERR_BODY;
            case ChunkedDecoder::Status::Done:
                if (step.leftover > 0) CloseConnection();
                return HTTP_OK;
        }
    }
}

int CHttpSocket::ReceiveUntilClose() {
    int64_t received = 0;
    while (true) {
        const long count = Receive(m_buffer.data(), m_buffer.size());
        if (count < 0) return ReportBodyBroken(count, received);
        if (count == 0) {
            CloseConnection();
            return HTTP_OK;
        }
        received += count;
        if (int result = DeliverBody(m_buffer.data(), size_t(count), received)) return result;
    }
}

int CHttpSocket::DeliverBody(const char* data, size_t size, int64_t received) {
    m_nTotalRecv.fetch_add(int64_t(size), std::memory_order_relaxed);
    if (m_pFile && fwrite(data, 1, size, m_pFile) != size) return ReportWriteError();
    m_pSink->OnRecvData(data, static_cast<int32_t>(size), received, m_nContentLength);
    m_tLastActive = m_clock();
    return HTTP_OK;
}

// A failed receive (count < 0) or a connection closed before the body's end
// (count 0); m_nContentLength is -1 for a chunked body.
int CHttpSocket::ReportBodyBroken(long count, int64_t received) {
    if (count < 0) {
        log_write(LOG_ERROR, kModule, "RecvHttpFile() recv错误");
    } else {
        log_write(LOG_ERROR, kModule, "RecvHttpFile() 连接提前关闭 %lld/%lld",
                  static_cast<long long>(received), static_cast<long long>(m_nContentLength));
    }
    return HTTP_ERR_BODY;
}

int CHttpSocket::ReportWriteError() {
    log_write(LOG_ERROR, kModule, "RecvHttpFile() 写文件失败 %s", strerror(errno));
    return HTTP_ERR_BODY;
}

long CHttpSocket::Receive(char* buffer, size_t size) const {
    while (true) {
        const ssize_t count = recv(m_socket, buffer, size, 0);
        if (count >= 0 || errno != EINTR) return count;
    }
}
