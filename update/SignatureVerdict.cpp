#include "update/SignatureVerdict.h"

#include "update/PackageKey.h"
#include "update/SignatureFile.h"

std::string SignatureVerdictText(const SignatureVerdict& verdict) {
    const std::string signer = KeyIdText(verdict.signerKeyId);
    switch (verdict.outcome) {
        case SignatureOutcome::Verified:
            return "signature by key " + signer +
                   " verified, trusted comment: " + verdict.trustedComment;
        case SignatureOutcome::Legacy:
            return "legacy signature (minisign -l) refused: it signs the whole package, which "
                   "would have to be held in memory; sign without -l";
        case SignatureOutcome::UnknownKey:
            return "signature made with key " + signer + ", not ours (" +
                   KeyIdText(verdict.expectedKeyId) + ")";
        case SignatureOutcome::BadSignature:
            return "signature by key " + signer + " does not match the package";
        case SignatureOutcome::BadGlobalSignature:
            return "signature by key " + signer +
                   " does not cover its trusted comment (global signature wrong)";
        case SignatureOutcome::Missing:
            return "no signature file beside the package";
        case SignatureOutcome::TooLarge:
            return "signature file larger than " + std::to_string(kMaxSignatureFileBytes) +
                   " bytes";
        case SignatureOutcome::Malformed:
            return "signature file is not in the minisign format";
    }
    return "unknown signature outcome";
}
