#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "skin/SkinFont.h"

TEST(SelectSkinFontTest, OldSystemsGetSongtiLargeOthersYaheiSmall) {
    const struct {
        int osClass;
        const char* family;
        bool large;
    } cases[] = {{1, "宋体", true},      {0, "微软雅黑", false}, {2, "微软雅黑", false},
                 {3, "微软雅黑", false}, {4, "微软雅黑", false}, {5, "微软雅黑", false}};
    for (const auto& c : cases) {
        const SkinFont font = SelectSkinFont(c.osClass);
        EXPECT_EQ(font.family, c.family) << c.osClass;
        EXPECT_EQ(font.m_bLargeFont, c.large) << c.osClass;
    }
}

TEST(InstallSkinFontAliasesTest, EveryRequestedFamilyResolvesToTheCjkFont) {
    // Called from several threads at once: the aliases are still loaded once.
    std::vector<std::thread> callers;
    for (int i = 0; i < 4; ++i) callers.emplace_back(InstallSkinFontAliases);
    for (std::thread& caller : callers) caller.join();

    for (const char* family : {"宋体", "微软雅黑", "黑体", "SimSun"}) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        ASSERT_NE(match, nullptr) << family;
        FcChar8* matched = nullptr;
        ASSERT_EQ(FcPatternGetString(match, FC_FAMILY, 0, &matched), FcResultMatch);
        const std::string name = reinterpret_cast<const char*>(matched);
        EXPECT_TRUE(name == "WenQuanYi Zen Hei" || name.rfind("Noto Sans CJK", 0) == 0)
            << family << " -> " << name;
        FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
}
