#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "support/Thread.h"
#include "support/vnMutex.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// True once the thread tid of this process sleeps in the kernel (blocked on a
// lock, here); false when it does not within the bound.
bool WaitUntilBlocked(pid_t tid) {
    const std::string stat = "/proc/self/task/" + std::to_string(tid) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = ReadFile(stat);
        const size_t state = text.rfind(')');  // the state follows the name
        if (state != std::string::npos && text.size() > state + 2 && text[state + 2] == 'S') {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// A thread that takes the mutex through a vnAutoLock and notes when it has it.
class Contender {
public:
    explicit Contender(vnMutex& mutex)
        : m_thread([this, &mutex] {
              m_tid = gettid();
              vnAutoLock lock(&mutex);
              m_gotIt = true;
          }) {}
    ~Contender() {
        if (m_thread.joinable()) m_thread.join();
    }
    // True once the contender waits for the mutex without having it.
    bool Waiting() {
        while (m_tid.load() == 0) std::this_thread::yield();
        return WaitUntilBlocked(m_tid) && !m_gotIt;
    }
    bool GotIt() {
        m_thread.join();
        return m_gotIt;
    }

private:
    std::atomic<pid_t> m_tid{0};
    std::atomic<bool> m_gotIt{false};
    std::thread m_thread;  // owned by the test thread
};

// While the mutex is held, a lock on a null pointer neither waits for it nor
// lets it go: another thread still waits until the holder's scope ends.
TEST(vnAutoLock, NullPointerNeitherLocksNorUnlocks) {
    vnMutex mutex;
    std::optional<Contender> contender;
    {
        vnAutoLock holder(&mutex);
        { vnAutoLock none(nullptr); }
        contender.emplace(mutex);
        EXPECT_TRUE(contender->Waiting());
    }
    EXPECT_TRUE(contender->GotIt());
}

TEST(vnAutoLock, RecursiveLockIsFreeOnlyAfterTheOuterScope) {
    vnMutex mutex;
    std::optional<Contender> contender;
    {
        vnAutoLock outer(&mutex);
        {
            vnAutoLock inner(&mutex);  // same thread: must not block
        }
        contender.emplace(mutex);
        EXPECT_TRUE(contender->Waiting()) << "released after the inner scope only";
    }
    EXPECT_TRUE(contender->GotIt());
}

class RecordingThread : public Thread {
public:
    std::atomic<pid_t> ranOn{0};

protected:
    void Run() override { ranOn = gettid(); }
};

TEST(ThreadBase, RunsTheBodyOnItsOwnThread) {
    RecordingThread thread;
    ASSERT_TRUE(thread.Start());
    thread.Join();
    EXPECT_FALSE(thread.Running());
    EXPECT_NE(thread.ranOn.load(), 0);
    EXPECT_NE(thread.ranOn.load(), gettid());
}

// A gate outside the thread object, which its body waits at.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    bool passed = false;
};

// The destructor neither waits for the thread nor stops it: the object goes
// while its body still waits, and the body goes on afterwards.
TEST(ThreadBase, DestroyingWithoutJoinNeitherWaitsNorStops) {
    Gate gate;
    class Waiting : public Thread {
    public:
        explicit Waiting(Gate& gate) : m_gate(gate) {}

    protected:
        // Touches nothing of the object after its first line.
        void Run() override {
            Gate& gate = m_gate;
            std::unique_lock<std::mutex> lock(gate.mutex);
            gate.entered = true;
            gate.changed.notify_all();
            gate.changed.wait(lock, [&gate] { return gate.open; });
            gate.passed = true;
            gate.changed.notify_all();
        }

    private:
        Gate& m_gate;
    };
    {
        Waiting thread(gate);
        ASSERT_TRUE(thread.Start());
        std::unique_lock<std::mutex> lock(gate.mutex);
        ASSERT_TRUE(gate.changed.wait_for(lock, 10s, [&gate] { return gate.entered; }));
    }  // the body still waits at the gate here
    std::unique_lock<std::mutex> lock(gate.mutex);
    EXPECT_FALSE(gate.passed);
    gate.open = true;
    gate.changed.notify_all();
    EXPECT_TRUE(gate.changed.wait_for(lock, 10s, [&gate] { return gate.passed; }));
}

}  // namespace
