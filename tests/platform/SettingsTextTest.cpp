#include <gtest/gtest.h>

#include "platform/SettingsText.h"

namespace platform {
namespace {

constexpr const char* kKey = "SOFTWARE\\Velmora\\Quorvane3D";

TEST(SettingsTextTest, WritesTheRegistryExportShape) {
    SettingsValues values;
    SetSettingsValue(values, "QuorvaneInstallDic", std::string("/home/ann/my \"games\"\\x"));
    SetSettingsValue(values, "report_sign", uint32_t{10});
    EXPECT_EQ(FormatSettingsText(values, kKey),
              "[SOFTWARE\\Velmora\\Quorvane3D]\n"
              "\"QuorvaneInstallDic\"=\"/home/ann/my \\\"games\\\"\\\\x\"\n"
              "\"report_sign\"=dword:0000000a\n");
}

TEST(SettingsTextTest, EveryStorableTextAndNumberSurvivesARoundTrip) {
    SettingsValues values;
    SetSettingsValue(values, "empty", std::string());
    SetSettingsValue(values, "quotes and \\ \"", std::string("a\"b\\c\\\\\"d"));
    SetSettingsValue(values, "breaks", std::string("line1\nline2\r\n\ttab"));
    SetSettingsValue(values, "chinese", std::string("游戏正在下载安装中！"));
    SetSettingsValue(values, "zero", uint32_t{0});
    SetSettingsValue(values, "max", uint32_t{0xffffffffu});
    SetSettingsValue(values, "", std::string("unnamed"));

    const std::string text = FormatSettingsText(values, kKey);
    const std::optional<SettingsValues> parsed = ParseSettingsText(text, kKey);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ((*parsed)[i].name, values[i].name);
        EXPECT_EQ((*parsed)[i].data, values[i].data) << values[i].name;
    }
}

TEST(SettingsTextTest, AcceptsWhatAHandEditedFileMayHold) {
    struct Case {
        const char* text;
        size_t count;
    };
    const Case cases[] = {
        {"", 0},
        {"\n\n", 0},
        {"[SOFTWARE\\Velmora\\Quorvane3D]", 0},
        {"[SOFTWARE\\Velmora\\Quorvane3D]\r\n\"a\"=\"x\"\r\n", 1},
        {"\n[SOFTWARE\\Velmora\\Quorvane3D]\n\n\"a\"=dword:DEADBEEF\n\n", 1},
    };
    for (const Case& c : cases) {
        const std::optional<SettingsValues> parsed = ParseSettingsText(c.text, kKey);
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(parsed->size(), c.count) << c.text;
    }
}

TEST(SettingsTextTest, TheLaterOfTwoValuesWithOneNameCounts) {
    const std::optional<SettingsValues> parsed = ParseSettingsText(
        "[SOFTWARE\\Velmora\\Quorvane3D]\n\"a\"=\"first\"\n\"a\"=dword:00000002\n", kKey);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), 1u);
    EXPECT_EQ(parsed->front().data, (std::variant<std::string, uint32_t>(uint32_t{2})));
}

TEST(SettingsTextTest, RefusesDamagedText) {
    const std::string header = "[SOFTWARE\\Velmora\\Quorvane3D]\n";
    const char nulInside[] = "\"a\"=\"nul\0inside\"\n";
    const char elfHead[] =
        "\x7f"
        "ELF\x02\x01\x01\0\0\0";
    const std::string cases[] = {
        "[SOFTWARE\\Velmora\\Other]\n\"a\"=\"x\"\n",
        "\"a\"=\"x\"\n",
        header + "\"a\"=\"unterminated\n",
        header + "\"a\"=\"bad \\x escape\"\n",
        header + "\"a\"=\"x\" trailing\n",
        header + "\"a\" = \"x\"\n",
        header + "\"a\"=dword:0000000\n",
        header + "\"a\"=dword:000000001\n",
        header + "\"a\"=dword:0000000g\n",
        header + "\"a\"=hex:01,02\n",
        header + "a=\"x\"\n",
        header + std::string(nulInside, sizeof nulInside - 1),
        std::string(elfHead, sizeof elfHead - 1),
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(ParseSettingsText(text, kKey)) << text;
    }
}

TEST(SettingsTextTest, ControlCharactersOtherThanTabAndBreaksAreNotStorable) {
    EXPECT_TRUE(IsStorableSettingsText("tab\tline\nreturn\r"));
    EXPECT_FALSE(IsStorableSettingsText(std::string("nul\0", 4)));
    EXPECT_FALSE(IsStorableSettingsText("bell\a"));
    EXPECT_FALSE(IsStorableSettingsText("escape\x1b[0m"));
}

}  // namespace
}  // namespace platform
