#include "update/TempFileSink.h"

#include <cerrno>

TempFileSink::TempFileSink(const std::string& path)
    : m_file(platform::File::OpenForAppending(path)) {
    // One writer at a time: a launcher that takes over from one that is still
    // ending (a restart from the host) waits until the other has let go.
    if (m_file.Lock() != platform::File::LockOutcome::Locked) m_file.Close();
}

int64_t TempFileSink::Size() const {
    return m_file.Size().value_or(0);
}

bool TempFileSink::Restart(int64_t offset) {
    if (!m_file) return false;
    const int64_t size = Size();
    // Bytes the file never held cannot be kept.
    if (offset > size) {
        errno = EINVAL;
        return false;
    }
    return offset == size || m_file.Truncate(offset);
}

bool TempFileSink::Write(const char* data, size_t size) {
    return m_file.Append(data, size);
}

bool TempFileSink::Finish() {
    // Nothing is buffered here: every block went to the system as it came.
    return static_cast<bool>(m_file);
}
