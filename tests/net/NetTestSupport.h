// Helpers shared by the HTTP client tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "net/BodySink.h"
#include "net/IDownLoadThread.h"

// Remembers every call the client makes on its progress sink.
class RecordingSink : public IDownLoadThread {
public:
    struct Chunk {
        int32_t length;
        int64_t received;
        int64_t contentLength;
    };

    void OnRecvData(const void* data, int32_t length, int64_t received,
                    int64_t contentLength) override;
    void OnFileSize(int64_t contentLength) override { fileSizes.push_back(contentLength); }

    // The bytes of every chunk, in order.
    std::string Data() const { return m_data; }
    int64_t LastReceived() const { return chunks.empty() ? 0 : chunks.back().received; }

    std::vector<Chunk> chunks;
    std::vector<int64_t> fileSizes;
    bool keepData = true;  // off for huge bodies

private:
    std::string m_data;
};

// count bytes that repeat no pattern, the same at every call.
std::string RandomBytes(size_t count);

// The misbehaving server's body bytes [start, start + count): byte i is i % 251.
std::string PatternBytes(int64_t start, int64_t count);

// The misbehaving server's behaviour that answers exactly reply, then closes
// ("close") or holds the connection ("open").
std::string RawReply(const std::string& reply, const std::string& then = "close");

// Runs the scope with another working directory (the error-head dumps are
// written relative to it).
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& path);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::string m_previous;
};

// A body sink on a stdio stream, opened for appending by default. The
// resource's byte 0 lies at resourceStart in the file: a restarted body keeps
// what precedes it.
class OutputFile : public IBodySink {
public:
    explicit OutputFile(const std::string& path, const char* mode = "ab+",
                        int64_t resourceStart = 0);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Restart(int64_t offset) override;
    bool Write(const char* data, size_t size) override;
    bool Finish() override;

private:
    FILE* m_file;
    const int64_t m_resourceStart;
};

// Files in a folder, e.g. the error-head dumps in "errorlog".
std::vector<std::string> FilesIn(const std::string& folder);
