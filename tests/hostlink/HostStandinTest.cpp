// The stand-in host library keeps to the launcher's call order before it
// sends any event, and holds its events back where its script says so.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "hostlink/ClientProcMsg.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using hostlink::ClientProcMsgObject;

// Counts the ready events and notes whether a file existed when each came.
class CountingHandler final : public hostlink::IClientProcMsgEventHandler {
public:
    explicit CountingHandler(std::string watchedFile = "")
        : m_watchedFile(std::move(watchedFile)) {}

    void OnHostReady(uint32_t) override {
        if (!m_watchedFile.empty() && !FileExists(m_watchedFile)) ++m_nReadyBeforeFile;
        ++m_nReady;
    }
    void OnHostNotice(uint32_t, uint32_t) override {}
    void OnHostSignal(uint32_t) override {}
    void OnHostMessage(uint32_t, uint32_t, const void*) override {}
    int Ready() const { return m_nReady.load(); }
    int ReadyBeforeFile() const { return m_nReadyBeforeFile.load(); }

private:
    const std::string m_watchedFile;
    // Written by the stand-in's thread, read by the test.
    std::atomic<int> m_nReady{0};
    std::atomic<int> m_nReadyBeforeFile{0};
};

// Every object the stand-in makes reads VORN_HOST_SCRIPT when it is created.
ClientProcMsgObject* CreateStandinObject(const std::string& script) {
    setenv("VORN_HOST_SCRIPT", script.c_str(), 1);
    void* library = dlopen(VORN_HOST_STANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    auto* create = reinterpret_cast<hostlink::CreateClientProcMsgObjectFunction>(
        dlsym(library, hostlink::kCreateClientProcMsgObjectSymbol));
    return create ? create() : nullptr;
}

bool WaitForLine(const std::string& file, const std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFile(file).find(line + "\n") != std::string::npos) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// The threads of this process: every event the stand-in sends comes from a
// thread of its own, made by an accepted Start.
size_t ThreadCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

TEST(HostStandinTest, SendsItsScriptOnlyAfterInitSetHandlerAndStart) {
    TempDir dir;
    WriteFile(dir / "script.txt", "log " + (dir / "log.txt") + "\nready\n");
    ClientProcMsgObject* object = CreateStandinObject(dir / "script.txt");
    ASSERT_NE(object, nullptr);
    CountingHandler handler;
    EXPECT_EQ(object->Init(), 0);
    EXPECT_EQ(object->SetHandler(&handler), 0);
    EXPECT_EQ(object->Start("abc"), 0);
    ASSERT_TRUE(WaitForLine(dir / "log.txt", "done"));
    EXPECT_EQ(handler.Ready(), 1);
    EXPECT_EQ(ReadFile(dir / "log.txt"), "Init\nSetHandler\nStart(abc)\nsent ready\ndone\n");
}

TEST(HostStandinTest, RefusesToSendEventsWhenCalledOutOfOrder) {
    TempDir dir;
    // Were a delivery thread made, it would wait here for good and be counted.
    WriteFile(dir / "script.txt",
              "log " + (dir / "log.txt") + "\nwaitfor " + (dir / "never") + "\nready\n");
    ClientProcMsgObject* object = CreateStandinObject(dir / "script.txt");
    ASSERT_NE(object, nullptr);
    CountingHandler handler;
    const size_t threadsBefore = ThreadCount();
    ::testing::internal::CaptureStderr();
    object->Init();
    EXPECT_NE(object->Start("abc"), 0);  // before SetHandler
    EXPECT_NE(object->SetHandler(&handler), 0);
    EXPECT_NE(object->Start("abc"), 0);  // an object once misused stays silent
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Start called out of order"),
              std::string::npos);

    EXPECT_EQ(ThreadCount(), threadsBefore) << "the object made a thread to send events";
    EXPECT_EQ(ReadFile(dir / "log.txt"),
              "Init\nStart(abc) refused\nSetHandler refused\nStart(abc) refused\n");
    EXPECT_EQ(handler.Ready(), 0);
}

TEST(HostStandinTest, WaitforHoldsTheNextEventUntilItsFileAppears) {
    TempDir dir;
    const std::string go = dir / "go";
    WriteFile(dir / "script.txt",
              "log " + (dir / "log.txt") + "\nnotice\nwaitfor " + go + "\nready\n");
    ClientProcMsgObject* object = CreateStandinObject(dir / "script.txt");
    ASSERT_NE(object, nullptr);
    CountingHandler handler(go);
    object->Init();
    object->SetHandler(&handler);
    ASSERT_EQ(object->Start("abc"), 0);

    // The step before the pause is over: without the pause, ready would follow at once.
    ASSERT_TRUE(WaitForLine(dir / "log.txt", "sent notice"));
    EXPECT_EQ(handler.Ready(), 0);
    WriteFile(go, "");
    ASSERT_TRUE(WaitForLine(dir / "log.txt", "done"));
    EXPECT_EQ(handler.Ready(), 1);
    EXPECT_EQ(handler.ReadyBeforeFile(), 0) << "ready went out before the file appeared";
    EXPECT_EQ(
        ReadFile(dir / "log.txt"),
        "Init\nSetHandler\nStart(abc)\nsent notice\nsent waitfor " + go + "\nsent ready\ndone\n");
}

TEST(HostStandinTest, StopEndsAWaitforThatIsNeverMet) {
    TempDir dir;
    WriteFile(dir / "script.txt",
              "log " + (dir / "log.txt") + "\nwaitfor " + (dir / "never") + "\nready\n");
    ClientProcMsgObject* object = CreateStandinObject(dir / "script.txt");
    ASSERT_NE(object, nullptr);
    CountingHandler handler;
    object->Init();
    object->SetHandler(&handler);
    ASSERT_EQ(object->Start("abc"), 0);
    object->Stop();

    ASSERT_TRUE(WaitForLine(dir / "log.txt", "done"));
    EXPECT_EQ(handler.Ready(), 0);
    EXPECT_EQ(ReadFile(dir / "log.txt"), "Init\nSetHandler\nStart(abc)\nStop\ndone\n");
}

}  // namespace
