#include "tests/support/SilentListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "tests/support/LoopbackPort.h"

namespace {

// With a backlog of 0 the queue holds one or two connections.
constexpr int kMaxQueueFillers = 8;
// A loopback handshake that has not completed in this time was dropped.
constexpr int kHandshakeMs = 200;

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

}  // namespace

SilentListener::SilentListener(uint16_t port) {
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port);
    socklen_t length = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listener, 0) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_listener >= 0) close(m_listener);
        RequireFreeLoopbackPort(port);
        throw std::runtime_error("cannot listen on loopback port " + std::to_string(port));
    }
    m_port = ntohs(address.sin_port);
    // Connect until an attempt is no longer answered: the queue is full then.
    for (int i = 0; i < kMaxQueueFillers; ++i) {
        const int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const sockaddr_in target = Loopback(m_port);
        connect(filler, reinterpret_cast<const sockaddr*>(&target), sizeof target);
        m_queued.push_back(filler);
        pollfd handshake{filler, POLLOUT, 0};
        if (poll(&handshake, 1, kHandshakeMs) == 0) return;
    }
    CloseAll();
    throw std::runtime_error("the accept queue of a silent listener did not fill");
}

SilentListener::~SilentListener() {
    CloseAll();
}

void SilentListener::CloseAll() {
    for (const int filler : m_queued) close(filler);
    m_queued.clear();
    close(m_listener);
}
