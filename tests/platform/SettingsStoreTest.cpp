#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <regex>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SettingsText.h"
#include "platform/posix/SettingsFile.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

using ::testing::HasSubstr;

std::vector<std::string> NamesIn(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    std::string KeyDir() const { return m_home / "SOFTWARE/Velmora"; }
    std::string KeyFile() const { return KeyDir() + "/Quorvane3D.reg"; }
    // Files that were kept aside, by name.
    std::vector<std::string> KeptAside() const {
        std::vector<std::string> aside;
        for (const std::string& name : NamesIn(KeyDir())) {
            if (name.find(".corrupt-") != std::string::npos) aside.push_back(name);
        }
        return aside;
    }

    TempDir m_home;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.Path()};
};

TEST_F(SettingsStoreTest, TheKeyLivesUnderTheConfigFolder) {
    EXPECT_EQ(SettingsFilePath(), KeyFile());
    EXPECT_EQ(SettingsFilePath("SOFTWARE\\Other"), m_home / "SOFTWARE/Other.reg");
    ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv home("HOME", "/home/ann");
    EXPECT_EQ(SettingsFilePath(), "/home/ann/.config/SOFTWARE/Velmora/Quorvane3D.reg");
}

TEST_F(SettingsStoreTest, AMissingKeyHasNoValuesUntilItIsCreated) {
    auto store = OpenUserSettings();
    EXPECT_FALSE(store->KeyExists());
    EXPECT_FALSE(store->ReadString("QuorvaneInstallDic"));
    EXPECT_FALSE(store->ReadDword("report_sign"));
    EXPECT_FALSE(FileExists(KeyFile()));

    EXPECT_TRUE(store->CreateKey());
    EXPECT_TRUE(store->KeyExists());
    EXPECT_EQ(ReadFile(KeyFile()), "[SOFTWARE\\Velmora\\Quorvane3D]\n");
    EXPECT_TRUE(store->CreateKey());
}

TEST_F(SettingsStoreTest, ValuesKeepTheirTypeAndOutliveTheStore) {
    const std::string installDir = "/home/ann/my \"games\"\\vorn";
    {
        auto store = OpenUserSettings();
        ASSERT_TRUE(store->WriteString("QuorvaneInstallDic", installDir));
        ASSERT_TRUE(store->WriteString("QuorvaneChannelNum", "12345"));
        ASSERT_TRUE(store->WriteDword("report_sign", 1));
    }
    auto store = OpenUserSettings();
    EXPECT_TRUE(store->KeyExists());
    EXPECT_EQ(store->ReadString("QuorvaneInstallDic"), installDir);
    EXPECT_EQ(store->ReadString("QuorvaneChannelNum"), "12345");
    EXPECT_EQ(store->ReadDword("report_sign"), 1u);
    // A value read as the other type is not found.
    EXPECT_FALSE(store->ReadDword("QuorvaneChannelNum"));
    EXPECT_FALSE(store->ReadString("report_sign"));

    // Writing a name again replaces its value and type.
    ASSERT_TRUE(store->WriteDword("QuorvaneChannelNum", 7));
    EXPECT_EQ(store->ReadDword("QuorvaneChannelNum"), 7u);
    EXPECT_FALSE(store->ReadString("QuorvaneChannelNum"));
    EXPECT_EQ(store->ReadString("QuorvaneInstallDic"), installDir);
}

TEST_F(SettingsStoreTest, RefusesTextsItCannotKeep) {
    auto store = OpenUserSettings();
    ASSERT_TRUE(store->WriteString("a", "kept"));
    const std::string before = ReadFile(KeyFile());

    EXPECT_TRUE(store->WriteString("largest", std::string(64 * 1024, 'x')));
    EXPECT_FALSE(store->WriteString("a", std::string(64 * 1024 + 1, 'x')));
    EXPECT_FALSE(store->WriteString(std::string(64 * 1024 + 1, 'n'), "x"));
    EXPECT_FALSE(store->WriteString("a", std::string("nul\0", 4)));
    EXPECT_FALSE(store->WriteDword(std::string("bell\a"), 1));
    EXPECT_EQ(store->ReadString("a"), "kept");
    EXPECT_EQ(store->ReadString("largest")->size(), 64u * 1024);
}

// A forked writer of one REG_DWORD value; ends with 0 when it was stored.
pid_t StartWriter(const std::string& name, uint32_t value) {
    return ForkChild([&] { return OpenUserSettings()->WriteDword(name, value) ? 0 : 1; });
}

// A writer killed at any moment leaves either the old file or the new one.
TEST_F(SettingsStoreTest, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    const std::string filler(32 * 1024, 'f');
    auto store = OpenUserSettings();
    ASSERT_TRUE(store->WriteString("filler", filler));
    ASSERT_TRUE(store->WriteDword("round", 0));

    // The kills are spread over the time a whole writer run takes here
    // (start-up included), and a little beyond.
    constexpr int kCalibrationRuns = 5;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalibrationRuns; ++i) ASSERT_EQ(WaitStatus(StartWriter("round", 0)), 0);
    const auto runMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - started)
                                     .count() /
                                 kCalibrationRuns;

    std::mt19937 random(20240229);
    std::uniform_int_distribution<long> delayMicroseconds(0, runMicroseconds * 3 / 2);
    uint32_t committed = 0;
    int roundsWithNewValue = 0;
    // Under the sanitizers each fork costs some 50 times more; those builds
    // look for memory and thread faults, which fewer rounds find as well.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr uint32_t kRounds = 150;
#else
    constexpr uint32_t kRounds = 1000;
#endif
    for (uint32_t round = 1; round <= kRounds; ++round) {
        const pid_t writer = StartWriter("round", round);
        ASSERT_GT(writer, 0);
        usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        kill(writer, SIGKILL);
        WaitStatus(writer);

        const std::optional<SettingsValues> values =
            ParseSettingsText(ReadFile(KeyFile()), kGameKeyPath);
        ASSERT_TRUE(values) << "round " << round;
        const SettingsValue* value = FindSettingsValue(*values, "round");
        ASSERT_NE(value, nullptr);
        const uint32_t stored = std::get<uint32_t>(value->data);
        ASSERT_TRUE(stored == committed || stored == round) << stored << " in round " << round;
        ASSERT_EQ(std::get<std::string>(FindSettingsValue(*values, "filler")->data), filler);
        if (stored == round) ++roundsWithNewValue;
        committed = stored;
    }
    // Both outcomes must have happened, or the kills did not hit the writes.
    EXPECT_GT(roundsWithNewValue, 0);
    EXPECT_LT(roundsWithNewValue, static_cast<int>(kRounds));
    EXPECT_TRUE(KeptAside().empty());
    EXPECT_EQ(store->ReadDword("round"), committed);
}

TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr uint32_t kWrites = 200;
    auto writeAll = [](const std::string& prefix) {
        auto store = OpenUserSettings();
        int failures = 0;
        for (uint32_t i = 0; i < kWrites; ++i) {
            if (!store->WriteDword(prefix + std::to_string(i), i)) ++failures;
        }
        return failures == 0 ? 0 : 1;
    };
    const pid_t first = ForkChild([&] { return writeAll("a"); });
    const pid_t second = ForkChild([&] { return writeAll("b"); });
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitStatus(first), 0);
    EXPECT_EQ(WaitStatus(second), 0);

    auto store = OpenUserSettings();
    for (uint32_t i = 0; i < kWrites; ++i) {
        EXPECT_EQ(store->ReadDword("a" + std::to_string(i)), i);
        EXPECT_EQ(store->ReadDword("b" + std::to_string(i)), i);
    }
}

// A damaged file reads as an empty key, is kept aside whole, and the next
// write starts afresh.
TEST_F(SettingsStoreTest, ADamagedFileIsKeptAsideAndReplaced) {
    const char binary[] =
        "\x7f"
        "ELF\x02\x01\0\0junk\xff\xfe";
    const std::string cases[] = {
        std::string(binary, sizeof binary - 1),
        "[SOFTWARE\\Velmora\\Quorvane3D]\n\"QuorvaneInstallDic\"=\"/home/ann/ga",
        "QuorvaneInstallDic=/home/ann\n",
    };
    const std::regex asideName(R"(Quorvane3D\.reg\.corrupt-\d{8}-\d{6})");
    for (const std::string& damaged : cases) {
        TempDir home;
        ScopedEnv config("XDG_CONFIG_HOME", home.Path());
        const std::string file = SettingsFilePath();
        ASSERT_TRUE(CreateDirectories(home / "SOFTWARE/Velmora"));
        WriteFile(file, damaged);

        auto store = OpenUserSettings();
        CapturedStderr errors(home / "stderr");
        EXPECT_FALSE(store->ReadString("QuorvaneInstallDic"));
        const std::string message = errors.Text();
        EXPECT_THAT(message, HasSubstr(file));
        EXPECT_THAT(message, HasSubstr("kept aside"));
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);

        std::vector<std::string> aside;
        for (const std::string& name : NamesIn(home / "SOFTWARE/Velmora")) {
            if (std::regex_match(name, asideName)) aside.push_back(name);
        }
        ASSERT_EQ(aside.size(), 1u) << damaged;
        EXPECT_EQ(ReadFile(home / "SOFTWARE/Velmora/" + aside[0]), damaged);
        EXPECT_FALSE(FileExists(file));

        EXPECT_TRUE(store->WriteDword("report_sign", 1));
        EXPECT_EQ(ReadFile(file),
                  "[SOFTWARE\\Velmora\\Quorvane3D]\n\"report_sign\"=dword:00000001\n");
    }
}

TEST_F(SettingsStoreTest, AWriteOverADamagedFileKeepsItAsideFirst) {
    ASSERT_TRUE(CreateDirectories(KeyDir()));
    WriteFile(KeyFile(), "garbage");
    auto store = OpenUserSettings();
    CapturedStderr errors(m_home / "stderr");
    EXPECT_TRUE(store->WriteString("QuorvaneInstallDic", "/games"));
    EXPECT_THAT(errors.Text(), HasSubstr("kept aside"));
    EXPECT_EQ(KeptAside().size(), 1u);
    EXPECT_EQ(store->ReadString("QuorvaneInstallDic"), "/games");
}

TEST_F(SettingsStoreTest, DamagedFilesFoundInOneSecondAreAllKept) {
    auto store = OpenUserSettings();
    ASSERT_TRUE(CreateDirectories(KeyDir()));
    CapturedStderr errors(m_home / "stderr");
    for (int i = 0; i < 3; ++i) {
        WriteFile(KeyFile(), "garbage " + std::to_string(i));
        EXPECT_FALSE(store->ReadDword("report_sign"));
    }
    std::vector<std::string> contents;
    for (const std::string& name : KeptAside()) contents.push_back(ReadFile(KeyDir() + "/" + name));
    EXPECT_THAT(contents, ::testing::UnorderedElementsAre("garbage 0", "garbage 1", "garbage 2"));
}

TEST_F(SettingsStoreTest, AnUnreadableFileIsKeptAside) {
    ASSERT_TRUE(CreateDirectories(KeyDir()));
    // A folder in place of the file cannot be read even by root.
    ASSERT_TRUE(CreateDirectories(KeyFile()));
    WriteFile(KeyFile() + "/inside", "x");
    auto store = OpenUserSettings();
    CapturedStderr errors(m_home / "stderr");
    EXPECT_FALSE(store->ReadDword("report_sign"));
    EXPECT_TRUE(store->WriteDword("report_sign", 1));
    EXPECT_EQ(store->ReadDword("report_sign"), 1u);
    ASSERT_EQ(KeptAside().size(), 1u);
    EXPECT_EQ(ReadFile(KeyDir() + "/" + KeptAside()[0] + "/inside"), "x");
}

TEST_F(SettingsStoreTest, AFileWithoutReadPermissionIsKeptAside) {
    // Root reads any file, so a root test runs the case as nobody.
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chmod(m_home.Path().c_str(), 0777), 0);
    const pid_t child = ForkChild([&] {
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) return 10;
        auto store = OpenUserSettings();
        if (!store->WriteDword("report_sign", 1)) return 1;
        if (chmod(KeyFile().c_str(), 0) != 0) return 2;
        CapturedStderr errors(m_home / "stderr");
        if (store->ReadDword("report_sign")) return 3;
        if (KeptAside().size() != 1) return 4;
        if (!store->WriteDword("report_sign", 2) || store->ReadDword("report_sign") != 2u) return 5;
        return errors.Text().find("kept aside") != std::string::npos ? 0 : 6;
    });
    const int status = WaitStatus(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "step that failed";
}

TEST_F(SettingsStoreTest, AWriteFailsWhenTheFolderCannotBeMade) {
    // A file where the key's folder should be.
    WriteFile(m_home / "SOFTWARE", "not a folder");
    auto store = OpenUserSettings();
    EXPECT_FALSE(store->WriteDword("report_sign", 1));
    EXPECT_FALSE(store->CreateKey());
    EXPECT_FALSE(store->ReadDword("report_sign"));
}

}  // namespace
}  // namespace platform
