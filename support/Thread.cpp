#include "support/Thread.h"

#include <system_error>

Thread::~Thread() {
    // Let the thread finish on its own; nobody will join it now.
    if (m_thread.joinable()) m_thread.detach();
}

bool Thread::Start() {
    m_bRunning->store(true);
    try {
        m_thread = std::jthread([this, running = m_bRunning] {
            Run();
            running->store(false);
        });
    } catch (const std::system_error&) {
        m_bRunning->store(false);
        return false;
    }
    return true;
}

void Thread::Join() {
    if (m_thread.joinable()) m_thread.join();
}
