// A server that never answers a connection attempt, like a host behind a
// firewall that drops them: a loopback listener whose accept queue is full,
// so the system drops every further SYN and a connect waits.
#pragma once

#include <cstdint>
#include <vector>

class SilentListener {
public:
    // port 0: any free loopback port. Throws when the port cannot be taken.
    explicit SilentListener(uint16_t port = 0);
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    uint16_t Port() const { return m_port; }

private:
    void CloseAll();

    int m_listener = -1;
    std::vector<int> m_queued;  // the connections that fill the queue
    uint16_t m_port = 0;
};
