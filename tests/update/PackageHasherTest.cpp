#include <gtest/gtest.h>
#include <sodium.h>

#include <random>
#include <string>
#include <utility>

#include "tests/support/TempDir.h"
#include "update/PackageHasher.h"

namespace {

std::string Hex(const PackageHash& hash) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : hash) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

// BLAKE2b-512 known answers (RFC 7693 gives the one for "abc").
const std::string kEmptyHash =
    "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419"
    "d25e1031afee585313896444934eb04b903a685b1448b755d56f701afe9be2ce";
const std::string kAbcHash =
    "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d1"
    "7d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925ab92386edd4009923";

std::string Bytes(size_t size) {
    std::mt19937 random(11);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
}

PackageHash OneShot(const std::string& bytes) {
    PackageHash hash;
    crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const uint8_t*>(bytes.data()),
                       bytes.size(), nullptr, 0);
    return hash;
}

PackageHash FedInBlocks(const std::string& bytes, size_t block) {
    PackageHasher hasher;
    for (size_t at = 0; at < bytes.size(); at += block) {
        hasher.Update(bytes.data() + at, std::min(block, bytes.size() - at));
    }
    return hasher.Digest();
}

TEST(PackageHasherTest, KnownAnswers) {
    PackageHasher hasher;
    EXPECT_EQ(Hex(hasher.Digest()), kEmptyHash);
    hasher.Update("abc", 3);
    EXPECT_EQ(Hex(hasher.Digest()), kAbcHash);
}

TEST(PackageHasherTest, BlockSizesDoNotChangeTheHash) {
    const std::string bytes = Bytes(300001);
    const PackageHash expected = OneShot(bytes);
    for (const size_t block : {size_t(1), size_t(7), size_t(127), size_t(128), size_t(4093),
                               size_t(65536), size_t(65537), bytes.size()}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(FedInBlocks(bytes, block), expected);
    }
}

TEST(PackageHasherTest, DigestLeavesTheHasherOpen) {
    const std::string bytes = Bytes(200000);
    PackageHasher hasher;
    hasher.Update(bytes.data(), 100000);
    EXPECT_EQ(hasher.Digest(), OneShot(bytes.substr(0, 100000)));
    hasher.Update(bytes.data() + 100000, 100000);
    EXPECT_EQ(hasher.Digest(), OneShot(bytes));
}

TEST(PackageHasherTest, ResetAndMove) {
    PackageHasher hasher;
    hasher.Update("junk", 4);
    hasher.Reset();
    hasher.Update("abc", 3);
    EXPECT_EQ(Hex(hasher.Digest()), kAbcHash);

    PackageHasher moved(std::move(hasher));
    EXPECT_EQ(Hex(moved.Digest()), kAbcHash);
    hasher.Reset();  // a moved-from hasher starts again
    EXPECT_EQ(Hex(hasher.Digest()), kEmptyHash);

    hasher = std::move(moved);
    EXPECT_EQ(Hex(hasher.Digest()), kAbcHash);
}

TEST(PackageHasherTest, FilePrefixThenTheRestIsTheWholeHash) {
    TempDir dir;
    const std::string bytes = Bytes(200000);
    const std::string partial = dir / "0.bak";
    WriteFile(partial, bytes);
    for (const size_t kept : {size_t(0), size_t(1), size_t(65536), size_t(65537), bytes.size()}) {
        SCOPED_TRACE(kept);
        PackageHasher hasher;
        ASSERT_TRUE(HashFilePrefix(platform::File::OpenForReading(partial), int64_t(kept), hasher));
        hasher.Update(bytes.data() + kept, bytes.size() - kept);
        EXPECT_EQ(hasher.Digest(), OneShot(bytes));
    }
}

TEST(PackageHasherTest, FilePrefixFailsWhenTheFileFallsShort) {
    TempDir dir;
    const std::string partial = dir / "0.bak";
    WriteFile(partial, Bytes(1000));
    PackageHasher hasher;
    const platform::File file = platform::File::OpenForReading(partial);
    EXPECT_FALSE(HashFilePrefix(file, 1001, hasher));
    EXPECT_FALSE(HashFilePrefix(platform::File::OpenForReading(dir / "missing.bak"), 1, hasher));
    EXPECT_FALSE(HashFilePrefix(file, -1, hasher));
}

}  // namespace
