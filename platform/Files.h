// Files and folders, named by UTF-8 paths. Nothing here follows a symbolic
// link in the last part of a path unless it says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Which file an open file or a path is: the same identity is the same file,
// whatever its name.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// An open file, closed when it goes.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opened for reading and appending, created (rw-r--r--) when missing.
    // Appending is the only writing: the file offset stays at the end.
    static File OpenForAppending(const std::string& path);
    static File OpenForReading(const std::string& path);
    // Opened for reading only, created (rw-r--r--) when missing: enough to
    // hold its lock without keeping it open for writing.
    static File OpenForLocking(const std::string& path);

    explicit operator bool() const { return m_native != kClosed; }

    std::optional<int64_t> Size() const;
    std::optional<FileIdentity> Identity() const;
    // When the file was made, in seconds since 1970: its birth time, or its
    // last status change where the file system keeps no birth time.
    std::optional<int64_t> CreationTime() const;

    // Writes all of data at the end of the file.
    bool Append(const char* data, size_t size);
    // Reads up to size bytes from offset: the count, 0 at the end, -1 on an error.
    int64_t ReadAt(int64_t offset, char* buffer, size_t size) const;
    // Cuts the file to size; appending goes on from there.
    bool Truncate(int64_t size);

    // An exclusive lock that other processes honour (advisory), held until the
    // file is closed. Busy when another open of the file holds it.
    enum class LockOutcome { Locked, Busy, Failed };
    // Takes the lock when nobody else holds it; never waits.
    LockOutcome TryLock();

    // Closes now; false when closing reports an error (a failed delayed write).
    bool Close();

    // The system's descriptor or handle, for the platform's own implementation.
    intptr_t Native() const { return m_native; }

private:
    static constexpr intptr_t kClosed = -1;
    explicit File(intptr_t native) : m_native(native) {}

    intptr_t m_native = kClosed;  // the system's descriptor or handle; owned
};

// True when path names a file (not a folder) that can be opened for reading.
bool FileReadable(const std::string& path);
// True when something is at path (a link counts by what it points to).
bool PathExists(const std::string& path);
// What is at path, without following a link there.
std::optional<FileIdentity> IdentityAt(const std::string& path);
bool IsSymbolicLink(const std::string& path);
// True when what is at path belongs to the user or to the system and nobody
// else may write it, so no other user can have put it there or change it. A
// symbolic link there does not count, whatever it points to.
bool OnlyUserOrSystemMayWrite(const std::string& path);

// Creates path and every missing parent; true when it is a directory afterwards.
bool CreateDirectories(const std::string& path);
// The same, but a last part made here is open to the user alone.
bool CreatePrivateDirectories(const std::string& path);
// Files and folders made from now on, by this process and by the programs it
// starts, cannot be written by other users whatever the user's defaults.
// Called before other threads start.
void DenyOthersWriteToNewFiles();
// Creates an empty file at path unless something is there; true when a file is
// there afterwards.
bool CreateFileIfMissing(const std::string& path);
// Removes the file or link at path (a link goes, what it points to stays);
// true when nothing is left there.
bool RemoveFile(const std::string& path);
// Renames from to to, replacing a file there; 0, or the system's error number.
int RenameFile(const std::string& from, const std::string& to);

// 0, or the system's error number.
int ChangeDirectory(const std::string& path);
// Empty when it cannot be told.
std::string CurrentDirectory();

// The system's text for one of its error numbers.
std::string SystemErrorText(int error);

}  // namespace platform
