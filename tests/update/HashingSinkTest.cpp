// The hashing stage: the hash covers exactly the bytes the file ends with.
#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "update/HashingSink.h"
#include "update/TempFileSink.h"

namespace {

PackageHash HashOf(const std::string& bytes) {
    PackageHasher hasher;
    hasher.Update(bytes.data(), bytes.size());
    return hasher.Digest();
}

class HashingSinkTest : public ::testing::Test {
protected:
    // One transfer: a body from offset, in two blocks, through the stage.
    PackageHash Transfer(int64_t offset, const std::string& body) {
        TempFileSink file(path);
        HashingSink hashing(file, file.File());
        EXPECT_TRUE(hashing.Restart(offset));
        EXPECT_TRUE(hashing.Write(body.data(), body.size() / 2));
        EXPECT_TRUE(hashing.Write(body.data() + body.size() / 2, body.size() - body.size() / 2));
        EXPECT_TRUE(hashing.Finish());
        return hashing.Digest();
    }

    TempDir dir;
    const std::string path = dir / "0.bak";
    const std::string package = std::string(200000, 'p') + "the end";
};

TEST_F(HashingSinkTest, AWholeTransferHashesItsBody) {
    EXPECT_EQ(Transfer(0, package), HashOf(package));
    EXPECT_EQ(ReadFile(path), package);
}

TEST_F(HashingSinkTest, AResumedTransferHashesTheKeptPartFirst) {
    WriteFile(path, package.substr(0, 123456));
    EXPECT_EQ(Transfer(123456, package.substr(123456)), HashOf(package));
}

// What an earlier run kept is part of what will run, so a change there shows.
TEST_F(HashingSinkTest, AChangeInTheKeptPartChangesTheHash) {
    std::string kept = package.substr(0, 1000);
    kept[10] = 'X';
    WriteFile(path, kept);
    EXPECT_NE(Transfer(1000, package.substr(1000)), HashOf(package));
}

TEST_F(HashingSinkTest, ARestartFromZeroForgetsTheKeptPart) {
    WriteFile(path, "stale bytes");
    EXPECT_EQ(Transfer(0, package), HashOf(package));
    EXPECT_EQ(ReadFile(path), package);
}

}  // namespace
