// In-process recursive lock, held only through vnAutoLock.
#pragma once

#include <mutex>

class vnMutex {
public:
    vnMutex() = default;
    virtual ~vnMutex() = default;
    vnMutex(const vnMutex&) = delete;
    vnMutex& operator=(const vnMutex&) = delete;

private:
    friend class vnAutoLock;
    void Lock() { m_section.lock(); }
    void Unlock() { m_section.unlock(); }

    std::recursive_mutex m_section;
};

// Holds a vnMutex for the length of a scope; a null pointer locks nothing.
class vnAutoLock {
public:
    explicit vnAutoLock(vnMutex* mutex) : m_pMutex(mutex) {
        if (m_pMutex) m_pMutex->Lock();
    }
    virtual ~vnAutoLock() {
        if (m_pMutex) m_pMutex->Unlock();
    }
    vnAutoLock(const vnAutoLock&) = delete;
    vnAutoLock& operator=(const vnAutoLock&) = delete;

private:
    vnMutex* m_pMutex;
};
