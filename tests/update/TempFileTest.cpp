#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "update/TempFile.h"

namespace {

constexpr time_t kHour = 3600;

// The same local month and day a year later (a full date differs, the day of
// the month does not).
time_t SameDayNextYear(time_t moment) {
    struct tm local {};
    localtime_r(&moment, &local);
    local.tm_year += 1;
    local.tm_isdst = -1;
    return mktime(&local);
}

class TempFileTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(temp, std::string(1000, 'x')); }

    TempDir dir;
    std::string temp = dir / "0.bak";
    time_t created = time(nullptr);
};

TEST_F(TempFileTest, FileFromTodayIsKept) {
    DiscardStaleTemp(temp, created);
    EXPECT_TRUE(FileExists(temp));
}

TEST_F(TempFileTest, FileFromAnotherDayIsDeleted) {
    const struct {
        const char* when;
        time_t now;
    } cases[] = {
        // 30 hours on is the next local day whatever the daylight-saving shifts.
        {"next day", created + 30 * kHour},
        {"same day of the month a year later", SameDayNextYear(created)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.when);
        WriteFile(temp, "partial");
        DiscardStaleTemp(temp, row.now);
        EXPECT_FALSE(FileExists(temp));
    }
}

TEST_F(TempFileTest, MissingOrUnreadableFileIsLeftAlone) {
    DiscardStaleTemp(dir / "none.bak", created + 30 * kHour);
    const std::string locked = dir / "locked";
    mkdir(locked.c_str(), 0755);
    const std::string inside = locked + "/0.bak";
    WriteFile(inside, "x");
    chmod(inside.c_str(), 0);
    DiscardStaleTemp(inside, created + 30 * kHour);
    // Root reads every file; then the day rule applies as usual.
    EXPECT_EQ(FileExists(inside), geteuid() != 0);
}

TEST_F(TempFileTest, ALinkInItsPlaceGoesAndItsTargetStays) {
    const std::string target = dir / "precious";
    WriteFile(target, "keep");
    unlink(temp.c_str());
    ASSERT_EQ(symlink(target.c_str(), temp.c_str()), 0);
    DiscardStaleTemp(temp, created);  // even from today
    struct stat info {};
    EXPECT_NE(lstat(temp.c_str(), &info), 0) << "the link is still there";
    EXPECT_EQ(ReadFile(target), "keep");
}

TEST_F(TempFileTest, EnsureDirectoriesCreatesTheWholeWay) {
    const std::string deep = dir / "a/b/c/0.bak";
    EnsureDirectories(deep);
    struct stat info {};
    ASSERT_EQ(stat((dir / "a/b/c").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_FALSE(FileExists(deep));
    EnsureDirectories("0.bak");  // no directory part: nothing to do
}

}  // namespace
