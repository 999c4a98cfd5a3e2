#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/Thread.h"
#include "support/vnMutex.h"

namespace {

TEST(vnAutoLock, NullPointerLocksNothing) {
    vnAutoLock lock(nullptr);
    SUCCEED();
}

TEST(vnAutoLock, RecursiveLockIsFreeOnlyAfterTheOuterScope) {
    vnMutex mutex;
    std::atomic<bool> otherGotIt{false};
    std::thread other;
    {
        vnAutoLock outer(&mutex);
        {
            vnAutoLock inner(&mutex);  // same thread: must not block
        }
        other = std::thread([&] {
            vnAutoLock lock(&mutex);
            otherGotIt = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(otherGotIt) << "released after the inner scope only";
    }
    other.join();
    EXPECT_TRUE(otherGotIt);
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
    EXPECT_EQ(thread.ThreadId(), thread.ranOn.load());
}

TEST(ThreadBase, DestroyingWithoutJoinLeavesTheThreadToFinish) {
    std::atomic<bool> finished{false};
    class Waiting : public Thread {
    public:
        explicit Waiting(std::atomic<bool>& done) : m_done(done) {}

    protected:
        void Run() override { m_done = true; }

    private:
        std::atomic<bool>& m_done;  // outlives the thread in this test
    };
    {
        Waiting thread(finished);
        ASSERT_TRUE(thread.Start());
        while (!finished) std::this_thread::yield();
    }
    EXPECT_TRUE(finished);
}

}  // namespace
