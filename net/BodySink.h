// Where the body of an accepted answer goes. The client moves bytes; the sink
// decides what they mean for its file. Sinks form a chain: a stage does its
// own part and passes each call on to the next, ending at the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Files.h"

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

    // The open file the chain ends at, when no stage needs to see the bytes:
    // the client may then have them moved straight into it, sparing a copy
    // through memory, and tells Appended or AppendFailed. Null otherwise.
    virtual platform::File* DirectTarget() { return nullptr; }
    // size more bytes were moved onto the end of DirectTarget(); false when
    // they cannot be kept, as for Write.
    virtual bool Appended(size_t /*size*/) { return false; }
    // A move into DirectTarget() failed with the system's error number.
    virtual void AppendFailed(int /*error*/) {}
};
