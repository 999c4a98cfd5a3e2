#include "net/HttpSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "net/AnswerVerdict.h"
#include "net/ChunkedDecoder.h"
#include "net/Url.h"
#include "platform/Files.h"
#include "support/Log.h"
#include "support/LogText.h"

namespace {

constexpr const char* kModule = "CHttpSocket";

// Capacities of the request's parts; longer ones are refused as uncrackable.
constexpr size_t kMaxUrlChars = 1023;
constexpr size_t kMaxHostChars = 63;
constexpr size_t kMaxObjectChars = 259;
constexpr size_t kMaxAddressChars = 127;

constexpr int64_t kReuseSeconds = 10;
// One body read: large, because the socket then hands over what has piled up
// in few calls (a 1 GiB download on loopback takes half the time it takes in
// 64 KiB reads; larger reads gain nothing more), and fixed, so that memory
// stays flat in the file's size.
constexpr size_t kBodyReadBytes = 256 * 1024;
// One move of body bytes straight into the file: these need no buffer of
// ours, and moves of 1 MiB take three quarters of the time of 256 KiB ones.
constexpr size_t kBodyMoveBytes = 1024 * 1024;

// Digits and dots only (or nothing) is taken as an address, not a name.
bool IsNumericText(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

}  // namespace

CHttpSocket::CHttpSocket(IDownLoadThread* progress, const platform::Services& services,
                         HttpTimeouts timeouts, platform::TlsSettings tls)
    : m_pSink(progress),
      m_services(services),
      m_timeouts(timeouts),
      m_tlsSettings(std::move(tls)),
      m_tcp(platform::TcpTransport()) {}

CHttpSocket::~CHttpSocket() {
    CloseConnection();
}

HttpResult CHttpSocket::RequestFile(const std::string& url, const std::string& address,
                                    int64_t rangeStart, IBodySink* body) {
    return Request(url, address, rangeStart, body, false);
}

HttpResult CHttpSocket::RequestSmallFile(const std::string& url, const std::string& address,
                                         IBodySink* body) {
    return Request(url, address, 0, body, true);
}

HttpResult CHttpSocket::Request(const std::string& url, const std::string& address,
                                int64_t rangeStart, IBodySink* body, bool small) {
    m_bSmall = small;
    m_requestStartTick = m_services.clock->TickMs();
    m_szURL = url;
    m_nRangeStart = rangeStart;
    m_pBody = body;
    if (const HttpResult result = ParseURL(); result != HttpResult::Ok) return result;
    m_szAddress = address.substr(0, kMaxAddressChars);

    if (m_connection && !CanReuseConnection()) CloseConnection();
    HttpResult result = HttpResult::Ok;
    if (!m_connection) result = ConnectHost();
    if (result == HttpResult::Ok) result = SendRequest();
    if (result == HttpResult::Ok) result = RecvHttpHeadRes();
    if (result == HttpResult::Ok) result = GetHttpFileSize();
    if (result == HttpResult::Ok) result = RecvHttpFile();
    if (result != HttpResult::Ok) {
        CloseConnection();
        return result;
    }
    m_tLastActive = m_services.clock->WallSeconds();
    return HttpResult::Ok;
}

HttpResult CHttpSocket::ParseURL() {
    const std::optional<HttpUrl> url =
        m_szURL.size() <= kMaxUrlChars ? ParseHttpUrl(m_szURL) : std::nullopt;
    if (!url || url->host.size() > kMaxHostChars || url->target.size() > kMaxObjectChars) {
        log_write(LOG_ERROR, kModule, "ParseURL() %s", EscapeControlBytes(m_szURL).c_str());
        return HttpResult::BadUrl;
    }
    m_bSecure = url->secure;
    m_szHost = url->host;
    m_nPort = url->port;
    m_szObject = url->target;
    return HttpResult::Ok;
}

HttpResult CHttpSocket::ConnectHost() {
    const std::string& target = m_szAddress.empty() ? m_szHost : m_szAddress;
    platform::IPv4Address address = platform::kNoIPv4Address;
    if (IsNumericText(target)) {
        address = platform::ParseDottedIPv4(target).value_or(platform::kNoIPv4Address);
    } else if (const std::optional<platform::IPv4Address> found = m_services.lookUpIPv4(target)) {
        address = *found;
    } else {
        log_write(LOG_ERROR, kModule, "ConnectHost() %s gethostbyname error",
                  EscapeControlBytes(target).c_str());
        return HttpResult::NoConnection;
    }

    // An https URL goes over TLS or not at all: never over plain HTTP.
    if (m_bSecure && !m_tls) m_tls = platform::TlsTransport(m_tlsSettings);
    platform::ITransport& transport = m_bSecure ? *m_tls : *m_tcp;
    platform::ConnectFailure failure;
    m_connection = transport.Connect(
        platform::ConnectTarget{address, m_nPort, m_szHost},
        platform::ConnectTimes{m_timeouts.connectMs, m_timeouts.receiveMs}, failure);
    if (!m_connection) return ReportConnectFailure(failure, target, address);
    m_connectedTo = ConnectionTarget();
    return HttpResult::Ok;
}

HttpResult CHttpSocket::ReportConnectFailure(const platform::ConnectFailure& failure,
                                             const std::string& target,
                                             const platform::IPv4Address& address) {
    switch (failure.step) {
        case platform::ConnectStep::Socket:
            log_write(LOG_ERROR, kModule, "Socket() 创建socekt失败");
            return HttpResult::NoSocket;
        case platform::ConnectStep::ReuseAddress:
            log_write(LOG_ERROR, kModule, "Socket SO_REUSEADDR 失败");
            return HttpResult::NoSocket;
        case platform::ConnectStep::NoDelay:
            log_write(LOG_ERROR, kModule, "Socket TCP_NODELAY 失败");
            return HttpResult::NoSocket;
        case platform::ConnectStep::ReceiveTimeout:
            log_write(LOG_ERROR, kModule, "SO_RCVTIMEO setsockopt()失败");
            return HttpResult::NoConnection;
        case platform::ConnectStep::Connect:
        case platform::ConnectStep::Secure:
            break;
    }
    // A connection made to a server that could not prove who it is says why.
    const std::string reason = failure.step == platform::ConnectStep::Secure
                                   ? ": " + EscapeControlBytes(failure.reason)
                                   : std::string();
    const auto& bytes = address.octets;
    log_write(LOG_ERROR, kModule, "ConnectHost() %s %d.%d.%d.%d connect error isproxy %d%s",
              EscapeControlBytes(target).c_str(), bytes[0], bytes[1], bytes[2], bytes[3], 0,
              reason.c_str());
    return HttpResult::NoConnection;
}

HttpResult CHttpSocket::SendRequest() {
    std::string request = "GET " + m_szObject + " HTTP/1.1\r\n";
    request += "Host:" + m_szHost + "\r\n";
    request += "Accept:*/*\r\n";
    request += "User-Agent:Mozilla/5.0 (compatible; MSIE 7.0; Windows NT 5.1)\r\n";
    request += "Connection:Keep-Alive\r\n";
    if (m_nRangeStart > 0) request += "Range: bytes=" + std::to_string(m_nRangeStart) + "-\r\n";
    request += "Cache-Control:no-cache\r\n\r\n";

    if (!m_connection->Send(request.data(), request.size())) {
        log_write(LOG_ERROR, kModule, "SendRequest() send1发送请求包失败");
        return HttpResult::SendFailed;
    }
    return HttpResult::Ok;
}

HttpResult CHttpSocket::RecvHttpHeadRes() {
    m_szHead.clear();
    const uint32_t headStart = m_services.clock->TickMs();
    // One byte per read, so that no byte of the body is taken with the head.
    while (true) {
        // A head that trickles in byte by byte still ends within its bound.
        const int wait =
            std::min({m_timeouts.receiveMs, m_timeouts.headTotalMs - ElapsedMs(headStart),
                      SmallRequestLeftMs()});
        if (wait <= 0) {
            log_write(LOG_ERROR, kModule, "RecvHttpHeadRes:head not complete after %d ms",
                      ElapsedMs(headStart));
            return HttpResult::BadHead;
        }
        char byte = 0;
        const long count = m_connection->Receive(&byte, 1, wait);
        // A wait cut short by a bound ends at the bound's check above.
        if (count < 0 && m_connection->TimedOut() && wait < m_timeouts.receiveMs) continue;
        if (count <= 0) {
            log_write(LOG_ERROR, kModule, "RecvHttpHeadRes:recv error len %d", int(count));
            return HttpResult::BadHead;
        }
        m_szHead += byte;
        if (m_szHead.ends_with("\r\n\r\n")) return HttpResult::Ok;
        if (m_szHead.size() >= kMaxHeadBytes) {
            log_write(LOG_ERROR, kModule, "RecvHttpHeadRes:bEndRecv == false error");
            return HttpResult::BadHead;
        }
    }
}

HttpResult CHttpSocket::GetHttpFileSize() {
    m_nContentLength = -1;
    m_head = ParseResponseHead(m_szHead);
    const AnswerVerdict verdict = ClassifyAnswer(m_head, m_nRangeStart);
    switch (verdict.kind) {
        case AnswerVerdict::Kind::Accepted:
        case AnswerVerdict::Kind::RestartFromZero:
            m_nContentLength = m_head.contentLength;
            if (m_nContentLength < 0 && !m_head.chunked) {
                log_write(LOG_ERROR, kModule, "GetHttpFileSize() 失败,无法获取长度");
            }
            m_pSink->OnFileSize(m_nContentLength);
            if (m_pBody && m_pBody->Capacity() >= 0 && m_nContentLength > m_pBody->Capacity()) {
                return RefuseLongBody();
            }
            // The body is written from where the answer says it starts.
            if (m_pBody && !m_pBody->Restart(verdict.bodyStart)) return ReportWriteError();
            return HttpResult::Ok;
        case AnswerVerdict::Kind::Redirect:
            log_write(LOG_ERROR, kModule, "GetHttpFileSize() 失败");
            m_szLocation = verdict.location;
            return HttpResult::Redirect;
        case AnswerVerdict::Kind::Refused:
            break;
    }
    log_write(LOG_ERROR, kModule, "GetHttpFileSize() 失败");
    return HttpResult::Refused;
}

HttpResult CHttpSocket::RecvHttpFile() {
    // Made by the first read and held only while a body comes in: between
    // downloads, and for bytes moved straight into the file, the launcher
    // keeps no buffer of its own.
    const struct ReleaseBuffer {
        std::vector<char>& buffer;
        ~ReleaseBuffer() { std::vector<char>().swap(buffer); }
    } release{m_buffer};
    m_bodyStop = BodyStop::None;
    m_bMoveBody = true;
    m_windowStartTick = m_services.clock->TickMs();
    m_windowBytes = 0;
    HttpResult result = HttpResult::Ok;
    if (m_head.chunked) {
        result = ReceiveChunked();
    } else if (m_nContentLength > 0) {
        result = ReceiveWithLength();
    } else if (m_nContentLength < 0) {
        result = ReceiveUntilClose();
    }
    if (result != HttpResult::Ok) return result;
    // What is still buffered must be kept before success is told.
    if (m_pBody && !m_pBody->Finish()) return ReportWriteError();
    if (m_head.connectionClose) CloseConnection();
    return HttpResult::Ok;
}

bool CHttpSocket::CanReuseConnection() {
    // A clock that went backwards counts as no time passed.
    const int64_t idle = std::max<int64_t>(m_services.clock->WallSeconds() - m_tLastActive, 0);
    // An idle connection with something to read was closed by the server or
    // holds stray bytes that would be taken for the next answer.
    return idle <= kReuseSeconds && m_connectedTo == ConnectionTarget() &&
           m_connection->MayBeReused();
}

// A connection carries only requests of the same scheme, host and port (and
// to the same address).
std::string CHttpSocket::ConnectionTarget() const {
    return std::string(m_bSecure ? "https://" : "http://") + m_szHost + "@" +
           (m_szAddress.empty() ? m_szHost : m_szAddress) + ":" + std::to_string(m_nPort);
}

void CHttpSocket::CloseConnection() {
    m_connection.reset();
    m_connectedTo.clear();
}

// A body announced longer than the sink keeps is not read at all.
HttpResult CHttpSocket::RefuseLongBody() {
    log_write(LOG_ERROR, kModule, "RecvHttpFile() 正文过长 %lld > %lld",
              static_cast<long long>(m_nContentLength),
              static_cast<long long>(m_pBody->Capacity()));
    return HttpResult::BodyFailed;
}

// How much one read may take at most: for a sink with a capacity no more than
// one byte beyond it, which it then refuses.
size_t CHttpSocket::ReadSize(int64_t received) const {
    const int64_t capacity = m_pBody ? m_pBody->Capacity() : -1;
    if (capacity < 0) return kBodyMoveBytes;
    return static_cast<size_t>(
        std::clamp<int64_t>(capacity - received + 1, 1, static_cast<int64_t>(kBodyMoveBytes)));
}

HttpResult CHttpSocket::ReceiveWithLength() {
    int64_t received = 0;
    while (received < m_nContentLength) {
        // Never read past the body: what follows belongs to no one.
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(ReadSize(received), m_nContentLength - received));
        const char* data = nullptr;
        const long count = ReceiveBody(wanted, true, &data);
        if (count <= 0) return ReportBodyBroken(count, received);
        received += count;
        const HttpResult result = DeliverBody(data, size_t(count), received);
        if (result != HttpResult::Ok) return result;
    }
    return HttpResult::Ok;
}

HttpResult CHttpSocket::ReceiveChunked() {
    ChunkedDecoder decoder;
    int64_t received = 0;
    while (true) {
        // The chunks' framing is read here: these bytes always pass through.
        const char* data = nullptr;
        const long count = ReceiveBody(ReadSize(received), false, &data);
        if (count <= 0) return ReportBodyBroken(count, received);
        const ChunkedDecoder::Step step = decoder.Decode(m_buffer.data(), size_t(count));
        if (step.content > 0) {
            received += int64_t(step.content);
            const HttpResult result = DeliverBody(m_buffer.data(), step.content, received);
            if (result != HttpResult::Ok) return result;
        }
        switch (step.status) {
            case ChunkedDecoder::Status::NeedMore:
                break;
            case ChunkedDecoder::Status::Malformed:
                log_write(LOG_ERROR, kModule, "RecvHttpFile() 分块格式错误");
                return HttpResult::BodyFailed;
            case ChunkedDecoder::Status::Done:
                if (step.leftover > 0) CloseConnection();
                return HttpResult::Ok;
        }
    }
}

HttpResult CHttpSocket::ReceiveUntilClose() {
    int64_t received = 0;
    while (true) {
        const char* data = nullptr;
        const long count = ReceiveBody(ReadSize(received), true, &data);
        if (count < 0) return ReportBodyBroken(count, received);
        if (count == 0) {
            CloseConnection();
            return HttpResult::Ok;
        }
        received += count;
        const HttpResult result = DeliverBody(data, size_t(count), received);
        if (result != HttpResult::Ok) return result;
    }
}

HttpResult CHttpSocket::DeliverBody(const char* data, size_t size, int64_t received) {
    m_nTotalRecv.fetch_add(int64_t(size), std::memory_order_relaxed);
    // Bytes moved straight into the body's file (data null) are only counted.
    if (m_pBody && !(data ? m_pBody->Write(data, size) : m_pBody->Appended(size))) {
        return ReportWriteError();
    }
    m_pSink->OnRecvData(data, static_cast<int32_t>(size), received, m_nContentLength);
    m_tLastActive = m_services.clock->WallSeconds();
    return HttpResult::Ok;
}

// A failed receive (count < 0) or a connection closed before the body's end
// (count 0); m_nContentLength is -1 for a chunked body.
HttpResult CHttpSocket::ReportBodyBroken(long count, int64_t received) {
    if (m_bodyStop == BodyStop::FileRefused) {
        errno = m_nFileError;
        return ReportWriteError();
    }
    if (m_bodyStop == BodyStop::TooSlow) {
        log_write(
            LOG_ERROR, kModule, "RecvHttpFile() slower than %lld bytes/s over %d ms: %lld/%lld",
            static_cast<long long>(m_timeouts.minimumBytesPerSecond), m_timeouts.speedWindowMs,
            static_cast<long long>(received), static_cast<long long>(m_nContentLength));
    } else if (m_bodyStop == BodyStop::Overdue) {
        log_write(LOG_ERROR, kModule, "RecvHttpFile() not complete after %d ms: %lld/%lld",
                  ElapsedMs(m_requestStartTick), static_cast<long long>(received),
                  static_cast<long long>(m_nContentLength));
    } else if (count < 0) {
        log_write(LOG_ERROR, kModule, "RecvHttpFile() recv错误");
    } else {
        log_write(LOG_ERROR, kModule, "RecvHttpFile() 连接提前关闭 %lld/%lld",
                  static_cast<long long>(received), static_cast<long long>(m_nContentLength));
    }
    return HttpResult::BodyFailed;
}

HttpResult CHttpSocket::ReportWriteError() {
    log_write(LOG_ERROR, kModule, "RecvHttpFile() 写文件失败 %s",
              platform::SystemErrorText(errno).c_str());
    return HttpResult::BodyFailed;
}

long CHttpSocket::ReceiveBody(size_t size, bool mayMove, const char** data) {
    const uint32_t readStart = m_services.clock->TickMs();
    while (true) {
        if (m_bSmall && SmallRequestLeftMs() <= 0) {
            m_bodyStop = BodyStop::Overdue;
            return -1;
        }
        // A large body is measured in windows: too few bytes in one ends it,
        // however steadily they trickle in.
        const int windowLeftMs = m_timeouts.speedWindowMs - ElapsedMs(m_windowStartTick);
        if (!m_bSmall && windowLeftMs <= 0) {
            const int64_t wanted =
                m_timeouts.minimumBytesPerSecond * m_timeouts.speedWindowMs / 1000;
            if (m_windowBytes < wanted) {
                m_bodyStop = BodyStop::TooSlow;
                return -1;
            }
            m_windowStartTick = m_services.clock->TickMs();
            m_windowBytes = 0;
            continue;
        }
        const int readLeftMs = m_timeouts.receiveMs - ElapsedMs(readStart);
        if (readLeftMs <= 0) return -1;
        const int wait = std::min(readLeftMs, m_bSmall ? SmallRequestLeftMs() : windowLeftMs);
        // Bytes no stage needs to see are moved straight into the file.
        platform::File* file =
            mayMove && m_bMoveBody && m_pBody ? m_pBody->DirectTarget() : nullptr;
        long count = 0;
        if (file) {
            count = m_connection->ReceiveInto(*file, size, wait);
            *data = nullptr;
        } else {
            if (m_buffer.empty()) m_buffer.resize(kBodyReadBytes);
            count = m_connection->Receive(m_buffer.data(), std::min(size, m_buffer.size()), wait);
            *data = m_buffer.data();
        }
        if (count == platform::IConnection::kCannotMove) {
            m_bMoveBody = false;
            continue;
        }
        if (count == platform::IConnection::kFileRefused) {
            m_nFileError = errno;
            m_pBody->AppendFailed(m_nFileError);
            m_bodyStop = BodyStop::FileRefused;
            return -1;
        }
        // A wait cut short by a bound ends at the bound's check above.
        if (count < 0 && m_connection->TimedOut()) continue;
        if (count > 0) m_windowBytes += count;
        return count;
    }
}

int CHttpSocket::ElapsedMs(uint32_t tick) const {
    // The tick wraps like a 32-bit counter; the difference does not care.
    return static_cast<int>(std::min<uint32_t>(m_services.clock->TickMs() - tick, INT32_MAX));
}

int CHttpSocket::SmallRequestLeftMs() const {
    return m_bSmall ? m_timeouts.smallTotalMs - ElapsedMs(m_requestStartTick)
                    : m_timeouts.receiveMs;
}
