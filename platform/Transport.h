// Byte streams to a server: the download client's only way onto the network.
// A transport opens connections; a connection sends, receives with a time-out
// and tells whether it may carry another request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "platform/IPv4Address.h"

namespace platform {

// Where a connection goes. hostName is the name the server is known by (a
// secure transport sends it and checks the server's certificate against it).
struct ConnectTarget {
    IPv4Address address;
    uint16_t port = 0;
    std::string hostName;
};

struct ConnectTimes {
    int connectMs = 5000;   // to open the connection, secure hand-shake included
    int receiveMs = 10000;  // the longest wait of one read
};

// The step at which opening a connection failed.
enum class ConnectStep {
    Socket,          // no socket
    ReuseAddress,    // its address-reuse option cannot be set
    NoDelay,         // its no-delay option cannot be set
    Connect,         // no connection within the time
    ReceiveTimeout,  // its receive time-out cannot be set
    Secure,          // the secure hand-shake or the server's certificate failed
};

struct ConnectFailure {
    ConnectStep step = ConnectStep::Connect;
    std::string reason;  // the system's or the secure layer's words
};

class IConnection {
public:
    virtual ~IConnection() = default;
    // Sends all of data; false when the connection is broken (never raises a
    // signal).
    virtual bool Send(const char* data, size_t size) = 0;
    // Waits up to timeoutMs for bytes and takes at most size of them: the
    // count, 0 when the peer has ended the stream, -1 on an error or when the
    // time ran out (TimedOut tells).
    virtual long Receive(char* buffer, size_t size, int timeoutMs) = 0;
    // What ReceiveInto gives when the connection cannot move bytes that way,
    // and when the file refused them (errno says why; it may hold part).
    static constexpr long kCannotMove = -2;
    static constexpr long kFileRefused = -3;
    // Moves up to size bytes that have arrived onto the end of file without
    // passing them through the caller's memory, waiting up to timeoutMs:
    // the count, 0 when the peer has ended the stream, -1 on an error of the
    // connection or when the time ran out (TimedOut tells), kFileRefused, or
    // kCannotMove when this connection cannot: a secure one's bytes are
    // decrypted on the way.
    virtual long ReceiveInto(File& file, size_t size, int timeoutMs) = 0;
    // True when the last failed Receive or ReceiveInto ran out of time.
    virtual bool TimedOut() const = 0;
    // Whether the idle connection may carry another request: not when the
    // peer has closed it or sent bytes nobody asked for.
    virtual bool MayBeReused() = 0;
};

class ITransport {
public:
    virtual ~ITransport() = default;
    // A connection to target, or none with failure set.
    virtual std::unique_ptr<IConnection> Connect(const ConnectTarget& target,
                                                 const ConnectTimes& times,
                                                 ConnectFailure& failure) = 0;
};

// Plain TCP.
std::unique_ptr<ITransport> TcpTransport();

// Which certificates a secure transport trusts.
struct TlsSettings {
    // A file of trusted certificates (PEM), trusted alone; empty: the system's
    // trust store.
    std::string caFile;
};

// TLS 1.2 or newer over TCP. The server's certificate must chain to a trusted
// certificate and name the target's hostName (an IPv4 literal as an address);
// a name also goes out as the server name. ConnectTimes::connectMs bounds the
// TCP connection and the hand-shake together. A failed hand-shake or
// certificate fails with ConnectStep::Secure and the cause in words.
// Receive returns 0 after the server's close_notify, or after a plain TCP
// close that falls between two records; a close inside a record is an error.
std::unique_ptr<ITransport> TlsTransport(const TlsSettings& settings = {});

}  // namespace platform
