// In-process recursive lock, held only through vnAutoLock.
#pragma once

#include <mutex>

#include "support/ThreadSafety.h"

class CAPABILITY("mutex") vnMutex {
public:
    vnMutex() = default;
    virtual ~vnMutex() = default;
    vnMutex(const vnMutex&) = delete;
    vnMutex& operator=(const vnMutex&) = delete;

private:
    friend class vnAutoLock;
    void Lock() ACQUIRE() { m_section.lock(); }
    void Unlock() RELEASE() { m_section.unlock(); }

    std::recursive_mutex m_section;
};

// Holds a vnMutex for the length of a scope; a null pointer locks nothing.
class SCOPED_CAPABILITY vnAutoLock {
public:
    // The analysis cannot follow the null case, which only a test uses.
    explicit vnAutoLock(vnMutex* mutex) ACQUIRE(mutex) NO_THREAD_SAFETY_ANALYSIS : m_pMutex(mutex) {
        if (m_pMutex) m_pMutex->Lock();
    }
    virtual ~vnAutoLock() RELEASE() NO_THREAD_SAFETY_ANALYSIS {
        if (m_pMutex) m_pMutex->Unlock();
    }
    vnAutoLock(const vnAutoLock&) = delete;
    vnAutoLock& operator=(const vnAutoLock&) = delete;

private:
    vnMutex* m_pMutex;
};
