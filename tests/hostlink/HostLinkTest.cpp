// The link against a recording owner: its events without a library, and its
// start against the stand-in library loaded in this process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "hostlink/HostLink.h"
#include "hostlink/HostMessage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

namespace {

using namespace std::chrono_literals;

using hostlink::CHostLink;
using Calls = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

class RecordingOwner final : public hostlink::IHostLinkOwner {
public:
    explicit RecordingOwner(std::string commandLine = "PROCPARA=abc")
        : m_commandLine(std::move(commandLine)) {}

    const std::string& CommandLine() const override { return m_commandLine; }
    void DeleteRunMarker() override { Record("DeleteRunMarker"); }
    void StartUpdate() override { Record("StartUpdate"); }
    void ShowWindowAsync(bool show) override { Record(show ? "ShowWindow 1" : "ShowWindow 0"); }
    void ReleaseLaunchLock() override { Record("ReleaseLaunchLock"); }
    void QuitMainLoop() override { Record("QuitMainLoop"); }
    void EndProcess() override { Record("EndProcess"); }

    void Record(const std::string& call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
    }
    Calls TakenCalls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    const std::string m_commandLine;
    std::mutex m_mutex;  // guards m_calls; the link may call from any thread
    Calls m_calls;
};

constexpr const char* kSelf = "/opt/launcher/vorn-launcher";

// Services whose spawn only records what it was asked to start.
platform::Services RecordingSpawner(RecordingOwner& owner, bool starts = true) {
    platform::Services services = TestServices();
    services.executablePath = kSelf;
    services.spawn = [&owner, starts](const std::string& program,
                                      const std::vector<std::string>& args,
                                      const std::string&) -> std::optional<platform::Process> {
        std::string call = "Spawn " + program;
        for (const std::string& arg : args) call += " [" + arg + "]";
        owner.Record(call);
        if (!starts) return std::nullopt;
        return platform::Process{4242, 0};
    };
    return services;
}

Bytes Record(uint32_t type, const std::string& payload) {
    Bytes record;
    for (const uint32_t field : {type, uint32_t(payload.size())}) {
        for (int shift = 0; shift < 32; shift += 8) record.push_back(uint8_t(field >> shift));
    }
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

// A launcher folder beside a copy of the stand-in host library, made the
// current directory as start-up makes the launcher's folder. Every instance
// has a copy of its own, so the library is loaded afresh. The stand-in only
// logs its calls: its script sends no event.
class StandinInstallation {
public:
    StandinInstallation() {
        std::filesystem::create_directory(m_root / "launcher");
        std::filesystem::copy_file(VORN_HOST_STANDIN_LIBRARY, m_root / "libHostProcMsgHelper.so");
        WriteFile(m_root / "script.txt", "log " + Log() + "\n");
        setenv("VORN_HOST_SCRIPT", (m_root / "script.txt").c_str(), 1);
        std::filesystem::current_path(m_root / "launcher");
    }
    ~StandinInstallation() {
        std::filesystem::current_path(m_previousDirectory);
        unsetenv("VORN_HOST_SCRIPT");
    }
    StandinInstallation(const StandinInstallation&) = delete;
    StandinInstallation& operator=(const StandinInstallation&) = delete;

    std::string Log() const { return m_root / "log.txt"; }

    // True once the stand-in has come to the end of its script: its thread
    // no longer calls the link.
    bool WaitForScriptEnd() const {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (ReadFile(Log()).find("done\n") == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

private:
    const std::filesystem::path m_previousDirectory = std::filesystem::current_path();
    TempDir m_root;
};

TEST(HostLinkTest, StartsTheObjectWithTheTextAfterTheFirstParameterMarker) {
    struct Case {
        std::string commandLine;
        std::string startCall;
    };
    const Case cases[] = {
        {"PROCPARA=abc", "Start(abc)"},
        {"-x PROCPARA=a,b c", "Start(a,b c)"},
        {"PROCPARA=1 PROCPARA=2", "Start(1 PROCPARA=2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        StandinInstallation installation;
        RecordingOwner owner(c.commandLine);
        const platform::Services services = RecordingSpawner(owner);
        CHostLink link(owner, services);
        // The diagnostics are HostLinkProcessTest's to check.
        ::testing::internal::CaptureStdout();
        link.ConnectHostPlatform();
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(installation.WaitForScriptEnd());
        EXPECT_EQ(ReadFile(installation.Log()), "Init\nSetHandler\n" + c.startCall + "\ndone\n");
        EXPECT_EQ(owner.TakenCalls(), Calls{}) << "the work waits for the host";
    }
}

TEST(HostLinkTest, OnlyTheReadyEventStartsTheWork) {
    RecordingOwner owner;
    const platform::Services services = RecordingSpawner(owner);
    CHostLink link(owner, services);
    link.OnHostNotice(1, 2);
    link.OnHostSignal(3);
    EXPECT_EQ(owner.TakenCalls(), Calls{});
    link.OnHostReady(0);
    EXPECT_EQ(owner.TakenCalls(), Calls{"StartUpdate"});
}

TEST(HostLinkTest, MessagesReachTheOwner) {
    struct Case {
        const char* name;
        Bytes record;
        Calls calls;
    };
    const Case cases[] = {
        {"boss key shows", Record(3, std::string("\1\0\0\0", 4)), {"ShowWindow 1"}},
        {"boss key hides", Record(3, std::string("\0\0\0\0", 4)), {"ShowWindow 0"}},
        {"type 7", Record(7, "abc"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingOwner owner;
        const platform::Services services = RecordingSpawner(owner);
        CHostLink link(owner, services);
        link.OnHostMessage(0, 0, c.record.data());
        EXPECT_EQ(owner.TakenCalls(), c.calls);
    }
}

TEST(HostLinkTest, NullMessageIsIgnored) {
    RecordingOwner owner;
    const platform::Services services = RecordingSpawner(owner);
    CHostLink link(owner, services);
    link.OnHostMessage(0, 0, nullptr);
    EXPECT_EQ(owner.TakenCalls(), Calls{});
}

TEST(HostLinkTest, RestartRelaunchesWithTheNewParameterTextThenEndsTheMainLoop) {
    struct Case {
        std::string commandLine;
        std::string payload;
        std::string args;  // as the recording spawner writes them
    };
    const Case cases[] = {
        {"PROCPARA=abc", "xyz", "[PROCPARA=xyz]"},
        {"DEBUG=X PROCPARA=abc", "xyz", "[DEBUG=X] [PROCPARA=xyz]"},
        {"PROCPARA=a PROCPARA=b", "n", "[PROCPARA=n]"},
        {"PROCPARA=abc", "x y", "[PROCPARA=x] [y]"},
        {"PROCPARA=abc", "", "[PROCPARA=]"},
        {"", "xyz", "[PROCPARA=xyz]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine + " / " + c.payload);
        RecordingOwner owner(c.commandLine);
        const platform::Services services = RecordingSpawner(owner);
        CHostLink link(owner, services);
        link.OnHostMessage(0, 0, Record(11, c.payload).data());
        EXPECT_EQ(owner.TakenCalls(),
                  (Calls{"ReleaseLaunchLock", "Spawn " + std::string(kSelf) + " " + c.args,
                         "QuitMainLoop"}));
    }
}

TEST(HostLinkTest, RestartThatCannotStartStillEndsTheMainLoop) {
    RecordingOwner owner;
    const platform::Services services = RecordingSpawner(owner, false);
    CHostLink link(owner, services);
    link.OnHostMessage(0, 0, Record(11, "xyz").data());
    EXPECT_EQ(owner.TakenCalls().back(), "QuitMainLoop");
}

TEST(HostLinkTest, RefusedConnectionWritesItsTextWithoutLineEnd) {
    RecordingOwner owner;
    const platform::Services services = RecordingSpawner(owner);
    CHostLink link(owner, services);
    ::testing::internal::CaptureStdout();
    link.OnHostMessage(0, 0, Record(12, "").data());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "SC_RESPONSE_NEWCONN_RUFUSE，拒绝新连接");
    EXPECT_EQ(owner.TakenCalls(), Calls{});
}

}  // namespace
