// What the statistics stand-in receives from the real launcher: the launch
// record once per user, and the two tracking events after an install.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/e2e/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 120s;
// Shorter than the sample installer's own wait for its go.
constexpr auto kEventLimit = 60s;
constexpr const char* kLaunchRecordPath = "/data/pcLaunchRecord.do";
constexpr const char* kEventPath = "/data/doEventTrackAction.do";

struct Recorded {
    std::string path;
    std::string body;
};

// The stand-in's record: one JSON object per line, with "body", "method" and
// "path" in that order and no escapes in this system's form bodies.
std::vector<Recorded> RecordedPosts(const std::string& recordFile) {
    const std::regex line(R"re(\{"body":"([^"\\]*)","method":"POST","path":"([^"\\]*)"\})re");
    std::vector<Recorded> posts;
    std::istringstream in(ReadFile(recordFile));
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        if (std::regex_match(text, match, line)) {
            posts.push_back({match[2], match[1]});
        } else {
            ADD_FAILURE() << "unexpected record " << text;
        }
    }
    return posts;
}

std::vector<Recorded> PostsTo(const std::string& recordFile, const std::string& path) {
    std::vector<Recorded> posts = RecordedPosts(recordFile);
    std::erase_if(posts, [&](const Recorded& post) { return post.path != path; });
    return posts;
}

// Requests to path recorded so far, counting whole lines only: the stand-in
// may be writing one as the test reads.
size_t CompleteRecordsOf(const std::string& recordFile, const std::string& path) {
    const std::string text = ReadFile(recordFile);
    const std::string lineEnd = "\"path\":\"" + path + "\"}\n";
    size_t count = 0;
    for (size_t at = text.find(lineEnd); at != std::string::npos; at = text.find(lineEnd, at + 1)) {
        ++count;
    }
    return count;
}

class TelemetryTest : public ::testing::Test {
protected:
    LauncherSandbox sandbox;
    TempDir records;
    const std::string recordFile = records / "stats.jsonl";
    const std::unique_ptr<PythonServer> stats = StartStatsStandin(recordFile);
};

TEST_F(TelemetryTest, FirstStartSendsOneLaunchRecordAndRemembersIt) {
    // Both download servers are down: the run is short, but it is a first start.
    const auto first = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);
    ASSERT_EQ(first->ExitCode(), 0);

    const std::vector<Recorded> records = PostsTo(recordFile, kLaunchRecordPath);
    ASSERT_EQ(records.size(), 1u) << ReadFile(recordFile);
    EXPECT_TRUE(std::regex_match(records[0].body, std::regex("mac=([0-9A-F]{12})?&os=[0-5]")))
        << records[0].body;
    EXPECT_NE(sandbox.SettingsText().find("\"report_sign\"=dword:00000001"), std::string::npos)
        << sandbox.SettingsText();

    const auto second = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);
    ASSERT_EQ(second->ExitCode(), 0);
    EXPECT_EQ(PostsTo(recordFile, kLaunchRecordPath).size(), 1u) << ReadFile(recordFile);
}

TEST_F(TelemetryTest, InstallReportsEvents201And202WithTheChannel) {
    PackageFolder packages;
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    sandbox.WriteSettingsText("\"QuorvaneChannelNum\"=\"12345\"\n");
    // The events go out while the installer runs; it waits until they are here.
    const std::string installerGo = records / "installer-go";
    sandbox.SetEnvironment("VORN_SAMPLE_INSTALL_WAIT_FOR", installerGo);

    const auto run = sandbox.Start({"DEBUG=TRUE"});
    EXPECT_TRUE(
        WaitUntil([&] { return CompleteRecordsOf(recordFile, kEventPath) >= 2; }, kEventLimit))
        << ReadFile(recordFile) << run->Stderr();
    EXPECT_TRUE(run->Running()) << "the launcher ended before its installer";
    WriteFile(installerGo, "");
    ASSERT_TRUE(run->WaitForExit(kRunLimit)) << run->Stderr();
    ASSERT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME));

    const std::vector<Recorded> events = PostsTo(recordFile, kEventPath);
    ASSERT_EQ(events.size(), 2u) << ReadFile(recordFile);
    std::smatch seconds;
    ASSERT_TRUE(std::regex_match(events[0].body, seconds,
                                 std::regex("logType=201&mac=([0-9A-F]{12})?&pid=(\\d+)")))
        << events[0].body;
    EXPECT_LE(std::stoul(seconds[2]), static_cast<unsigned long>(run->Seconds()));
    EXPECT_TRUE(
        std::regex_match(events[1].body, std::regex("logType=202&mac=([0-9A-F]{12})?&pid=12345")))
        << events[1].body;
}

}  // namespace
