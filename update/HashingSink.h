// The hashing stage of the body chain: every byte that goes to the temporary
// file also goes into the package's BLAKE2b-512, so that little is left to do
// when the last byte has arrived. A resumed body first feeds the part of the
// file that an earlier run kept, so the hash covers exactly the bytes that
// will be run.
#pragma once

#include <cstdint>

#include "net/BodySink.h"
#include "platform/Files.h"
#include "update/PackageHasher.h"

class HashingSink final : public IBodySink {
public:
    // next keeps the bytes in kept, the open file whose earlier part a
    // resumed body continues; both outlive the stage.
    HashingSink(IBodySink& next, const platform::File& kept);

    bool Restart(int64_t offset) override;
    bool Write(const char* data, size_t size) override;
    bool Finish() override;
    int64_t Capacity() const override { return m_next.Capacity(); }

    // The hash of the resource's bytes the file holds, and their count.
    PackageHash Digest() const { return m_hasher.Digest(); }
    int64_t HashedBytes() const { return m_hashedBytes; }

private:
    // Owned by the thread that runs the transfer.
    IBodySink& m_next;
    const platform::File& m_kept;
    PackageHasher m_hasher;
    int64_t m_hashedBytes = 0;
};
