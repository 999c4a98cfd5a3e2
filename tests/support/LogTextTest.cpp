// Text from outside made safe for a log line.
#include <gtest/gtest.h>

#include <string>

#include "support/LogText.h"

namespace {

TEST(LogTextTest, ControlBytesAreEscapedAndTheRestStays) {
    const struct {
        std::string text;
        std::string logged;
    } cases[] = {
        {"http://dl.example/download", "http://dl.example/download"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"\x7f\x01\x1f", "\\x7f\\x01\\x1f"},
        {"签名 ok", "签名 ok"},
        {"back\\slash", "back\\slash"},
    };
    for (const auto& row : cases) EXPECT_EQ(EscapeControlBytes(row.text), row.logged);
}

}  // namespace
