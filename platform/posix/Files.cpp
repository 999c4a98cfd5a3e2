#include "platform/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/posix/FileDescriptor.h"

namespace platform {

namespace {

int Descriptor(intptr_t native) {
    return static_cast<int>(native);
}

FileIdentity IdentityOf(const struct stat& info) {
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

}  // namespace

File::~File() {
    Close();
}

File::File(File&& other) noexcept : m_native(other.m_native) {
    other.m_native = kClosed;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_native = other.m_native;
        other.m_native = kClosed;
    }
    return *this;
}

File File::OpenForAppending(const std::string& path) {
    // Not O_APPEND: the kernel moves bytes into such a file only at an offset
    // of its own (splice), so the file offset is kept at the end instead.
    File file(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644));
    if (file && lseek(Descriptor(file.m_native), 0, SEEK_END) < 0) file.Close();
    return file;
}

File File::OpenForLocking(const std::string& path) {
    return File(open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644));
}

File File::OpenForReading(const std::string& path) {
    return File(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
}

std::optional<int64_t> File::Size() const {
    struct stat info {};
    if (!*this || fstat(Descriptor(m_native), &info) != 0) return std::nullopt;
    return static_cast<int64_t>(info.st_size);
}

std::optional<FileIdentity> File::Identity() const {
    struct stat info {};
    if (!*this || fstat(Descriptor(m_native), &info) != 0) return std::nullopt;
    return IdentityOf(info);
}

std::optional<int64_t> File::CreationTime() const {
    struct statx info {};
    if (!*this ||
        statx(Descriptor(m_native), "", AT_EMPTY_PATH, STATX_BTIME | STATX_CTIME, &info) != 0) {
        return std::nullopt;
    }
    if (info.stx_mask & STATX_BTIME) return static_cast<int64_t>(info.stx_btime.tv_sec);
    if (info.stx_mask & STATX_CTIME) return static_cast<int64_t>(info.stx_ctime.tv_sec);
    return std::nullopt;
}

bool File::Append(const char* data, size_t size) {
    return *this && WriteAll(Descriptor(m_native), data, size);
}

int64_t File::ReadAt(int64_t offset, char* buffer, size_t size) const {
    if (!*this) return -1;
    ssize_t got;
    do {
        got = pread(Descriptor(m_native), buffer, size, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

bool File::Truncate(int64_t size) {
    return *this && ftruncate(Descriptor(m_native), static_cast<off_t>(size)) == 0 &&
           lseek(Descriptor(m_native), static_cast<off_t>(size), SEEK_SET) >= 0;
}

File::LockOutcome File::TryLock() {
    if (!*this) return LockOutcome::Failed;
    int result;
    do {
        result = flock(Descriptor(m_native), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return LockOutcome::Locked;
    return errno == EWOULDBLOCK ? LockOutcome::Busy : LockOutcome::Failed;
}

bool File::Close() {
    if (!*this) return true;
    const int fd = Descriptor(m_native);
    m_native = kClosed;
    // Linux releases the descriptor even when close is interrupted: no retry.
    return close(fd) == 0;
}

bool FileReadable(const std::string& path) {
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    return fd && fstat(fd.Get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool PathExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

std::optional<FileIdentity> IdentityAt(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    return IdentityOf(info);
}

bool IsSymbolicLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool OnlyUserOrSystemMayWrite(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) return false;
    const bool ownedByUserOrSystem = info.st_uid == getuid() || info.st_uid == 0;
    return ownedByUserOrSystem && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool CreateDirectories(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

bool CreatePrivateDirectories(const std::string& path) {
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::filesystem::path parent = std::filesystem::path(folder).parent_path();
    if (!parent.empty() && !CreateDirectories(parent)) return false;
    // The umask only ever takes bits away from 0700.
    mkdir(folder.c_str(), 0700);
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

void DenyOthersWriteToNewFiles() {
    // The umask can only be read by setting it: a file another thread made in
    // between would keep every bit it asked for, hence the call before threads
    // start.
    umask(umask(0) | S_IWGRP | S_IWOTH);
}

bool CreateFileIfMissing(const std::string& path) {
    const UniqueFd fd(
        open(path.c_str(), O_CREAT | O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644));
    return static_cast<bool>(fd);
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

int RenameFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int ChangeDirectory(const std::string& path) {
    return chdir(path.c_str()) == 0 ? 0 : errno;
}

std::string CurrentDirectory() {
    std::string buffer(4096, '\0');
    if (!getcwd(buffer.data(), buffer.size())) return std::string();
    buffer.resize(strlen(buffer.c_str()));
    return buffer;
}

std::string SystemErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text, in buffer or in static storage.
    return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace platform
