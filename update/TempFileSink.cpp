#include "update/TempFileSink.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

TempFileSink::TempFileSink(const std::string& path)
    : m_fd(open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                0644)) {
    if (!m_fd) return;
    // One writer at a time: a launcher that takes over from one that is still
    // ending (a restart from the host) waits until the other has let go.
    int locked;
    do {
        locked = flock(m_fd.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) m_fd.Close();
}

int64_t TempFileSink::Size() const {
    struct stat info {};
    if (!m_fd || fstat(m_fd.Get(), &info) != 0) return 0;
    return static_cast<int64_t>(info.st_size);
}

bool TempFileSink::Restart(int64_t offset) {
    if (!m_fd) return false;
    const int64_t size = Size();
    // Bytes the file never held cannot be kept.
    if (offset > size) {
        errno = EINVAL;
        return false;
    }
    return offset == size || ftruncate(m_fd.Get(), static_cast<off_t>(offset)) == 0;
}

bool TempFileSink::Write(const char* data, size_t size) {
    return m_fd && platform::WriteAll(m_fd.Get(), data, size);
}

bool TempFileSink::Finish() {
    // Nothing is buffered here: every block went to the system as it came.
    return static_cast<bool>(m_fd);
}
