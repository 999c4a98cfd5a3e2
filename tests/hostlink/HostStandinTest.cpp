// The stand-in host library keeps to the launcher's call order before it
// sends any event.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "hostlink/ClientProcMsg.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using hostlink::ClientProcMsgObject;

class CountingHandler final : public hostlink::IClientProcMsgEventHandler {
public:
    void OnHostReady(uint32_t) override { ++m_nReady; }
    void OnHostNotice(uint32_t, uint32_t) override {}
    void OnHostSignal(uint32_t) override {}
    void OnHostMessage(uint32_t, uint32_t, const void*) override {}
    int Ready() const { return m_nReady.load(); }

private:
    std::atomic<int> m_nReady{0};  // written by the stand-in's thread
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
    WriteFile(dir / "script.txt", "log " + (dir / "log.txt") + "\nready\n");
    ClientProcMsgObject* object = CreateStandinObject(dir / "script.txt");
    ASSERT_NE(object, nullptr);
    CountingHandler handler;
    ::testing::internal::CaptureStderr();
    object->Init();
    EXPECT_NE(object->Start("abc"), 0);  // before SetHandler
    object->SetHandler(&handler);
    EXPECT_NE(object->Start("abc"), 0);  // an object once misused stays silent
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Start called out of order"),
              std::string::npos);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(handler.Ready(), 0);
    EXPECT_EQ(ReadFile(dir / "log.txt").find("sent"), std::string::npos);
}

}  // namespace
