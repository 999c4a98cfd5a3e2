#include "update/PackageHasher.h"

#include <sodium.h>

#include <vector>

#include "platform/Files.h"
#include "update/SodiumReady.h"

static_assert(kPackageHashBytes == crypto_generichash_BYTES_MAX);

namespace {

constexpr size_t kReadBlock = 65536;

}  // namespace

PackageHasher::PackageHasher() {
    Reset();
}

PackageHasher::~PackageHasher() = default;
PackageHasher::PackageHasher(PackageHasher&&) noexcept = default;
PackageHasher& PackageHasher::operator=(PackageHasher&&) noexcept = default;

void PackageHasher::Reset() {
    EnsureSodiumReady();
    if (!m_state) m_state = std::make_unique<crypto_generichash_state>();
    crypto_generichash_init(m_state.get(), nullptr, 0, kPackageHashBytes);
}

void PackageHasher::Update(const void* data, size_t size) {
    crypto_generichash_update(m_state.get(), static_cast<const unsigned char*>(data), size);
}

PackageHash PackageHasher::Digest() const {
    // Finishing ends a state, so finish a copy and keep this one open.
    crypto_generichash_state finished = *m_state;
    PackageHash hash;
    crypto_generichash_final(&finished, hash.data(), hash.size());
    return hash;
}

bool HashFilePrefix(const platform::File& file, int64_t length, PackageHasher& hasher) {
    if (!file) return false;
    std::vector<char> block(kReadBlock);
    int64_t done = 0;
    while (done < length) {
        const size_t wanted =
            length - done < int64_t(kReadBlock) ? size_t(length - done) : kReadBlock;
        const int64_t count = file.ReadAt(done, block.data(), wanted);
        if (count <= 0) break;
        hasher.Update(block.data(), size_t(count));
        done += count;
    }
    return done == length;
}
