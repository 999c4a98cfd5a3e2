#include "platform/posix/ConnectionBio.h"

#include <algorithm>
#include <cerrno>
#include <climits>

namespace platform {

namespace {

constexpr size_t kHeaderBytes = 5;
// The header's bytes that hold the body's length, high byte first.
constexpr size_t kLengthFrom = 3;

ConnectionBio& Self(BIO* bio) {
    return *static_cast<ConnectionBio*>(BIO_get_data(bio));
}

}  // namespace

void RecordBoundary::Follow(const unsigned char* bytes, size_t size) {
    while (size > 0) {
        if (m_bodyLeft > 0) {
            const size_t taken = std::min(size, m_bodyLeft);
            m_bodyLeft -= taken;
            bytes += taken;
            size -= taken;
            continue;
        }
        if (m_headerSeen >= kLengthFrom) m_length = static_cast<uint16_t>(m_length << 8 | *bytes);
        ++bytes;
        --size;
        if (++m_headerSeen == kHeaderBytes) {
            m_bodyLeft = m_length;
            m_headerSeen = 0;
            m_length = 0;
        }
    }
}

BIO* ConnectionBio::NewBio() {
    // Made on first use, which C++ makes thread-safe, and kept for the
    // process: any BIO made from it may live that long.
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "connection");
        if (made != nullptr &&
            (BIO_meth_set_read_ex(made, &Read) != 1 || BIO_meth_set_write_ex(made, &Write) != 1 ||
             BIO_meth_set_ctrl(made, &Control) != 1)) {
            BIO_meth_free(made);
            made = nullptr;
        }
        return made;
    }();
    BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
    if (bio == nullptr) return nullptr;
    BIO_set_data(bio, this);
    BIO_set_init(bio, 1);
    return bio;
}

void ConnectionBio::WaitUntil(Clock::time_point deadline) {
    m_deadline = deadline;
    m_waiting = true;
}

int ConnectionBio::Read(BIO* bio, char* data, size_t size, size_t* readBytes) {
    ConnectionBio& self = Self(bio);
    BIO_clear_retry_flags(bio);
    self.m_timedOut = false;
    if (!self.m_waiting) {
        BIO_set_retry_read(bio);
        return 0;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(self.m_deadline - Clock::now());
    const long count = self.m_connection.Receive(
        data, size, static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX)));
    if (count > 0) {
        self.m_records.Follow(reinterpret_cast<const unsigned char*>(data), size_t(count));
        *readBytes = size_t(count);
        return 1;
    }
    if (count == 0) {
        self.m_ended = true;
    } else if (self.m_connection.TimedOut()) {
        self.m_timedOut = true;
        BIO_set_retry_read(bio);
    } else {
        self.m_error = errno;
    }
    return 0;
}

int ConnectionBio::Write(BIO* bio, const char* data, size_t size, size_t* written) {
    ConnectionBio& self = Self(bio);
    BIO_clear_retry_flags(bio);
    if (!self.m_connection.Send(data, size)) {
        self.m_error = errno;
        return 0;
    }
    *written = size;
    return 1;
}

long ConnectionBio::Control(BIO* bio, int command, long, void*) {
    switch (command) {
        case BIO_CTRL_FLUSH:
            return 1;  // every write has gone out already
        case BIO_CTRL_EOF:
            return Self(bio).m_ended ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace platform
