// Where the body of an accepted answer goes. The client moves bytes; the sink
// decides what they mean for its file. Sinks form a chain: a stage does its
// own part and passes each call on to the next, ending at the file.
#pragma once

#include <cstddef>
#include <cstdint>

class IBodySink {
public:
    virtual ~IBodySink() = default;
    // The body that follows starts at byte offset of the resource: what the
    // sink holds from there on is dropped (offset 0: start again). False when
    // the sink cannot do that.
    virtual bool Restart(int64_t offset) = 0;
    // The next block of the body; false when it could not be kept.
    virtual bool Write(const char* data, size_t size) = 0;
    // The body is complete; false when what was written cannot be kept.
    virtual bool Finish() = 0;
    // The most body bytes the sink will keep; the client reads no further and
    // refuses a longer body. Negative: no limit.
    virtual int64_t Capacity() const { return -1; }
};
