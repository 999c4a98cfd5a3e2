// What the package's signature check found, and the log line that says so.
#pragma once

#include <cstdint>
#include <string>

enum class SignatureOutcome {
    Verified,
    Legacy,              // "Ed": checking it would need the whole package in memory
    UnknownKey,          // signed with a key other than the built-in one
    BadSignature,        // the signature does not match the package's hash
    BadGlobalSignature,  // the signature does not vouch for the trusted comment
    // Found before there is a parsed signature file to check.
    Missing,
    TooLarge,  // over kMaxSignatureFileBytes
    Malformed,
};

struct SignatureVerdict {
    explicit SignatureVerdict(SignatureOutcome found) : outcome(found) {}

    SignatureOutcome outcome;
    // Known once the file has been parsed.
    uint64_t signerKeyId = 0;
    uint64_t expectedKeyId = 0;
    // Verified only: the comment the publisher signed, e.g. a timestamp.
    std::string trustedComment;
};

// One short English sentence for the log, e.g. "signature made with key
// 1A2B3C4D5E6F7A8B, not ours (3C4D5E6F7A8B9C0D)".
std::string SignatureVerdictText(const SignatureVerdict& verdict);
