#include <gtest/gtest.h>

#include <string>

#include "tests/support/ToolRun.h"
#include "tests/update/SignatureFileText.h"
#include "update/PackageKey.h"

namespace {

// A public key line minisign 0.11 wrote with "untrusted comment: minisign
// public key 3AB5637D445AE9AE" above it.
const std::string kKeyLine = "RWSu6VpEfWO1Ohe8axHmB1qvNXixeDDpcEkL4cjm6ewer+up9ALSu0aU";

// A key line for keyId whose Ed25519 key is 32 bytes of fill.
std::string KeyLine(const std::string& algorithm, uint64_t keyId, char fill = 'k') {
    return Base64(algorithm + KeyIdBytes(keyId) + std::string(32, fill));
}

TEST(PackageKeyTest, ReadsMinisignsKeyLines) {
    const struct {
        std::string line;
        std::string idText;  // from the comment above the line in minisign.pub
    } cases[] = {
        {kKeyLine, "3AB5637D445AE9AE"},
        // minisign writes a key id with a leading zero nibble in 15 digits.
        {"RWQ7aGDARJibC9/RPJI0qL29GCdG/UqiIJLCJwgdCNKFOB49XuyGy3a5", "B9B9844C060683B"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.line);
        const std::optional<PackageKey> key = ParsePackageKey(row.line);
        ASSERT_TRUE(key);
        EXPECT_EQ(KeyIdText(key->keyId), row.idText);
        const std::string publicKey(key->publicKey.begin(), key->publicKey.end());
        EXPECT_EQ(Base64("Ed" + KeyIdBytes(key->keyId) + publicKey), row.line);
    }
    EXPECT_EQ(KeyIdText(0), "0");
}

// The configure step's check (cmake/CheckPackagePublicKey.cmake) and the
// launcher's parser agree on every value: a key the build accepts is one the
// launcher can use, and a configure step never lets a bad key through.
TEST(PackageKeyTest, ConfigureCheckAgreesWithTheParser) {
    const struct {
        const char* name;
        std::string line;
        bool accepted;
    } cases[] = {
        {"minisign's key", kKeyLine, true},
        // The key id's first byte sets the third character: Q, R, S or T.
        {"key id from 0x00", KeyLine("Ed", 0x00), true},
        {"key id from 0x40", KeyLine("Ed", 0x40), true},
        {"key id from 0x80", KeyLine("Ed", 0x80), true},
        {"key id from 0xC0", KeyLine("Ed", 0xC0), true},
        {"algorithm Ee (RWU...)", KeyLine("Ee", 0x80), false},
        {"algorithm ED (RUS...)", KeyLine("ED", 0x80), false},
        {"one character short", kKeyLine.substr(1), false},
        {"one character long", kKeyLine + "A", false},
        {"a key one byte short", Base64("Ed" + KeyIdBytes(1) + std::string(31, 'k')), false},
        {"space inside", kKeyLine.substr(0, 20) + " " + kKeyLine.substr(21), false},
        {"invalid character", kKeyLine.substr(0, 55) + "*", false},
        {"URL-safe character", kKeyLine.substr(0, 55) + "_", false},
        {"byte above 0x7F", kKeyLine.substr(0, 40) + "\xbe" + kKeyLine.substr(41), false},
        {"quote", kKeyLine.substr(0, 55) + "\"", false},
        {"whole minisign.pub",
         "untrusted comment: minisign public key 3AB5637D445AE9AE\n" + kKeyLine, false},
        {"a signature line",
         "RUSu6VpEfWO1OiTYJevd+1gddJofSxuFxQvnz6KA/"
         "EZB2roxrBrztFahUVONuyRTKQLlVIAQrYIkf+HqiU2k+I6SSH+3eHrhJA8=",
         false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParsePackageKey(row.line).has_value(), row.accepted);
        const ToolRun configure = RunTool({VORN_CMAKE_COMMAND, "-DVORN_PACKAGE_PUBKEY=" + row.line,
                                           "-P", VORN_CHECK_PUBKEY_SCRIPT});
        EXPECT_EQ(configure.exitCode == 0, row.accepted) << configure.output;
        if (!row.accepted) {
            EXPECT_NE(configure.output.find("not a minisign public key"), std::string::npos);
        }
    }
    // No key at all: packages go unchecked, the configure step goes on.
    EXPECT_EQ(RunTool({VORN_CMAKE_COMMAND, "-P", VORN_CHECK_PUBKEY_SCRIPT}).exitCode, 0);
    EXPECT_FALSE(ParsePackageKey(""));
}

}  // namespace
