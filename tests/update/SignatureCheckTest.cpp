// Known answers from the real minisign tool: key pairs and signatures made in
// the test's temporary folder, checked by the launcher's code.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"
#include "update/PackageHasher.h"
#include "update/SignatureCheck.h"

namespace {

constexpr const char* kTrustedComment = "timestamp:1733900000\tfile:vorn_ad2.exe\tbuild 42";

// Pseudo-random bytes that cross several 64 KiB blocks and end in a partial one.
std::string PackageBytes() {
    std::mt19937 random(7);
    std::string bytes(300001, '\0');
    for (char& c : bytes) c = char(random());
    return bytes;
}

// The second line of a minisign file (a key or a signature).
std::string SecondLine(const std::string& text) {
    const size_t start = text.find('\n') + 1;
    return text.substr(start, text.find('\n', start) - start);
}

class SignatureCheckTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_package, PackageBytes());
        m_ours = MakeKeyPair("ours");
        m_theirs = MakeKeyPair("theirs");
    }

    // minisign -G without a password; the key as the launcher reads it.
    PackageKey MakeKeyPair(const std::string& name) {
        const ToolRun run = RunTool({VORN_MINISIGN, "-G", "-W", "-p", m_dir / (name + ".pub"), "-s",
                                     m_dir / (name + ".key")});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        const std::string publicFile = ReadFile(m_dir / (name + ".pub"));
        const std::optional<PackageKey> key = ParsePackageKey(SecondLine(publicFile));
        EXPECT_TRUE(key) << publicFile;
        // minisign names the key in the file's first line.
        if (key) {
            EXPECT_NE(publicFile.find("public key " + KeyIdText(key->keyId) + "\n"),
                      std::string::npos);
        }
        return key.value_or(PackageKey{});
    }

    // The signature file minisign writes for the package with the named key.
    std::string Sign(const std::string& keyName, const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv{
            VORN_MINISIGN, "-S",           "-s", m_dir / (keyName + ".key"),
            "-m",          m_package,      "-x", m_signatureFile,
            "-t",          kTrustedComment};
        argv.insert(argv.end(), options.begin(), options.end());
        const ToolRun run = RunTool(argv);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return ReadFile(m_signatureFile);
    }

    // minisign's own verdict on the package and a signature file.
    bool MinisignVerifies(const std::string& keyName, const std::string& signature) {
        WriteFile(m_signatureFile, signature);
        return RunTool({VORN_MINISIGN, "-V", "-p", m_dir / (keyName + ".pub"), "-m", m_package,
                        "-x", m_signatureFile})
                   .exitCode == 0;
    }

    // The launcher's check: the package hashed from disk as a download resumes it.
    SignatureVerdict Check(const PackageKey& key, const std::string& signature) {
        const std::optional<SignatureFile> file = ParseSignatureFile(signature);
        EXPECT_TRUE(file) << signature;
        if (!file) return SignatureVerdict(SignatureOutcome::Malformed);
        return Check(key, *file);
    }

    SignatureVerdict Check(const PackageKey& key, const SignatureFile& file) {
        PackageHasher hasher;
        EXPECT_TRUE(HashFilePrefix(platform::File::OpenForReading(m_package),
                                   int64_t(ReadFile(m_package).size()), hasher));
        return CheckSignature(key, file, hasher.Digest());
    }

    TempDir m_dir;
    const std::string m_package = m_dir / "vorn_ad2.exe";
    const std::string m_signatureFile = m_dir / "vorn_ad2.exe.minisig";
    PackageKey m_ours;
    PackageKey m_theirs;
};

TEST_F(SignatureCheckTest, PackageSignedWithOurKeyIsVerified) {
    const SignatureVerdict verdict = Check(m_ours, Sign("ours"));
    EXPECT_EQ(verdict.outcome, SignatureOutcome::Verified);
    EXPECT_EQ(verdict.trustedComment, kTrustedComment);
    EXPECT_EQ(SignatureVerdictText(verdict), "signature by key " + KeyIdText(m_ours.keyId) +
                                                 " verified, trusted comment: " + kTrustedComment);
}

TEST_F(SignatureCheckTest, AnyChangedByteIsABadSignature) {
    const std::string signature = Sign("ours");
    const std::string original = ReadFile(m_package);
    const struct {
        const char* name;
        std::string package;
    } cases[] = {
        {"first byte", std::string(1, char(original[0] ^ 1)) + original.substr(1)},
        {"a byte in the second block",
         original.substr(0, 70000) + char(original[70000] ^ 0x80) + original.substr(70001)},
        {"last byte", original.substr(0, original.size() - 1) + char(original.back() + 1)},
        {"one byte more", original + "x"},
        {"one byte less", original.substr(0, original.size() - 1)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        WriteFile(m_package, row.package);
        const SignatureVerdict verdict = Check(m_ours, signature);
        EXPECT_EQ(verdict.outcome, SignatureOutcome::BadSignature);
        EXPECT_TRUE(verdict.trustedComment.empty());
        EXPECT_FALSE(MinisignVerifies("ours", signature));
    }
}

TEST_F(SignatureCheckTest, ChangedTrustedCommentIsABadGlobalSignature) {
    const std::string signature = Sign("ours");
    const std::string changed = "trusted comment: timestamp:1733900000\tfile:other.exe\tbuild 42";
    const size_t start = signature.find("\ntrusted comment: ") + 1;
    const size_t end = signature.find('\n', start);
    const std::string forged = signature.substr(0, start) + changed + signature.substr(end);

    const SignatureVerdict verdict = Check(m_ours, forged);
    EXPECT_EQ(verdict.outcome, SignatureOutcome::BadGlobalSignature);
    // An unproven comment is not handed on as trusted.
    EXPECT_TRUE(verdict.trustedComment.empty());
    EXPECT_FALSE(MinisignVerifies("ours", forged));
}

TEST_F(SignatureCheckTest, AnotherKeysSignatureIsUnknown) {
    const SignatureVerdict verdict = Check(m_ours, Sign("theirs"));
    EXPECT_EQ(verdict.outcome, SignatureOutcome::UnknownKey);
    EXPECT_EQ(SignatureVerdictText(verdict), "signature made with key " +
                                                 KeyIdText(m_theirs.keyId) + ", not ours (" +
                                                 KeyIdText(m_ours.keyId) + ")");
}

TEST_F(SignatureCheckTest, OurKeyIdOnAnotherKeysSignatureIsABadSignature) {
    std::optional<SignatureFile> file = ParseSignatureFile(Sign("theirs"));
    ASSERT_TRUE(file);
    file->keyId = m_ours.keyId;
    EXPECT_EQ(Check(m_ours, *file).outcome, SignatureOutcome::BadSignature);
}

TEST_F(SignatureCheckTest, LegacySignatureIsRefusedThoughValid) {
    const std::string signature = Sign("ours", {"-l"});
    ASSERT_TRUE(MinisignVerifies("ours", signature));
    const SignatureVerdict verdict = Check(m_ours, signature);
    EXPECT_EQ(verdict.outcome, SignatureOutcome::Legacy);
    EXPECT_TRUE(verdict.trustedComment.empty());
}

TEST(SignatureVerdictTextTest, EachOutcomeSaysWhichCheckFailed) {
    std::set<std::string> texts;
    for (const SignatureOutcome outcome :
         {SignatureOutcome::Verified, SignatureOutcome::Legacy, SignatureOutcome::UnknownKey,
          SignatureOutcome::BadSignature, SignatureOutcome::BadGlobalSignature,
          SignatureOutcome::Missing, SignatureOutcome::TooLarge, SignatureOutcome::Malformed}) {
        SignatureVerdict verdict(outcome);
        verdict.signerKeyId = 0x1A2B3C4D5E6F7A8B;
        verdict.expectedKeyId = 0x0123;
        const std::string text = SignatureVerdictText(verdict);
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 8u);
    EXPECT_EQ(SignatureVerdictText(SignatureVerdict(SignatureOutcome::TooLarge)),
              "signature file larger than 4096 bytes");
    SignatureVerdict global(SignatureOutcome::BadGlobalSignature);
    global.signerKeyId = 0x1A2B3C4D5E6F7A8B;
    EXPECT_EQ(SignatureVerdictText(global),
              "signature by key 1A2B3C4D5E6F7A8B does not cover its trusted comment (global "
              "signature wrong)");
}

}  // namespace
