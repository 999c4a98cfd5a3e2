// Progress sink of the HTTP client, implemented by the update worker.
#pragma once

#include <cstdint>

class IDownLoadThread {
public:
    virtual ~IDownLoadThread() = default;
    // A chunk of body bytes has arrived and been written. data is null when
    // the bytes were moved straight into the body's file. received counts the
    // body bytes of the current response so far; contentLength is its
    // Content-Length, -1 when it gave none.
    virtual void OnRecvData(const void* data, int32_t length, int64_t received,
                            int64_t contentLength) = 0;
    // The head of an accepted response has been read.
    virtual void OnFileSize(int64_t contentLength) = 0;
};
