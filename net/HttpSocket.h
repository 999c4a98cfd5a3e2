// The launcher's own HTTP/1.1 client over the platform's transport: fetches one URL at a time
// with GET, optionally from a byte offset, streams the body into a body sink
// and reports every chunk to a progress sink. The connection is kept and
// reused by a request that follows within 10 seconds of a complete body.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/BodySink.h"
#include "net/IDownLoadThread.h"
#include "net/ResponseHead.h"
#include "platform/Services.h"
#include "platform/Transport.h"

// Results of RequestFile. The numbers are the ones the launcher has always
// reported, and stay so.
enum class HttpResult : int {
    Ok = 0,
    BadUrl = 1,        // the URL cannot be split into its parts
    NoSocket = 2,      // no socket, or its options cannot be set
    NoConnection = 3,  // no address, no connection, or no receive time-out
    SendFailed = 4,    // the request cannot be sent
    BadHead = 5,       // no complete head of at most 1024 bytes
    Refused = 6,       // neither a usable success nor a usable redirect
    BodyFailed = 7,    // the body did not arrive whole or cannot be kept
    Redirect = 9,      // 301/302 with a Location, see Location()
};

constexpr int ResultNumber(HttpResult result) {
    return static_cast<int>(result);
}

// How long a server may take; none of them slows a fast download.
struct HttpTimeouts {
    int connectMs = 5000;      // a server that drops connection attempts costs no more
    int receiveMs = 10000;     // the longest wait for the next bytes of an answer
    int headTotalMs = 30000;   // a whole response head, however it trickles in
    int smallTotalMs = 30000;  // a whole small request (RequestSmallFile), head and body
    // A file's body that brings fewer bytes than this per second, averaged
    // over speedWindowMs, ends the request.
    int64_t minimumBytesPerSecond = 1024;
    int speedWindowMs = 30000;
};

class CHttpSocket {
public:
    // progress must outlive the client; it is called on the requesting
    // thread. services gives the clock and the resolver; tls says whom an
    // https server's certificate must chain to (the system's trust store by
    // default).
    CHttpSocket(IDownLoadThread* progress, const platform::Services& services,
                HttpTimeouts timeouts = {}, platform::TlsSettings tls = {});
    virtual ~CHttpSocket();
    CHttpSocket(const CHttpSocket&) = delete;
    CHttpSocket& operator=(const CHttpSocket&) = delete;

    // Fetches url into body (may be null), over TLS for an https URL.
    // address, when not empty, is the IPv4 address to connect to instead of
    // the URL's host; the host is still the name the server must prove. rangeStart > 0
    // asks for the resource from that offset.
    HttpResult RequestFile(const std::string& url, const std::string& address, int64_t rangeStart,
                           IBodySink* body);
    // The same for a small file (a signature beside a package): the whole
    // request must end within smallTotalMs.
    HttpResult RequestSmallFile(const std::string& url, const std::string& address,
                                IBodySink* body);
    // The target of the last redirect (result Redirect).
    const std::string& Location() const { return m_szLocation; }
    // The head of the last answer and the request target it answered, for the
    // caller's record of a refused answer; the answer's status, 0 when none
    // could be read.
    const std::string& LastHead() const { return m_szHead; }
    int LastStatus() const { return m_head.status; }
    // The Content-Length of the last accepted answer; -1 when it gave none.
    int64_t LastContentLength() const { return m_nContentLength; }
    const std::string& RequestTarget() const { return m_szObject; }
    // Body bytes received over the client's life; any thread may read it.
    int64_t TotalRecv() const { return m_nTotalRecv.load(std::memory_order_relaxed); }

private:
    HttpResult Request(const std::string& url, const std::string& address, int64_t rangeStart,
                       IBodySink* body, bool small);
    HttpResult ParseURL();
    HttpResult ConnectHost();
    HttpResult ReportConnectFailure(const platform::ConnectFailure& failure,
                                    const std::string& target,
                                    const platform::IPv4Address& address);
    HttpResult SendRequest();
    HttpResult RecvHttpHeadRes();
    HttpResult GetHttpFileSize();
    HttpResult RecvHttpFile();

    bool CanReuseConnection();
    std::string ConnectionTarget() const;
    void CloseConnection();
    HttpResult RefuseLongBody();
    size_t ReadSize(int64_t received) const;
    HttpResult ReceiveWithLength();
    HttpResult ReceiveChunked();
    HttpResult ReceiveUntilClose();
    // One part of the body to the sinks; data is null for bytes moved
    // straight into the body's file.
    HttpResult DeliverBody(const char* data, size_t size, int64_t received);
    HttpResult ReportBodyBroken(long count, int64_t received);
    HttpResult ReportWriteError();
    // One part of the body within its bounds, at most size bytes: read into
    // m_buffer, no more than it holds (*data points at it), or, when mayMove
    // and the body's sink takes it, moved straight into the sink's file
    // (*data is null). A count, 0 when the server has ended the stream, -1
    // when the read or the file failed or a bound ran out.
    long ReceiveBody(size_t size, bool mayMove, const char** data);
    // Milliseconds on the services' clock since tick.
    int ElapsedMs(uint32_t tick) const;
    // What is left of the small request's time; receiveMs when it has none.
    int SmallRequestLeftMs() const;

    // Every field below belongs to the thread that calls RequestFile, except
    // m_nTotalRecv, which other threads may read.
    IDownLoadThread* m_pSink;              // not owned
    const platform::Services& m_services;  // outlives the client
    const HttpTimeouts m_timeouts;
    const platform::TlsSettings m_tlsSettings;
    std::unique_ptr<platform::ITransport> m_tcp;  // opens plain connections
    std::unique_ptr<platform::ITransport> m_tls;  // opens https ones; made when first needed
    std::unique_ptr<platform::IConnection> m_connection;  // the open one, none when closed
    IBodySink* m_pBody = nullptr;          // the current request's body, owned by the caller
    std::string m_szURL;                   // the URL of the current request
    bool m_bSecure = false;                // the URL is https
    std::string m_szHost;                  // host name taken from the URL
    std::string m_szAddress;               // address override of the current request, or empty
    uint16_t m_nPort = 0;                  // port taken from the URL
    std::string m_szObject;                // path and query taken from the URL
    int64_t m_nRangeStart = 0;             // first byte wanted; 0 or less: the whole resource
    std::string m_szHead;                  // the bytes of the last response head
    ResponseHead m_head;                   // what the last head said
    int64_t m_nContentLength = -1;         // of the last accepted answer; -1 when none
    std::atomic<int64_t> m_nTotalRecv{0};  // only grows; relaxed is enough for a zero test
    int64_t m_tLastActive = 0;             // last body chunk or end of the last good request
    std::string m_szLocation;              // the Location of the last 301/302
    std::string m_connectedTo;             // scheme, host, target and port of the open connection
    std::vector<char> m_buffer;            // one body read, while a body comes in
    // The bounds of the current request.
    enum class BodyStop { None, TooSlow, Overdue, FileRefused };
    bool m_bSmall = false;                 // a small request, bounded as a whole
    uint32_t m_requestStartTick = 0;       // when the current request began
    uint32_t m_windowStartTick = 0;        // the current window of the speed check
    int64_t m_windowBytes = 0;             // body bytes received in that window
    BodyStop m_bodyStop = BodyStop::None;  // why the last body read gave up, if not the read
    int m_nFileError = 0;                  // the file's error when it refused moved bytes
    bool m_bMoveBody = true;               // moves into the body's file are possible
};
