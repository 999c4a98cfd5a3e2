#include "update/RoomGuardSink.h"

#include <cerrno>

namespace {
// Asking the volume is a system call: once a megabyte is enough to stop well
// before the reserve is gone.
constexpr int64_t kCheckEveryBytes = 1024 * 1024;
}  // namespace

RoomGuardSink::RoomGuardSink(IBodySink& next, int64_t keptBytes, int64_t maxBytes,
                             platform::IVolumes& volumes, std::string installDir)
    : m_next(next),
      m_volumes(volumes),
      m_installDir(std::move(installDir)),
      m_maxBytes(maxBytes),
      m_fileBytes(keptBytes),
      m_uncheckedBytes(kCheckEveryBytes) {}

bool RoomGuardSink::Restart(int64_t offset) {
    if (!m_next.Restart(offset)) return false;
    m_fileBytes = offset;
    return true;
}

bool RoomGuardSink::Write(const char* data, size_t size) {
    return Keep(size, [&] { return m_next.Write(data, size); });
}

bool RoomGuardSink::Appended(size_t size) {
    return Keep(size, [&] { return m_next.Appended(size); });
}

void RoomGuardSink::AppendFailed(int error) {
    if (error == ENOSPC || error == EFBIG) m_ranOutOfRoom = true;
    m_next.AppendFailed(error);
}

bool RoomGuardSink::Keep(size_t size, const std::function<bool()>& store) {
    const auto bytes = static_cast<int64_t>(size);
    if (m_keepsNoMore || (m_maxBytes >= 0 && m_fileBytes + bytes > m_maxBytes)) {
        m_ranOutOfRoom = true;
        errno = EFBIG;
        return false;
    }
    m_uncheckedBytes += bytes;
    if (m_uncheckedBytes >= kCheckEveryBytes) {
        m_uncheckedBytes = 0;
        if (!VolumeKeepsItsReserve()) {
            m_ranOutOfRoom = true;
            errno = ENOSPC;
            return false;
        }
    }
    if (!store()) {
        if (errno == ENOSPC || errno == EFBIG) m_ranOutOfRoom = true;
        return false;
    }
    m_fileBytes += bytes;
    return true;
}

int64_t RoomGuardSink::Capacity() const {
    if (m_keepsNoMore) return 0;
    const int64_t next = m_next.Capacity();
    if (m_maxBytes < 0) return next;
    const int64_t room = m_maxBytes > m_fileBytes ? m_maxBytes - m_fileBytes : 0;
    return next >= 0 && next < room ? next : room;
}

bool RoomGuardSink::VolumeKeepsItsReserve() {
    const std::optional<uint64_t> freeBytes = m_volumes.FreeBytes(m_installDir);
    return !freeBytes || *freeBytes >= static_cast<uint64_t>(kFreeSpaceReserve);
}
