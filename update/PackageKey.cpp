#include "update/PackageKey.h"

#include <sodium.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <span>

#include "update/MinisignFields.h"

static_assert(kPublicKeyBytes == crypto_sign_PUBLICKEYBYTES);

std::optional<PackageKey> ParsePackageKey(std::string_view line) {
    std::array<uint8_t, kAlgorithmBytes + kKeyIdBytes + kPublicKeyBytes> bytes;
    if (!DecodeBase64Exactly(line, bytes) || bytes[0] != 'E' || bytes[1] != 'd') {
        return std::nullopt;
    }
    const std::span<const uint8_t> fields(bytes);
    PackageKey key;
    key.keyId = KeyIdFromBytes(fields.subspan<kAlgorithmBytes, kKeyIdBytes>());
    std::ranges::copy(fields.subspan(kAlgorithmBytes + kKeyIdBytes), key.publicKey.begin());
    return key;
}

std::string KeyIdText(uint64_t keyId) {
    char text[17];
    snprintf(text, sizeof text, "%" PRIX64, keyId);
    return text;
}
