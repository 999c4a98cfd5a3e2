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
    // The events go out while the installer runs; a real one takes a while.
    sandbox.SetEnvironment("VORN_SAMPLE_INSTALL_SECONDS", "3");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);
    ASSERT_EQ(run->ExitCode(), 0);

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
