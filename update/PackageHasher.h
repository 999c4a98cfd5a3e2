// The BLAKE2b-512 of a package, computed while its bytes arrive; minisign's
// prehashed signatures sign this hash.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Files.h"

struct crypto_generichash_blake2b_state;

inline constexpr size_t kPackageHashBytes = 64;
using PackageHash = std::array<uint8_t, kPackageHashBytes>;

class PackageHasher {
public:
    PackageHasher();
    ~PackageHasher();
    PackageHasher(PackageHasher&&) noexcept;
    PackageHasher& operator=(PackageHasher&&) noexcept;

    // Back to the hash of no bytes; also makes a moved-from hasher usable.
    void Reset();
    void Update(const void* data, size_t size);
    // The hash of everything fed since the last reset; feeding may go on.
    PackageHash Digest() const;

private:
    // Owned by whoever owns the hasher; one thread feeds it at a time.
    std::unique_ptr<crypto_generichash_blake2b_state> m_state;
};

// Feeds the first length bytes of file to hasher: the part of a download kept
// from an earlier run. False when the file cannot be read or is shorter;
// hasher then holds part of it and wants a Reset.
bool HashFilePrefix(const platform::File& file, int64_t length, PackageHasher& hasher);
