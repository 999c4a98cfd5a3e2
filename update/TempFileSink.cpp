#include "update/TempFileSink.h"

#include <cerrno>

namespace {
constexpr unsigned kLockPollMs = 50;
}  // namespace

TempFileSink::TempFileSink(const std::string& path, unsigned waitMs, const IClock& clock) {
    const uint32_t start = clock.TickMs();
    while (true) {
        m_file = platform::File::OpenForAppending(path);
        if (!m_file) return;
        platform::File::LockOutcome lock = m_file.TryLock();
        while (lock == platform::File::LockOutcome::Busy &&
               static_cast<uint32_t>(clock.TickMs() - start) < waitMs) {
            clock.SleepMs(kLockPollMs);
            lock = m_file.TryLock();
        }
        if (lock == platform::File::LockOutcome::Failed) {
            m_file.Close();
            return;
        }
        if (lock == platform::File::LockOutcome::Busy) {
            m_file.Close();
            m_state = State::Busy;
            return;
        }
        const std::optional<platform::FileIdentity> held = m_file.Identity();
        if (held && platform::IdentityAt(path) == held) break;
        // Its last holder moved the file into place or deleted it while this
        // sink waited: writing it now would change what the other one checked.
        m_file.Close();
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

bool TempFileSink::Finish() {
    // Nothing is buffered here: every block went to the system as it came.
    return Opened();
}
