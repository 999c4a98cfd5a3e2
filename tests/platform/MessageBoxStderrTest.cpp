#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

// This program never enables dialogs: a box is only its line on standard
// error, shown without GTK or a display.
TEST(MessageBoxStderrTest, BeforeDialogsAreEnabledABoxIsOneLineOnStandardError) {
    TempDir dir;
    ScopedEnv noDisplay("DISPLAY", std::nullopt);
    ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    CapturedStderr errors(dir / "stderr");
    ShowMessageBox("游戏正在下载安装中！");
    ShowMessageBox("second", MessageIcon::Information);
    EXPECT_EQ(errors.Text(), "游戏正在下载安装中！\nsecond\n");
}

}  // namespace
}  // namespace platform
