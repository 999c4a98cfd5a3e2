// The publisher's minisign public key, which the launcher carries built in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr size_t kPublicKeyBytes = 32;

struct PackageKey {
    uint64_t keyId = 0;
    std::array<uint8_t, kPublicKeyBytes> publicKey{};  // Ed25519
};

// The base64 line of a minisign.pub file: 56 characters that decode to "Ed",
// the key id and the Ed25519 key. Nothing for any other text.
std::optional<PackageKey> ParsePackageKey(std::string_view line);

// The key id as minisign prints it, so that a log line can be matched with the
// publisher's minisign.pub: upper-case hex without leading zeros.
std::string KeyIdText(uint64_t keyId);
