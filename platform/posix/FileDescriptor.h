// Small helpers around raw file descriptors, for the Linux side of the platform layer.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace platform {

// Owns one descriptor and closes it when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_fd; }
    // Gives the descriptor up to the caller, who closes it.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes now; false when close reports an error (a failed delayed write).
    bool Close();

private:
    int m_fd;
};

// Reads until capacity bytes have arrived or the end of the file, continuing
// after short reads and interruptions. Returns the count, or -1 on an error.
// Async-signal-safe.
ssize_t ReadAll(int fd, char* buffer, size_t capacity);

// Writes all of data, continuing after short writes and interruptions.
// Async-signal-safe.
bool WriteAll(int fd, const char* data, size_t size);
bool WriteAll(int fd, const std::string& data);

// Writes text and a line break to standard error with one write call, so
// that lines of several threads or processes never mix.
void WriteErrorLine(const std::string& text);

}  // namespace platform
