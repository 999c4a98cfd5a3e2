// Fuzz target: a signature file or a public key line as an operator or a
// server might hand them over. Built under libFuzzer with clang, and as a
// corpus replay everywhere.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/update/SignatureFileText.h"
#include "update/PackageHasher.h"
#include "update/PackageKey.h"
#include "update/SignatureCheck.h"
#include "update/SignatureFile.h"

namespace {

// The seed corpus's files were made by minisign with this throwaway key, over
// kSeedPackage with kSeedComment as the trusted comment.
constexpr std::string_view kSeedKeyLine =
    "RWQ5WiY4j6fqyTsc0hTBC7HdKHitJIT3mtGFHuWXBy44stMx+GWDwMfK";
constexpr std::string_view kSeedPackage = "fuzz seed package\n";
constexpr std::string_view kSeedComment = "fuzz seed";

void Check(bool holds) {
    if (!holds) __builtin_trap();
}

bool IsOneLine(const std::string& comment) {
    return comment.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

void CheckSignatureFile(std::string_view input) {
    const std::optional<SignatureFile> file = ParseSignatureFile(input);
    if (!file) return;
    Check(input.size() <= kMaxSignatureFileBytes);
    Check(IsOneLine(file->untrustedComment) && IsOneLine(file->trustedComment));
    // Only the line ends may differ from the canonical text: a CR on each of
    // the four lines, and the final LF.
    const std::string written = SignatureFileText(*file);
    Check(ParseSignatureFile(written) == file);
    Check(input.size() + 1 >= written.size() && input.size() <= written.size() + 4);

    static const PackageKey key = ParsePackageKey(kSeedKeyLine).value();
    static const PackageHash hash = [] {
        PackageHasher hasher;
        hasher.Update(kSeedPackage.data(), kSeedPackage.size());
        return hasher.Digest();
    }();
    const SignatureVerdict verdict = CheckSignature(key, *file, hash);
    Check(verdict.signerKeyId == file->keyId && verdict.expectedKeyId == key.keyId);
    Check((verdict.outcome == SignatureOutcome::Legacy) ==
          (file->algorithm == SignatureAlgorithm::Legacy));
    Check(verdict.outcome == SignatureOutcome::Legacy ||
          (verdict.outcome == SignatureOutcome::UnknownKey) == (file->keyId != key.keyId));
    // Nobody without the secret key can make a new trusted comment verify.
    Check(verdict.outcome != SignatureOutcome::Verified || file->trustedComment == kSeedComment);
    Check(verdict.trustedComment ==
          (verdict.outcome == SignatureOutcome::Verified ? file->trustedComment : ""));
}

void CheckPackageKey(std::string_view input) {
    const std::optional<PackageKey> key = ParsePackageKey(input);
    if (!key) return;
    // Only the one canonical spelling of a key is accepted.
    const std::string publicKey(key->publicKey.begin(), key->publicKey.end());
    Check(Base64("Ed" + KeyIdBytes(key->keyId) + publicKey) == input);
    const std::string id = KeyIdText(key->keyId);
    Check(!id.empty() && id.size() <= 16);
    Check(id.find_first_not_of("0123456789ABCDEF") == std::string::npos);
    Check(id.size() == 1 || id[0] != '0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckSignatureFile(input);
    CheckPackageKey(input);
    return 0;
}
