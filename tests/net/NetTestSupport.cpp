#include "tests/net/NetTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <stdexcept>

void RecordingSink::OnRecvData(const void* data, int32_t length, int64_t received,
                               int64_t contentLength) {
    chunks.push_back({length, received, contentLength});
    // Bytes moved straight into a file come without data.
    if (keepData && data) m_data.append(static_cast<const char*>(data), size_t(length));
}

std::string PatternBytes(int64_t start, int64_t count) {
    std::string bytes;
    bytes.reserve(size_t(count));
    for (int64_t i = start; i < start + count; ++i) bytes += char(i % 251);
    return bytes;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& path)
    : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::filesystem::current_path(m_previous);
}

OutputFile::OutputFile(const std::string& path, const char* mode, int64_t resourceStart)
    : m_file(fopen(path.c_str(), mode)), m_resourceStart(resourceStart) {
    if (!m_file) throw std::runtime_error("cannot open " + path);
}

OutputFile::~OutputFile() {
    fclose(m_file);
}

bool OutputFile::Restart(int64_t offset) {
    if (fflush(m_file) != 0) return false;
    struct stat info {};
    const int fd = fileno(m_file);
    if (fstat(fd, &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) return true;  // a device has nothing to cut back
    const off_t end = static_cast<off_t>(m_resourceStart + offset);
    if (end > info.st_size) return false;
    return ftruncate(fd, end) == 0 && fseeko(m_file, end, SEEK_SET) == 0;
}

bool OutputFile::Write(const char* data, size_t size) {
    return fwrite(data, 1, size, m_file) == size;
}

bool OutputFile::Finish() {
    return fflush(m_file) == 0;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
        files.push_back(entry.path().string());
    }
    return files;
}

std::string RawReply(const std::string& reply, const std::string& then) {
    // Percent-encodes every byte but letters and digits, for a query value.
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char c : reply) {
        if (isalnum(c)) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    return "/raw?reply=" + encoded + "&then=" + then;
}

std::string RandomBytes(size_t count) {
    std::mt19937 random(42);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = char(random());
    return bytes;
}
