// The stage of the body chain that keeps a download from filling the install
// volume: the file grows to at most a cap, and the volume keeps a reserve of
// free space while it is written. A block that would break either, or that
// the volume refuses as full, is refused, and the guard remembers it, so that
// the caller deletes the partial file instead of resuming it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/BodySink.h"
#include "platform/Volumes.h"
#include "update/SpaceCheck.h"

class RoomGuardSink final : public IBodySink {
public:
    // next holds keptBytes of the resource already and ends at a file on the
    // volume holding installDir; maxBytes caps the whole file (negative: no
    // cap). next and volumes outlive the stage.
    RoomGuardSink(IBodySink& next, int64_t keptBytes, int64_t maxBytes, platform::IVolumes& volumes,
                  std::string installDir);

    bool Restart(int64_t offset) override;
    bool Write(const char* data, size_t size) override;
    bool Finish() override { return m_next.Finish(); }
    int64_t Capacity() const override;
    platform::File* DirectTarget() override {
        return m_keepsNoMore ? nullptr : m_next.DirectTarget();
    }
    bool Appended(size_t size) override;
    void AppendFailed(int error) override;

    // From now on the sink keeps no body at all, so the client leaves a body
    // unread (the volume is known to be too small for it).
    void KeepNoMore() { m_keepsNoMore = true; }
    // True once a block was refused for want of room: the file is not worth
    // resuming.
    bool RanOutOfRoom() const { return m_ranOutOfRoom; }

private:
    // Keeps size more bytes through store (the next stage's Write or
    // Appended) while the cap and the volume's reserve allow.
    bool Keep(size_t size, const std::function<bool()>& store);
    bool VolumeKeepsItsReserve();

    // Every field belongs to the thread that runs the transfer.
    IBodySink& m_next;
    platform::IVolumes& m_volumes;
    const std::string m_installDir;
    const int64_t m_maxBytes;
    int64_t m_fileBytes;           // what the file holds
    int64_t m_uncheckedBytes = 0;  // written since the volume was last asked
    bool m_keepsNoMore = false;
    bool m_ranOutOfRoom = false;
};
