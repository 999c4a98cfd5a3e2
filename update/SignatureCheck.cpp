#include "update/SignatureCheck.h"

#include <sodium.h>

#include <vector>

#include "update/SodiumReady.h"

namespace {

bool Verifies(const std::array<uint8_t, kSignatureBytes>& signature, const uint8_t* message,
              size_t size, const PackageKey& key) {
    return crypto_sign_verify_detached(signature.data(), message, size, key.publicKey.data()) == 0;
}

SignatureOutcome Outcome(const PackageKey& key, const SignatureFile& file,
                         const PackageHash& packageHash) {
    if (file.algorithm != SignatureAlgorithm::Prehashed) return SignatureOutcome::Legacy;
    if (file.keyId != key.keyId) return SignatureOutcome::UnknownKey;
    if (!Verifies(file.signature, packageHash.data(), packageHash.size(), key)) {
        return SignatureOutcome::BadSignature;
    }
    std::vector<uint8_t> signedComment(file.signature.begin(), file.signature.end());
    signedComment.insert(signedComment.end(), file.trustedComment.begin(),
                         file.trustedComment.end());
    if (!Verifies(file.globalSignature, signedComment.data(), signedComment.size(), key)) {
        return SignatureOutcome::BadGlobalSignature;
    }
    return SignatureOutcome::Verified;
}

}  // namespace

SignatureVerdict CheckSignature(const PackageKey& key, const SignatureFile& file,
                                const PackageHash& packageHash) {
    EnsureSodiumReady();
    SignatureVerdict verdict(Outcome(key, file, packageHash));
    verdict.signerKeyId = file.keyId;
    verdict.expectedKeyId = key.keyId;
    if (verdict.outcome == SignatureOutcome::Verified) verdict.trustedComment = file.trustedComment;
    return verdict;
}
