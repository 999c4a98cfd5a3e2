#include "update/TempFileSink.h"

#include <cerrno>

namespace {
constexpr unsigned kLockPollMs = 50;
}  // namespace

TempFileSink::TempFileSink(const std::string& path, unsigned waitMs, const IClock& clock) {
    const uint32_t start = clock.TickMs();
    while (true) {
        m_lock = platform::File::OpenForLocking(path);
        if (!m_lock) return;
        platform::File::LockOutcome lock = m_lock.TryLock();
        while (lock == platform::File::LockOutcome::Busy &&
               static_cast<uint32_t>(clock.TickMs() - start) < waitMs) {
            clock.SleepMs(kLockPollMs);
            lock = m_lock.TryLock();
        }
        if (lock == platform::File::LockOutcome::Failed) {
            m_lock.Close();
            return;
        }
        if (lock == platform::File::LockOutcome::Busy) {
            m_lock.Close();
            m_state = State::Busy;
            return;
        }
        // Its last holder may have moved the file into place or deleted it
        // while this sink waited: writing it now would change what the other
        // one checked. The file opened for writing must be the locked one.
        const std::optional<platform::FileIdentity> held = m_lock.Identity();
        if (held && platform::IdentityAt(path) == held) {
            m_file = platform::File::OpenForAppending(path);
            if (m_file && m_file.Identity() == held) break;
            m_file.Close();
        }
        m_lock.Close();
        if (static_cast<uint32_t>(clock.TickMs() - start) >= waitMs) {
            m_state = State::Busy;
            return;
        }
    }
    m_size = m_file.Size().value_or(0);
    m_state = State::Open;
}

bool TempFileSink::Restart(int64_t offset) {
    if (!Opened()) return false;
    // Bytes the file never held cannot be kept.
    if (offset > m_size) {
        errno = EINVAL;
        return false;
    }
    if (offset < m_size && !m_file.Truncate(offset)) return false;
    m_size = offset;
    return true;
}

bool TempFileSink::Write(const char* data, size_t size) {
    if (!Opened() || !m_file.Append(data, size)) return false;
    m_size += static_cast<int64_t>(size);
    return true;
}

bool TempFileSink::Appended(size_t size) {
    if (!Opened()) return false;
    m_size += static_cast<int64_t>(size);
    return true;
}

bool TempFileSink::Finish() {
    // Nothing is buffered here: every block went to the system as it came.
    return Opened();
}
