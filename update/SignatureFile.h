// A minisign signature file, as served beside the package:
//
//   untrusted comment: <text>
//   <base64: algorithm "ED" or "Ed", key id, Ed25519 signature>
//   trusted comment: <text>
//   <base64: Ed25519 signature over the signature and the trusted comment>
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr size_t kSignatureBytes = 64;
// A larger signature file is refused; the download stops reading at this size.
inline constexpr size_t kMaxSignatureFileBytes = 4096;

enum class SignatureAlgorithm {
    Prehashed,  // "ED": signs the BLAKE2b-512 of the file
    Legacy,     // "Ed": signs the file itself
};

struct SignatureFile {
    std::string untrustedComment;
    SignatureAlgorithm algorithm = SignatureAlgorithm::Prehashed;
    uint64_t keyId = 0;
    std::array<uint8_t, kSignatureBytes> signature{};
    std::string trustedComment;
    std::array<uint8_t, kSignatureBytes> globalSignature{};

    bool operator==(const SignatureFile&) const = default;
};

// The four lines, each ended by LF or CR LF (the last may have no end), in at
// most kMaxSignatureFileBytes. Nothing (malformed) for any other text: another
// line count, a comment line without its prefix or with a control character
// other than tab, base64 that is not canonical or of the wrong length, an
// unknown algorithm.
std::optional<SignatureFile> ParseSignatureFile(std::string_view text);
