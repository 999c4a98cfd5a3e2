// The worker's jobs that fetch nothing: launch and after-install, and a game
// folder that cannot be entered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"
#include "tests/update/FakeUpdateHost.h"
#include "update/DownLoadThread.h"

namespace {

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

class WorkerModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.config.m_szInstallDir = dir.Path();
        host.config.m_szGameDir = "vorn";
        host.config.m_szPackName = "vorn_ad2.exe";
    }
    // The worker enters the game folder; the next test starts where this one did.
    void TearDown() override { ASSERT_EQ(chdir(startDir.c_str()), 0); }

    // Prepares and runs one job to its end.
    void RunJob(int32_t mode) {
        host.config.m_nMode = mode;
        DownLoadThread worker(host, services);
        worker.PrepareJob();
        ASSERT_TRUE(worker.Start());
        worker.Join();
        totalRecv = worker.TotalRecv();
    }

    const std::string startDir = CurrentDirectory();
    TempDir dir;
    FakeUpdateHost host;
    const platform::Services services = TestServices();
    int64_t totalRecv = -1;
};

TEST_F(WorkerModeTest, LaunchHandsOverAtOnceFromTheGameFolder) {
    RunJob(MODE_LAUNCH);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
    EXPECT_EQ(CurrentDirectory(), dir / "vorn");
    EXPECT_TRUE(host.Redraws().empty());
    const StatusSnapshot shown = host.Status().Snapshot();
    EXPECT_EQ(shown.status, "");
    EXPECT_EQ(shown.size, "");
    EXPECT_EQ(totalRecv, 0);
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(WorkerModeTest, AfterInstallShowsCheckCompleteThenHandsOver) {
    host.Status().SetSizeText("3.00 MB", false);
    RunJob(MODE_INSTALLED);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
    const std::vector<StatusSnapshot> redraws = host.Redraws();
    ASSERT_EQ(redraws.size(), 1u);
    EXPECT_EQ(redraws[0].status, "版本更新检查完成");
    EXPECT_EQ(redraws[0].detail, "");
    EXPECT_EQ(redraws[0].size, "");
    EXPECT_EQ(totalRecv, 0);
}

TEST_F(WorkerModeTest, GameFolderThatCannotBeEnteredStopsTheJob) {
    // A file where the install folder should be.
    const std::string blocker = dir / "not-a-folder";
    WriteFile(blocker, "");
    host.config.m_szInstallDir = blocker;
    RunJob(MODE_LAUNCH);

    EXPECT_TRUE(host.Finishes().empty()) << "the watchdog ends such a run";
    const std::vector<FakeUpdateHost::Message> messages = host.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, platform::SystemErrorText(ENOTDIR));
    EXPECT_EQ(messages[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(messages[1].text, "设置路径错误.");
    EXPECT_EQ(CurrentDirectory(), startDir);
}

TEST_F(WorkerModeTest, UnknownModeDoesNothing) {
    RunJob(999);
    EXPECT_TRUE(host.Finishes().empty());
    EXPECT_TRUE(host.Messages().empty());
}

}  // namespace
