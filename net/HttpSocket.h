// The launcher's own HTTP/1.1 client on TCP sockets: fetches one URL at a time
// with GET, optionally from a byte offset, streams the body into the caller's
// file and reports every chunk to a progress sink. The connection is kept and
// reused by a request that follows within 10 seconds of a complete body.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "net/IDownLoadThread.h"
#include "net/ResponseHead.h"

// Result codes of RequestFile.
enum : int {
    HTTP_OK = 0,
    HTTP_ERR_URL = 1,      // the URL cannot be split into its parts
    HTTP_ERR_SOCKET = 2,   // no socket, or its options cannot be set
    HTTP_ERR_CONNECT = 3,  // no address, no connection, or no receive time-out
    HTTP_ERR_SEND = 4,     // the request cannot be sent
    HTTP_ERR_HEAD = 5,     // no complete head of at most 1024 bytes
    HTTP_ERR_REFUSED = 6,  // neither a usable success nor a usable redirect
    HTTP_ERR_BODY = 7,     // the body did not arrive whole or cannot be written
    HTTP_REDIRECT = 9,     // 301/302 with a Location, see Location()
};

class CHttpSocket {
public:
    using Clock = std::function<int64_t()>;  // seconds since 1970

    // sink must outlive the client; it is called on the requesting thread.
    explicit CHttpSocket(IDownLoadThread* sink);
    virtual ~CHttpSocket();
    CHttpSocket(const CHttpSocket&) = delete;
    CHttpSocket& operator=(const CHttpSocket&) = delete;

    // Fetches url into file (opened by the caller for writing, positioned where
    // the body goes; may be null). address, when not empty, is the IPv4 address
    // to connect to instead of the URL's host. rangeStart > 0 asks for the
    // resource from that offset. Returns one of the result codes above.
    int RequestFile(const std::string& url, const std::string& address, int64_t rangeStart,
                    FILE* file);
    // The target of the last redirect (result 9).
    const std::string& Location() const { return m_szLocation; }
    // Body bytes received over the client's life; any thread may read it.
    int64_t TotalRecv() const { return m_nTotalRecv.load(std::memory_order_relaxed); }
    void SetClock(Clock clock);
    // Applies to connections made from now on.
    void SetReceiveTimeoutMs(int ms);

private:
    int ParseURL();
    int Socket();
    int ConnectHost();
    int SendRequest();
    int RecvHttpHeadRes();
    int GetHttpFileSize();
    bool CheckRedirect();
    int RecvHttpFile();

    bool IsAcceptedAnswer() const;
    bool CanReuseConnection() const;
    bool PeerHasSpoken() const;
    std::string ConnectionTarget() const;
    void CloseConnection();
    void DumpErrorHead();
    int RestartOutput();
    int ReceiveWithLength();
    int ReceiveChunked();
    int ReceiveUntilClose();
    int DeliverBody(const char* data, size_t size, int64_t received);
    int ReportBodyBroken(long count, int64_t received);
    int ReportWriteError();
    long Receive(char* buffer, size_t size) const;

    // Every field below belongs to the thread that calls RequestFile, except
    // m_nTotalRecv, which other threads may read.
    IDownLoadThread* m_pSink;              // not owned
    int m_socket = -1;                     // the open connection, -1 when none
    FILE* m_pFile = nullptr;               // the current request's output, owned by the caller
    std::string m_szURL;                   // the URL of the current request
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
    std::string m_connectedTo;             // "target:port" of the open connection
    Clock m_clock;
    int m_receiveTimeoutMs;
    std::vector<char> m_buffer;    // one body read
    std::minstd_rand m_dumpNames;  // numbers of the error-head dump files
};
