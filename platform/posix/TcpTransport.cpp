#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/Files.h"
#include "platform/Transport.h"
#include "platform/posix/FileDescriptor.h"

namespace platform {

namespace {

// poll on one descriptor until events come or timeoutMs has passed, across
// interruptions and never short of the time: > 0 ready, 0 timed out, < 0
// failed.
int PollFor(int fd, short events, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd pending{fd, events, 0};
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int ready = poll(&pending, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready > 0 || (ready < 0 && errno != EINTR)) return ready;
        if (ready == 0 && Clock::now() >= deadline) return 0;
    }
}

// Without a time-out of its own, a connect to a host that drops the attempt
// waits for the system's retries (minutes); with it the attempt fails.
bool ConnectWithin(int fd, const sockaddr_in& peer, int timeoutMs) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
    if (!connected && errno == EINPROGRESS) {
        const int ready = PollFor(fd, POLLOUT, timeoutMs);
        int error = ready == 0 ? ETIMEDOUT : errno;
        socklen_t size = sizeof error;
        if (ready > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        connected = ready > 0 && error == 0;
        errno = error;
    }
    // Reads and writes block, each with its own time-out.
    const int connectError = errno;
    const bool blockingAgain = fcntl(fd, F_SETFL, flags) == 0;
    errno = connectError;
    return blockingAgain && connected;
}

class TcpConnection final : public IConnection {
public:
    explicit TcpConnection(UniqueFd socket) : m_socket(std::move(socket)) {}

    bool Send(const char* data, size_t size) override {
        while (size > 0) {
            // A connection the server has closed must fail the send, not raise SIGPIPE.
            const ssize_t count = send(m_socket.Get(), data, size, MSG_NOSIGNAL);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) return false;
            data += count;
            size -= static_cast<size_t>(count);
        }
        return true;
    }

    long Receive(char* buffer, size_t size, int timeoutMs) override {
        return WhenReadable(timeoutMs,
                            [&] { return recv(m_socket.Get(), buffer, size, MSG_DONTWAIT); });
    }

    // The kernel moves the bytes from the socket into a pipe and from there
    // into the file: one copy fewer than a read and a write.
    long ReceiveInto(File& file, size_t size, int timeoutMs) override {
        if (!m_pipe[1] && !OpenPipe()) return kCannotMove;
        const long count = WhenReadable(timeoutMs, [&] {
            return splice(m_socket.Get(), nullptr, m_pipe[1].Get(), nullptr, size,
                          SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        });
        if (count <= 0) return count;
        return DrainPipeInto(static_cast<int>(file.Native()), static_cast<size_t>(count));
    }

    bool TimedOut() const override { return m_timedOut; }

    bool MayBeReused() override {
        pollfd idle{m_socket.Get(), POLLIN, 0};
        return poll(&idle, 1, 0) == 0;
    }

private:
    // Takes what has already arrived without waiting (read, a non-blocking
    // call), else waits up to timeoutMs for more: its count, 0 at the end of
    // the stream, -1 on an error or when the time ran out.
    template <typename Read>
    long WhenReadable(int timeoutMs, Read read) {
        m_timedOut = false;
        while (true) {
            const ssize_t count = read();
            if (count >= 0) return count;
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            const int ready = PollFor(m_socket.Get(), POLLIN, timeoutMs);
            if (ready == 0) {
                m_timedOut = true;
                errno = ETIMEDOUT;
                return -1;
            }
            if (ready < 0) return -1;
        }
    }

    bool OpenPipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return false;
        m_pipe[0] = UniqueFd(ends[0]);
        m_pipe[1] = UniqueFd(ends[1]);
        // Room for a whole read's worth at once; the default is smaller.
        fcntl(m_pipe[1].Get(), F_SETPIPE_SZ, kPipeBytes);
        return true;
    }

    // Everything in the pipe goes to the file: count, or kFileRefused (the
    // connection is then of no more use).
    long DrainPipeInto(int target, size_t count) {
        size_t left = count;
        while (left > 0) {
            const ssize_t moved =
                splice(m_pipe[0].Get(), nullptr, target, nullptr, left, SPLICE_F_MOVE);
            if (moved < 0 && errno == EINTR) continue;
            if (moved <= 0) return kFileRefused;
            left -= static_cast<size_t>(moved);
        }
        return static_cast<long>(count);
    }

    static constexpr int kPipeBytes = 1024 * 1024;

    // Owned by the thread that uses the connection.
    UniqueFd m_socket;
    UniqueFd m_pipe[2];  // made for the first ReceiveInto: read end, write end
    bool m_timedOut = false;
};

class Tcp final : public ITransport {
public:
    std::unique_ptr<IConnection> Connect(const ConnectTarget& target, const ConnectTimes& times,
                                         ConnectFailure& failure) override {
        auto fail = [&failure](ConnectStep step) {
            failure = ConnectFailure{step, SystemErrorText(errno)};
            return nullptr;
        };
        UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket) return fail(ConnectStep::Socket);
        const int on = 1;
        if (setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
            return fail(ConnectStep::ReuseAddress);
        }
        // Each request is one small write followed by a wait for the answer.
        if (setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
            return fail(ConnectStep::NoDelay);
        }
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(target.port);
        std::memcpy(&peer.sin_addr.s_addr, target.address.octets.data(),
                    target.address.octets.size());
        if (target.address == kNoIPv4Address ||
            !ConnectWithin(socket.Get(), peer, times.connectMs)) {
            return fail(ConnectStep::Connect);
        }
        // A read that waits longer than this fails, whatever waits for it.
        timeval timeout{};
        timeout.tv_sec = times.receiveMs / 1000;
        timeout.tv_usec = (times.receiveMs % 1000) * 1000;
        if (setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
            return fail(ConnectStep::ReceiveTimeout);
        }
        return std::make_unique<TcpConnection>(std::move(socket));
    }
};

}  // namespace

std::unique_ptr<ITransport> TcpTransport() {
    return std::make_unique<Tcp>();
}

}  // namespace platform
