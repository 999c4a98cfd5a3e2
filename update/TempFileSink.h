// The temporary download file as the end of the body chain: it holds the
// resource's bytes from byte 0 on, so its size is where a transfer resumes.
#pragma once

#include <cstdint>
#include <string>

#include "net/BodySink.h"
#include "platform/Files.h"

class TempFileSink final : public IBodySink {
public:
    // Opens path for appending, creating it when missing, never through a
    // symbolic link, and waits until no other process writes it; Opened()
    // tells.
    explicit TempFileSink(const std::string& path);

    bool Opened() const { return static_cast<bool>(m_file); }
    // Bytes the file holds now; 0 when it is not open.
    int64_t Size() const;

    bool Restart(int64_t offset) override;
    bool Write(const char* data, size_t size) override;
    bool Finish() override;
    int64_t Capacity() const override { return m_bKeepsNoMore ? 0 : -1; }
    // From now on the sink keeps no body at all, so the client leaves a body
    // unread (the install volume turned out too small for it).
    void KeepNoMore() { m_bKeepsNoMore = true; }

private:
    platform::File m_file;        // owned by the worker thread
    bool m_bKeepsNoMore = false;  // owned by the worker thread
};
