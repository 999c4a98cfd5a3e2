#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/Logger.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

namespace {

// A local time, as seconds since 1970, for the given calendar values.
time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    struct tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return mktime(&parts);
}

LogConfig FileConfig(const std::string& base, uint32_t outputs = LOG_OUT_FILE) {
    LogConfig config{};
    config.outputs = outputs;
    config.minLevel = 0;
    config.lineFormat = 0x77;
    snprintf(config.baseName, sizeof config.baseName, "%s", base.c_str());
    return config;
}

void Write(Logger& logger, int level, const char* module, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void Write(Logger& logger, int level, const char* module, const char* format, ...) {
    va_list args;
    va_start(args, format);
    logger.Write(level, module, format, args);
    va_end(args);
}

off_t SizeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

class LogTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string base = dir / "updatelog";
    std::string file = base + ".log";
    LogTest() { SetNow(LocalTime(2026, 3, 14, 10, 0, 0)); }
    void SetNow(time_t when) { clock.wallSeconds = static_cast<int64_t>(when); }

    FakeClock clock;
    Logger logger{&clock, [] { return static_cast<int64_t>(gettid()); }};
};

TEST_F(LogTest, LineHoldsDateTimeLevelModuleAndText) {
    logger.Init(FileConfig(base));
    Write(logger, LOG_ERROR, "CHttpSocket", "%s", "x");
    EXPECT_EQ(ReadFile(file), "2026-03-14 10:00:00 [ERROR] [CHttpSocket]\tx\r\n");
}

TEST_F(LogTest, LevelTags) {
    logger.Init(FileConfig(base));
    const std::vector<std::pair<int, std::string>> cases = {
        {LOG_ALL, "[ALL] "},    {LOG_DEBUG, "[DEBUG] "}, {LOG_NOTE, "[NOTE ] "},
        {LOG_WARN, "[WARN ] "}, {LOG_ERROR, "[ERROR] "}, {5, "[5] "},
        {-3, "[-3] "},
    };
    std::string expected;
    for (const auto& [level, tag] : cases) {
        Write(logger, level, nullptr, "m");
        expected += "2026-03-14 10:00:00 " + tag + "m\r\n";
    }
    // -3 is below the threshold 0 and dropped.
    expected.erase(expected.rfind("2026"));
    EXPECT_EQ(ReadFile(file), expected);
}

TEST_F(LogTest, PiecesFollowTheFormatMask) {
    LogConfig config = FileConfig(base);
    config.lineFormat = LOG_FMT_THREAD | LOG_FMT_MODULE | LOG_FMT_TEXT;
    logger.Init(config);
    Write(logger, LOG_ERROR, nullptr, "no module");
    Write(logger, LOG_ERROR, "M", "%d", 42);
    const std::string tid = std::to_string(gettid());
    EXPECT_EQ(ReadFile(file), "[" + tid + "] no module\r\n[" + tid + "] [M]\t42\r\n");
}

TEST_F(LogTest, WithoutTheSystemsIdsThreadsAreNumberedInTheOrderTheyLog) {
    Logger numbering(&clock);
    LogConfig config = FileConfig(base);
    config.lineFormat = LOG_FMT_THREAD | LOG_FMT_TEXT;
    numbering.Init(config);
    std::thread([&] { Write(numbering, LOG_ERROR, nullptr, "worker"); }).join();
    Write(numbering, LOG_ERROR, nullptr, "main");
    Write(numbering, LOG_ERROR, nullptr, "main again");
    const std::regex lines(
        "\\[(\\d+)\\] worker\r\n\\[(\\d+)\\] main\r\n\\[(\\d+)\\] main again\r\n");
    std::smatch numbers;
    const std::string text = ReadFile(file);
    ASSERT_TRUE(std::regex_match(text, numbers, lines)) << text;
    EXPECT_NE(numbers[1], numbers[2]);
    EXPECT_EQ(numbers[2], numbers[3]);
}

TEST_F(LogTest, LongMessageIsCutTo499Characters) {
    logger.Init(FileConfig(base));
    const std::string text(600, 'a');
    Write(logger, LOG_ERROR, "M", "%s", text.c_str());
    const std::string line = ReadFile(file);
    EXPECT_EQ(line, "2026-03-14 10:00:00 [ERROR] [M]\t" + std::string(499, 'a') + "\r\n");
}

TEST_F(LogTest, FilterMatchesModulesWithoutRegardToCase) {
    LogConfig config = FileConfig(base);
    config.lineFormat = LOG_FMT_MODULE | LOG_FMT_TEXT;
    snprintf(config.moduleFilter, sizeof config.moduleFilter, "A,,B");
    logger.Init(config);
    Write(logger, LOG_ERROR, "a", "1");
    Write(logger, LOG_ERROR, "C", "2");
    Write(logger, LOG_ERROR, nullptr, "3");
    Write(logger, LOG_ERROR, "b", "4");
    EXPECT_EQ(ReadFile(file), "[a]\t1\r\n[b]\t4\r\n");
}

TEST_F(LogTest, DroppedMessageStillOpensTheSharedFile) {
    LogConfig config = FileConfig(base);
    config.minLevel = LOG_ERROR;
    logger.Init(config);
    Write(logger, LOG_WARN, "M", "dropped");
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ReadFile(file), "");
}

TEST_F(LogTest, PerThreadModeWritesOneFilePerThread) {
    LogConfig config = FileConfig(base);
    config.fileMode = 0;  // leaves the shared default
    logger.Init(config);
    config.fileMode = 0x02;  // bit 0 clear: one file per thread
    logger.Init(config);
    pid_t other = 0;
    std::thread worker([&] {
        other = gettid();
        Write(logger, LOG_ERROR, "W", "from worker");
    });
    worker.join();
    Write(logger, LOG_ERROR, "M", "from main");
    EXPECT_NE(ReadFile(base + std::to_string(other) + ".log").find("from worker"),
              std::string::npos);
    EXPECT_NE(ReadFile(base + std::to_string(gettid()) + ".log").find("from main"),
              std::string::npos);
    EXPECT_FALSE(FileExists(file));
}

TEST_F(LogTest, SizeRotationStartsAbove10000000BytesAndWrapsAfterTen) {
    logger.Init(FileConfig(base, LOG_OUT_FILE | LOG_ROTATE_SIZE));
    Write(logger, LOG_ERROR, "M", "first");
    const off_t lineLength = SizeOf(file);

    // Exactly 10,000,000 bytes after the write: no rotation.
    ASSERT_EQ(truncate(file.c_str(), 10000000 - lineLength), 0);
    Write(logger, LOG_ERROR, "M", "first");
    EXPECT_EQ(SizeOf(file), 10000000);
    EXPECT_FALSE(FileExists(base + "_0.log"));

    for (int rotation = 0; rotation < 11; ++rotation) {
        ASSERT_EQ(truncate(file.c_str(), 10000001 - lineLength), 0);
        Write(logger, LOG_ERROR, "M", "r%04d", rotation);  // as long as "first"
        const std::string numbered = base + "_" + std::to_string(rotation % 10) + ".log";
        ASSERT_EQ(SizeOf(numbered), 10000001) << numbered;
        EXPECT_EQ(SizeOf(file), 0);
    }
    // The eleventh rotation replaced _0 with a file whose last line is its own.
    const std::string last = ReadFile(base + "_0.log").substr(10000001 - lineLength);
    EXPECT_NE(last.find("r0010"), std::string::npos);
}

TEST_F(LogTest, DailyRotationAtMidnight) {
    logger.Init(FileConfig(base, LOG_OUT_FILE | LOG_ROTATE_DAILY));
    Write(logger, LOG_ERROR, "M", "morning");
    SetNow(LocalTime(2026, 3, 14, 23, 59, 59));
    Write(logger, LOG_ERROR, "M", "late");
    EXPECT_FALSE(FileExists(base + ".20260315000000"));

    SetNow(LocalTime(2026, 3, 15, 0, 0, 1));
    Write(logger, LOG_ERROR, "M", "after midnight");
    const std::string rotated = ReadFile(base + ".20260315000000");
    EXPECT_NE(rotated.find("morning"), std::string::npos);
    EXPECT_NE(rotated.find("after midnight"), std::string::npos);
    EXPECT_EQ(ReadFile(file), "");

    Write(logger, LOG_ERROR, "M", "next");
    EXPECT_NE(ReadFile(file).find("next"), std::string::npos);
}

TEST_F(LogTest, DailyRotationHonoursTheConfiguredTime) {
    LogConfig config = FileConfig(base, LOG_OUT_FILE | LOG_ROTATE_DAILY);
    struct tm at {};
    at.tm_hour = 6;
    at.tm_min = 30;
    config.rotateAt = &at;
    logger.Init(config);
    Write(logger, LOG_ERROR, "M", "at ten");  // 06:30 has passed: next is tomorrow
    SetNow(LocalTime(2026, 3, 15, 6, 30, 0));
    Write(logger, LOG_ERROR, "M", "exactly at the time");
    EXPECT_FALSE(FileExists(base + ".20260315063000"));
    clock.wallSeconds += 1;
    Write(logger, LOG_ERROR, "M", "one second later");
    EXPECT_TRUE(FileExists(base + ".20260315063000"));
}

TEST_F(LogTest, ConcurrentWritesSurviveRotationsWhole) {
    logger.Init(FileConfig(base, LOG_OUT_FILE | LOG_ROTATE_SIZE));
    Write(logger, LOG_ERROR, "M", "start");
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                // Push the file over the limit now and then so rotations
                // happen while the other threads write.
                if (i == 100 || i == 200) truncate(file.c_str(), 10000001);
                Write(logger, LOG_ERROR, "M", "thread %d line %d", t, i);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    std::string all = ReadFile(file);
    for (int n = 0; n < 10; ++n) all += ReadFile(base + "_" + std::to_string(n) + ".log");
    // The truncations left holes of zeros in front of the lines.
    all.erase(std::remove(all.begin(), all.end(), '\0'), all.end());
    const std::regex line("thread (\\d) line (\\d+)\r\n");
    // At most eight rotations: no numbered file is replaced, so every line
    // must be found once and whole.
    std::set<std::pair<int, int>> seen;
    for (auto it = std::sregex_iterator(all.begin(), all.end(), line); it != std::sregex_iterator();
         ++it) {
        seen.emplace(std::stoi((*it)[1]), std::stoi((*it)[2]));
    }
    EXPECT_EQ(seen.size(), size_t{kThreads * kLines});
}

}  // namespace
