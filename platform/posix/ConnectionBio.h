// An OpenSSL BIO over an IConnection, so that TLS runs over whatever carries
// its bytes. Reads wait no longer than the deadline the owner sets, and the
// bytes read are followed through TLS's record framing, so that the end of the
// stream can be told from a cut.
#pragma once

#include <openssl/bio.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "platform/Transport.h"

namespace platform {

// Where the bytes from the server stand in TLS's records (a five-byte header
// whose last two bytes give the length of the body that follows).
class RecordBoundary {
public:
    void Follow(const unsigned char* bytes, size_t size);
    // True when the bytes so far are whole records.
    bool Between() const { return m_headerSeen == 0 && m_bodyLeft == 0; }

private:
    size_t m_headerSeen = 0;  // bytes of the current header seen
    size_t m_bodyLeft = 0;    // bytes of the current record still to come
    uint16_t m_length = 0;    // the current header's length field, as it comes
};

class ConnectionBio {
public:
    using Clock = std::chrono::steady_clock;

    explicit ConnectionBio(IConnection& connection) : m_connection(connection) {}
    ConnectionBio(const ConnectionBio&) = delete;
    ConnectionBio& operator=(const ConnectionBio&) = delete;

    // A new BIO over this object (nullptr when OpenSSL has no memory), to be
    // handed to SSL_set_bio; this object must outlive it.
    BIO* NewBio();

    // Reads wait for the connection until deadline, then ask to be retried.
    void WaitUntil(Clock::time_point deadline);
    // Reads ask to be retried at once, without touching the connection:
    // OpenSSL goes on with what it already holds.
    void NoWaiting() { m_waiting = false; }

    // The last read asked to be retried because the time ran out.
    bool TimedOut() const { return m_timedOut; }
    // The peer has ended the connection.
    bool Ended() const { return m_ended; }
    // The bytes read so far are whole records.
    bool BetweenRecords() const { return m_records.Between(); }
    // errno of the last read or write the connection failed; 0 when none.
    int Error() const { return m_error; }

private:
    static int Read(BIO* bio, char* data, size_t size, size_t* readBytes);
    static int Write(BIO* bio, const char* data, size_t size, size_t* written);
    static long Control(BIO* bio, int command, long number, void* pointer);

    // All fields belong to the thread that uses the connection, like the
    // connection itself.
    IConnection& m_connection;
    Clock::time_point m_deadline;
    bool m_waiting = false;
    bool m_timedOut = false;
    bool m_ended = false;
    int m_error = 0;
    RecordBoundary m_records;
};

}  // namespace platform
