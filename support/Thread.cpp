#include "support/Thread.h"

#include <sys/syscall.h>
#include <unistd.h>

Thread::~Thread() {
    // Let the system reclaim the thread when it ends; nobody will join it now.
    if (m_bStarted && !m_bJoined) pthread_detach(m_hThread);
}

bool Thread::Start() {
    m_bRunning = true;
    if (pthread_create(&m_hThread, nullptr, &Thread::Entry, this) != 0) {
        m_bRunning = false;
        return false;
    }
    m_bStarted = true;
    return true;
}

void Thread::Join() {
    if (!m_bStarted || m_bJoined) return;
    pthread_join(m_hThread, nullptr);
    m_bJoined = true;
}

void* Thread::Entry(void* self) {
    auto* thread = static_cast<Thread*>(self);
    thread->m_nThreadId = static_cast<pid_t>(syscall(SYS_gettid));
    thread->Run();
    thread->m_bRunning = false;
    return nullptr;
}
