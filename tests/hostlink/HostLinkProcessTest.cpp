// The host link in a process of its own, against the stand-in host library,
// laid out as in a real installation: <root>/libHostProcMsgHelper.so beside
// <root>/launcher/, the launcher's current directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "hostlink/HostMessage.h"
#include "tests/support/OutputLines.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr auto kTimeout = 10s;

const std::string kObjectCreatedOutput =
    "Load library successed!\n"
    "Get Create Client Object Function Success!\n"
    "Create Client Object Function Success!\n";

// One run of the reduced launcher in a fresh installation folder.
class HostLinkRun {
public:
    HostLinkRun() {
        std::filesystem::create_directory(LauncherDir());
        WriteFile(RunMarker(), "");
    }

    std::string LauncherDir() const { return m_root / "launcher"; }
    std::string RunMarker() const { return LauncherDir() + "/load_vorn_temp"; }

    // Puts a built library where the launcher looks for the host's.
    HostLinkRun& WithLibrary(const std::string& builtLibrary = VORN_HOST_STANDIN_LIBRARY) {
        std::filesystem::copy_file(builtLibrary, m_root / "libHostProcMsgHelper.so");
        return *this;
    }

    // The stand-in's script; the stand-in logs its calls and events to the
    // same file as the launcher's owner calls.
    HostLinkRun& WithScript(const std::string& steps) {
        WriteFile(m_root / "script.txt", "log " + EventsFile() + "\n" + steps);
        return *this;
    }

    HostLinkRun& Start(const Lines& args) {
        m_process = std::make_unique<ProgramRun>(
            VORN_HOSTLINK_TEST_LAUNCHER, args,
            TestEnvironmentWith({"VORN_HOST_SCRIPT=" + (m_root / "script.txt"),
                                 "VORN_TEST_EVENTS=" + EventsFile(),
                                 "VORN_TEST_MARKER=" + RunMarker()}),
            LauncherDir(), m_root / "output");
        return *this;
    }

    Lines Events() const { return SplitLines(ReadFile(EventsFile())); }
    std::string Output() const { return m_process->Stdout(); }

    // True once the events file holds line.
    bool WaitForEvent(const std::string& line) const {
        const auto deadline = std::chrono::steady_clock::now() + kTimeout;
        do {
            for (const std::string& event : Events()) {
                if (event == line) return true;
            }
            std::this_thread::sleep_for(10ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // True once the stand-in has come to the end of its script.
    bool WaitForScriptEnd() const { return WaitForEvent("done"); }

    ProgramRun& Process() { return *m_process; }

private:
    std::string EventsFile() const { return m_root / "events.txt"; }

    TempDir m_root;
    std::unique_ptr<ProgramRun> m_process;
};

// The events after the three calls that start the object, for a script run
// after a plain "PROCPARA=abc" start.
Lines EventsAfterStart(HostLinkRun& run) {
    Lines events = run.Events();
    const Lines start{"Init", "SetHandler", "Start(abc)"};
    if (events.size() < start.size() || !std::equal(start.begin(), start.end(), events.begin())) {
        ADD_FAILURE() << "the object was not started in order:\n"
                      << ::testing::PrintToString(events);
        return events;
    }
    return Lines(events.begin() + 3, events.end());
}

// Runs steps after a plain "PROCPARA=abc" start until the events file holds
// lastEvent; returns the events after the start up to and with lastEvent.
Lines RunScript(HostLinkRun& run, const std::string& steps, const std::string& lastEvent = "done") {
    run.WithLibrary().WithScript(steps).Start({"PROCPARA=abc"});
    EXPECT_TRUE(run.WaitForEvent(lastEvent)) << ::testing::PrintToString(run.Events());
    Lines events = EventsAfterStart(run);
    const auto last = std::find(events.begin(), events.end(), lastEvent);
    if (last != events.end()) events.erase(last + 1, events.end());
    // A relaunched copy records itself whenever it gets to it.
    std::erase_if(events, [](const std::string& e) { return e.rfind("Relaunched", 0) == 0; });
    return events;
}

// The text taken from the process's own arguments, joined by spaces; the
// table of command lines is HostLinkTest's.
TEST(HostLinkProcessTest, StartsTheObjectWithTheTextAfterTheParameterMarker) {
    HostLinkRun run;
    run.WithLibrary().WithScript("ready\n").Start({"-x", "PROCPARA=a,b", "c"});
    ASSERT_TRUE(run.WaitForScriptEnd());
    EXPECT_EQ(run.Events(),
              (Lines{"Init", "SetHandler", "Start(a,b c)", "StartUpdate", "sent ready", "done"}));
    EXPECT_EQ(run.Output(), kObjectCreatedOutput);
}

TEST(HostLinkProcessTest, WithoutParameterTextTheLauncherEndsAndItsMarkerGoes) {
    const Lines cases[] = {{"PROCPARA="}, {"DEBUG=maybe", "PROCPARA="}, {"DEBUG=maybe"}, {}};
    for (const Lines& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        HostLinkRun run;
        run.WithLibrary().WithScript("ready\n").Start(args);
        ASSERT_TRUE(run.Process().WaitForExit(kTimeout));
        EXPECT_EQ(run.Process().ExitCode(), 0);
        EXPECT_FALSE(FileExists(run.RunMarker()));
        // No object was created.
        EXPECT_EQ(run.Events(), (Lines{"DeleteRunMarker", "EndProcess"}));
        EXPECT_EQ(run.Output(), "Load library successed!\n");
    }
}

TEST(HostLinkProcessTest, WithoutAnObjectFromTheLibraryTheLauncherWorksOnItsOwn) {
    struct Case {
        const char* name;
        const char* library;  // null: no library at all
        std::string output;
    };
    const Case cases[] = {
        {"missing library", nullptr, "Load library failed!\nerror load libary!\n"},
        {"no factory", VORN_NO_FACTORY_LIBRARY,
         "Load library successed!\nGet Create Client Object Function failed!\n"},
        {"factory yields null", VORN_NULL_FACTORY_LIBRARY,
         "Load library successed!\nGet Create Client Object Function Success!\n"
         "Create Client Object Function failed!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostLinkRun run;
        if (c.library) run.WithLibrary(c.library);
        run.Start({"PROCPARA=abc"});
        ASSERT_TRUE(run.WaitForEvent("StartUpdate"));
        EXPECT_EQ(run.Events(), Lines{"StartUpdate"});
        EXPECT_EQ(run.Output(), c.output);
        EXPECT_TRUE(FileExists(run.RunMarker()));
    }
}

TEST(HostLinkProcessTest, BossKeyShowsAndHidesTheWindow) {
    HostLinkRun run;
    const Lines events = RunScript(run, "boss 1\nboss 0\nbossbyte 1\nbossbyte 0\nboss 256\n");
    EXPECT_EQ(events, (Lines{"ShowWindow 1", "sent boss 1", "ShowWindow 0", "sent boss 0",
                             "ShowWindow 1", "sent bossbyte 1", "ShowWindow 0", "sent bossbyte 0",
                             "ShowWindow 1", "sent boss 256", "done"}));
}

TEST(HostLinkProcessTest, OtherEventsOnlyPrintTheRefusedConnection) {
    HostLinkRun run;
    const Lines events = RunScript(run, "notice\nsignal\ntype 7\ntype12\ntype 0\n");
    EXPECT_EQ(events, (Lines{"sent notice", "sent signal", "sent type 7", "sent type12",
                             "sent type 0", "done"}));
    EXPECT_EQ(run.Output(), kObjectCreatedOutput + hostlink::kNewConnectionRefusedText);
}

TEST(HostLinkProcessTest, RestartRelaunchesThenStopsThenEndsTheMainLoop) {
    HostLinkRun run;
    const Lines events = RunScript(run, "ready\nrestart xyz\nboss 1\n", "QuitMainLoop");
    const std::string launcher = std::filesystem::canonical(VORN_HOSTLINK_TEST_LAUNCHER);
    EXPECT_EQ(events, (Lines{"StartUpdate", "sent ready", "ReleaseLaunchLock",
                             "Spawn " + launcher + " PROCPARA=xyz", "Stop", "QuitMainLoop"}));
    ASSERT_TRUE(run.Process().WaitForExit(kTimeout));
    EXPECT_EQ(run.Process().ExitCode(), 0);
    const std::string launcherDir = std::filesystem::canonical(run.LauncherDir());
    EXPECT_TRUE(run.WaitForEvent("Relaunched in " + launcherDir + ": PROCPARA=xyz"));
    EXPECT_TRUE(FileExists(run.RunMarker()));  // a restart keeps the marker
}

TEST(HostLinkProcessTest, OversizedRecordsAreCutToTheLaunchersBuffers) {
    HostLinkRun run;
    const Lines events = RunScript(run, "oversized 3 70000\noversized 11 70000\n", "QuitMainLoop");
    std::string cutText;
    for (size_t i = 0; i < hostlink::kRelaunchTextCapacity; ++i) cutText += char('A' + i % 26);
    const std::string launcher = std::filesystem::canonical(VORN_HOSTLINK_TEST_LAUNCHER);
    EXPECT_EQ(events,
              (Lines{"ShowWindow 1", "sent oversized 3 70000", "ReleaseLaunchLock",
                     "Spawn " + launcher + " PROCPARA=" + cutText, "Stop", "QuitMainLoop"}));
}

}  // namespace
