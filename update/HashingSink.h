// The hashing stage of the body chain: every byte that goes to the temporary
// file also goes into the package's BLAKE2b-512, so that little is left to do
// when the last byte has arrived. A resumed body first feeds the part of the
// file that an earlier run kept, so the hash covers exactly the bytes that
// will be run.
#pragma once

#include <string>

#include "net/BodySink.h"
#include "update/PackageHasher.h"

class HashingSink final : public IBodySink {
public:
    // next keeps the bytes in the file at path; both outlive the stage.
    HashingSink(IBodySink& next, std::string path);

    bool Restart(int64_t offset) override;
    bool Write(const char* data, size_t size) override;
    bool Finish() override;
    int64_t Capacity() const override { return m_next.Capacity(); }

    // The hash of the resource's bytes the file holds.
    PackageHash Digest() const { return m_hasher.Digest(); }

private:
    IBodySink& m_next;
    const std::string m_path;
    PackageHasher m_hasher;  // owned by the thread that runs the transfer
};
