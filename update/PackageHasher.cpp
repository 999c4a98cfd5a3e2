#include "update/PackageHasher.h"

#include <fcntl.h>
#include <sodium.h>

#include <vector>

#include "platform/FileDescriptor.h"
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

bool HashFilePrefix(const std::string& path, int64_t length, PackageHasher& hasher) {
    const platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return false;
    std::vector<char> block(kReadBlock);
    int64_t left = length;
    while (left > 0) {
        const size_t wanted = left < int64_t(kReadBlock) ? size_t(left) : kReadBlock;
        const ssize_t count = platform::ReadAll(fd.Get(), block.data(), wanted);
        if (count <= 0) break;
        hasher.Update(block.data(), size_t(count));
        left -= count;
    }
    return left == 0;
}
