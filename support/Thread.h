// Base of objects that run their body on a thread of their own. The destructor
// neither waits for nor stops the thread: the object must outlive Run.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

class Thread {
public:
    Thread() = default;
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the thread, which calls Run; returns false when none could be made.
    bool Start();
    // Waits until Run has returned. Callers serialise Start and Join.
    void Join();
    // True from the start until Run has returned; any thread may ask.
    bool Running() const { return m_bRunning->load(); }

protected:
    virtual void Run() = 0;

private:
    std::jthread m_thread;  // owned by whoever serialises Start and Join
    // Set by Start, cleared by the thread; shared so that a thread outliving
    // its object still has it to clear.
    const std::shared_ptr<std::atomic<bool>> m_bRunning =
        std::make_shared<std::atomic<bool>>(false);
};
