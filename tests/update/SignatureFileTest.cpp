#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "tests/update/SignatureFileText.h"
#include "update/PackageKey.h"
#include "update/SignatureFile.h"

namespace {

// Made by minisign 0.11 ("minisign -S -t 'my comment'") with a throwaway key,
// whose public key file names it 3AB5637D445AE9AE.
const std::array<std::string, 4> kLines = {
    "untrusted comment: signature from minisign secret key",
    "RUSu6VpEfWO1OiTYJevd+1gddJofSxuFxQvnz6KA/EZB2roxrBrztFahUVONuyRTKQLlVIAQrYIkf+HqiU2k+"
    "I6SSH+3eHrhJA8=",
    "trusted comment: my comment",
    "Htec/4vqZntXa0iPa3sTfVADmhXg5jIjC9Ir3AMh4FI18KISMzy35R1jyP7m3wDZwlwGtREVdI7BSbCbBZ4GDA==",
};
constexpr uint64_t kKeyId = 0x3AB5637D445AE9AE;

// The same key's legacy signature ("minisign -S -l"), with minisign's own
// trusted comment, which holds a tab.
const std::string kLegacy =
    "untrusted comment: signature from minisign secret key\n"
    "RWSu6VpEfWO1OmR0Q20CblIJIVp9SaKBz9ZWq9R5Buqcyri3OLMhJ1HgSbH/"
    "JD4eCHQn75svJSFAplMsv9ympnCSvtoha2wMNg0=\n"
    "trusted comment: timestamp:1796912773\tfile:f\n"
    "zcO6JUyJ3Rw/VkymWVhhhevTiLZbk4LFoRQYGQWUwQhPcUoNzZTCK5pEpju/5Q0LKb/THwmxVwsfdkrtoXSNAw==\n";

std::string Joined(const std::array<std::string, 4>& lines, const std::string& end = "\n") {
    return lines[0] + end + lines[1] + end + lines[2] + end + lines[3] + end;
}

const std::string kGood = Joined(kLines);

// kLines with line i replaced.
std::string WithLine(size_t i, const std::string& line) {
    std::array<std::string, 4> lines = kLines;
    lines[i] = line;
    return Joined(lines);
}

// text in base64's URL-safe alphabet, which minisign does not write.
std::string UrlSafe(std::string text) {
    std::ranges::replace(text, '+', '-');
    std::ranges::replace(text, '/', '_');
    return text;
}

// A signature line: algorithm, kKeyId and a signature of the given length.
std::string SignatureLine(const std::string& algorithm, size_t signatureBytes) {
    return Base64(algorithm + KeyIdBytes(kKeyId) + std::string(signatureBytes, '\x5A'));
}

TEST(SignatureFileTest, ReadsWhatMinisignWrote) {
    const std::optional<SignatureFile> file = ParseSignatureFile(kGood);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->algorithm, SignatureAlgorithm::Prehashed);
    EXPECT_EQ(file->keyId, kKeyId);
    EXPECT_EQ(KeyIdText(file->keyId), "3AB5637D445AE9AE");
    EXPECT_EQ(file->untrustedComment, "signature from minisign secret key");
    EXPECT_EQ(file->trustedComment, "my comment");
    // Every byte of both signatures was taken: writing them back gives the file.
    EXPECT_EQ(SignatureFileText(*file), kGood);
}

TEST(SignatureFileTest, ReadsALegacySignature) {
    const std::optional<SignatureFile> file = ParseSignatureFile(kLegacy);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->algorithm, SignatureAlgorithm::Legacy);
    EXPECT_EQ(file->keyId, kKeyId);
    EXPECT_EQ(file->trustedComment, "timestamp:1796912773\tfile:f");
    EXPECT_EQ(SignatureFileText(*file), kLegacy);
}

TEST(SignatureFileTest, ToleratesCrLfAndAMissingFinalLineEnd) {
    const std::optional<SignatureFile> expected = ParseSignatureFile(kGood);
    ASSERT_TRUE(expected);
    const std::string crlf = Joined(kLines, "\r\n");
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"CR LF", crlf},
        {"no final LF", kGood.substr(0, kGood.size() - 1)},
        {"CR LF, no final CR LF", crlf.substr(0, crlf.size() - 2)},
        {"CR LF, final CR only", crlf.substr(0, crlf.size() - 1)},
        {"mixed line ends", kLines[0] + "\r\n" + kLines[1] + "\n" + kLines[2] + "\r\n" + kLines[3]},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseSignatureFile(row.text), expected);
    }
}

TEST(SignatureFileTest, RefusesEverythingElse) {
    const std::string bigJunk(16 << 20, 'A');
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"three lines", kLines[0] + "\n" + kLines[1] + "\n" + kLines[2] + "\n"},
        {"five lines", kGood + "extra\n"},
        {"blank line after", kGood + "\n"},
        {"blank line before", "\n" + kGood},
        {"CR line ends", Joined(kLines, "\r")},
        {"two CRs before LF", Joined(kLines, "\r\r\n")},
        {"signature lines swapped", Joined({kLines[0], kLines[3], kLines[2], kLines[1]})},
        // Comment lines.
        {"untrusted comment without prefix", WithLine(0, "signature from minisign secret key")},
        {"trusted comment without prefix", WithLine(2, "my comment")},
        {"trusted comment prefix capitalised", WithLine(2, "Trusted comment: my comment")},
        {"trusted comment prefix without space", WithLine(2, "trusted comment:my comment")},
        {"NUL in trusted comment", WithLine(2, std::string("trusted comment: my\0comment", 27))},
        {"CR inside trusted comment", WithLine(2, "trusted comment: my\rcomment")},
        {"escape in trusted comment", WithLine(2, "trusted comment: \x1b[2Jmy comment")},
        {"DEL in untrusted comment", WithLine(0, "untrusted comment: x\x7f")},
        // Base64.
        {"invalid character", WithLine(1, "*" + kLines[1].substr(1))},
        {"byte above 0x7F", WithLine(1, kLines[1].substr(0, 50) + '\xbe' + kLines[1].substr(51))},
        {"NUL in signature line",
         WithLine(1, kLines[1].substr(0, 50) + '\0' + kLines[1].substr(51))},
        {"padding missing", WithLine(1, kLines[1].substr(0, kLines[1].size() - 1))},
        {"padding doubled", WithLine(1, kLines[1] + "=")},
        {"stray bits before padding",
         WithLine(1, kLines[1].substr(0, kLines[1].size() - 2) + "9=")},
        {"space after", WithLine(3, kLines[3] + " ")},
        {"space before", WithLine(3, " " + kLines[3])},
        {"URL-safe alphabet", WithLine(1, UrlSafe(kLines[1]))},
        {"wrapped signature line", kLines[0] + "\n" + kLines[1].substr(0, 64) + "\n" +
                                       kLines[1].substr(64) + "\n" + kLines[2] + "\n" + kLines[3]},
        // Lengths and algorithm.
        {"signature one byte short", WithLine(1, SignatureLine("ED", 63))},
        {"signature one byte long", WithLine(1, SignatureLine("ED", 65))},
        {"global signature one byte short", WithLine(3, Base64(std::string(63, 'g')))},
        {"global signature one byte long", WithLine(3, Base64(std::string(65, 'g')))},
        {"unknown algorithm", WithLine(1, SignatureLine("EE", 64))},
        {"algorithm in lower case", WithLine(1, SignatureLine("ed", 64))},
        {"public key line instead",
         WithLine(1, Base64("Ed" + KeyIdBytes(kKeyId) + std::string(32, 'k')))},
        // Large inputs.
        {"16 MiB of base64", bigJunk},
        {"16 MiB after a good file", kGood + bigJunk},
        {"a million empty lines", std::string(1 << 20, '\n')},
        {"16 MiB trusted comment", WithLine(2, "trusted comment: " + bigJunk)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(ParseSignatureFile(row.text));
    }
}

TEST(SignatureFileTest, AcceptsUpToTheSizeLimit) {
    // A long untrusted comment brings the file to the limit.
    const size_t room = kMaxSignatureFileBytes - kGood.size();
    const std::string atLimit = WithLine(0, kLines[0] + std::string(room, 'x'));
    ASSERT_EQ(atLimit.size(), kMaxSignatureFileBytes);
    EXPECT_TRUE(ParseSignatureFile(atLimit));
    EXPECT_FALSE(ParseSignatureFile(WithLine(0, kLines[0] + std::string(room + 1, 'x'))));
    // Line ends count too.
    EXPECT_FALSE(ParseSignatureFile(atLimit.substr(0, atLimit.size() - 1) + "\r\n"));
}

TEST(SignatureFileTest, AlgorithmBytesChooseTheForm) {
    const std::optional<SignatureFile> prehashed =
        ParseSignatureFile(WithLine(1, SignatureLine("ED", 64)));
    const std::optional<SignatureFile> legacy =
        ParseSignatureFile(WithLine(1, SignatureLine("Ed", 64)));
    ASSERT_TRUE(prehashed && legacy);
    EXPECT_EQ(prehashed->algorithm, SignatureAlgorithm::Prehashed);
    EXPECT_EQ(legacy->algorithm, SignatureAlgorithm::Legacy);
    EXPECT_EQ(prehashed->signature, legacy->signature);
    EXPECT_EQ(prehashed->signature[0], 0x5A);
}

}  // namespace
