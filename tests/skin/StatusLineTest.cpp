#include <gtest/gtest.h>

#include "skin/StatusLine.h"

namespace {

std::string Join(const std::vector<std::string>& chars) {
    std::string text;
    for (const std::string& ch : chars) text += ch;
    return text;
}

}  // namespace

TEST(ComposeStatusLineTest, JoinsTheTextsByTheGapRules) {
    const struct {
        const char* status;
        const char* detail;
        const char* size;
        const char* line;
    } cases[] = {
        // A lone status is pushed 170 px along by ten blanks.
        {"正在安装游戏", "", "", "??????????正在安装游戏"},
        {"", "", "", "??????????"},
        // Detail wins over size; a line of more than 4 characters gets one blank.
        {"正在下载游戏", "vorn_ad2.exe", "1.00 MB", "正在下载游戏?vorn_ad2.exe"},
        {"正在下载游戏", "", "12.5MB/1.2GB", "正在下载游戏?12.5MB/1.2GB"},
        // Up to 4 characters the separator is ten blanks.
        {"下载中", "", "1.00 MB", "下载中??????????1.00 MB"},
        {"abcd", "x", "", "abcd??????????x"},
        {"abcde", "x", "", "abcde?x"},
        {"", "", "1.00 MB", "??????????1.00 MB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Join(ComposeStatusLine(c.status, c.detail, c.size)), c.line) << c.status;
    }
}

TEST(ComposeStatusLineTest, CutsAStatusOfMoreThan25CharactersTo20) {
    const std::string thirty = "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十";
    const std::vector<std::string> line = ComposeStatusLine(thirty, "", "9 MB");
    EXPECT_EQ(Join(line), "一二三四五六七八九十一二三四五六七八九十?9 MB");

    const std::string twentyFive(25, 'a');
    EXPECT_EQ(Join(ComposeStatusLine(twentyFive, "", "z")), twentyFive + "?z");
    EXPECT_EQ(Join(ComposeStatusLine(twentyFive + "b", "", "z")), std::string(20, 'a') + "?z");
}

TEST(ComposeStatusLineTest, DrawsAtMost99Characters) {
    const std::string detail(200, 'd');
    const std::vector<std::string> line = ComposeStatusLine("status", detail, "");
    ASSERT_EQ(line.size(), kStatusLineMaxChars);
    EXPECT_EQ(Join(line), "status?" + std::string(92, 'd'));
}

TEST(ComposeStatusLineTest, CountsCharactersNotBytes) {
    // 26 three-byte characters: cut to 20 characters, never inside one.
    std::string status;
    for (int i = 0; i < 26; ++i) status += "游";
    const std::vector<std::string> line = ComposeStatusLine(status, "x", "");
    ASSERT_EQ(line.size(), 22u);
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(line[i], "游");
}

TEST(ComposeStatusLineTest, ReplacesInvalidUtf8) {
    const std::vector<std::string> line = ComposeStatusLine("ab\xff\xfe", "", "");
    EXPECT_EQ(Join(line), "??????????ab\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(SplitCharactersTest, KeepsMultiByteCharactersWhole) {
    EXPECT_EQ(SplitCharacters("a正_😀"), (std::vector<std::string>{"a", "正", "_", "😀"}));
    EXPECT_TRUE(SplitCharacters("").empty());
}
