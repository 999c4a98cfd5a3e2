// Loopback ports for tests: one that refuses every connection, and what to
// say when a port a test needs is taken.
#pragma once

#include <cstdint>
#include <string>

// A loopback port held by a socket that is bound but never listens: a
// connection to it is refused at once, and no other test can take the port
// while the object lives.
class RefusingPort {
public:
    RefusingPort();  // throws when the system hands out no port
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by target.
    std::string Url(const std::string& target = "") const;

private:
    int m_socket = -1;
    uint16_t m_port = 0;
};

// Who listens on a loopback TCP port, e.g. "pid 1234 (nginx -p /tmp/x)";
// empty when nobody does.
std::string LoopbackPortHolder(uint16_t port);

// Throws, naming the port and its holder, when something listens on it: for
// the fixed ports of the loopback build's services.
void RequireFreeLoopbackPort(uint16_t port);
