#include "platform/posix/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

UniqueFd::~UniqueFd() {
    Close();
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool UniqueFd::Close() {
    if (m_fd < 0) return true;
    const int fd = m_fd;
    m_fd = -1;
    // Linux releases the descriptor even when close is interrupted: no retry.
    return close(fd) == 0;
}

ssize_t ReadAll(int fd, char* buffer, size_t capacity) {
    size_t filled = 0;
    while (filled < capacity) {
        const ssize_t got = read(fd, buffer + filled, capacity - filled);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        filled += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(filled);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool WriteAll(int fd, const std::string& data) {
    return WriteAll(fd, data.data(), data.size());
}

void WriteErrorLine(const std::string& text) {
    WriteAll(STDERR_FILENO, text + "\n");
}

}  // namespace platform
