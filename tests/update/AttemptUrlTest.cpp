#include <gtest/gtest.h>

#include "update/AttemptUrl.h"

namespace {

TEST(AttemptUrlTest, DisguiseOnEvenCountersOnly) {
    const struct {
        const char* name;
        int counter;
        bool disguise;
        const char* url;
    } cases[] = {
        {"vorn_ad2.exe", 4, true, "http://h/download/vorn_ad2.vorn123"},
        {"vorn_ad2.exe", 3, true, "http://h/download/vorn_ad2.exe"},
        {"vorn_ad2.exe", 2, true, "http://h/download/vorn_ad2.vorn123"},
        {"vorn_ad2.exe", 1, true, "http://h/download/vorn_ad2.exe"},
        {"vorn_ad2.exe", 4, false, "http://h/download/vorn_ad2.exe"},
        {"pack.tar.gz", 4, true, "http://h/download/pack.tar.vorn123"},
        {"readme", 4, true, "http://h/download/readme"},
        {"v1.2/readme", 4, true, "http://h/download/v1.2/readme"},
        {"data\\\\pack.dat", 4, true, "http://h/download/data/pack.vorn123"},
        {"data\\\\pack.dat", 3, true, "http://h/download/data/pack.dat"},
        {"a\\b.dat", 3, true, "http://h/download/a\\b.dat"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(AttemptUrl("http://h/download", row.name, row.counter, row.disguise), row.url)
            << row.name << " " << row.counter;
    }
}

TEST(AttemptUrlTest, PairsOfBackslashesOnly) {
    EXPECT_EQ(SlashForDoubleBackslash("a\\\\\\b"), "a/\\b");
    EXPECT_EQ(SlashForDoubleBackslash("a\\\\\\\\b"), "a//b");
    EXPECT_EQ(SlashForDoubleBackslash("\\"), "\\");
}

}  // namespace
