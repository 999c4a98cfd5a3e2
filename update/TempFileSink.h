// The temporary download file as the end of the body chain: it holds the
// resource's bytes from byte 0 on, so its size is where a transfer resumes.
// It is held open and locked for as long as the sink lives, so that no other
// launcher writes it meanwhile, and what it holds can be read back through
// the same open file.
#pragma once

#include <cstdint>
#include <string>

#include "net/BodySink.h"
#include "platform/Files.h"
#include "support/Clock.h"

// How long a launcher waits for another that holds the temporary file.
inline constexpr unsigned kTempFileWaitMs = 10000;

class TempFileSink final : public IBodySink {
public:
    enum class State {
        Open,    // held by this sink
        Busy,    // another launcher held it for all of the wait
        Failed,  // it cannot be opened (or it is a link, never followed)
    };

    // Opens path for reading and appending, creating it when missing, and
    // takes its lock. While another launcher holds the lock, the sink waits up
    // to waitMs on clock, holding the file open for reading only (a file open
    // for writing cannot be started as a program). A file that its holder
    // moved away or removed before letting go is not the temporary file any
    // more: the path is opened anew.
    explicit TempFileSink(const std::string& path, unsigned waitMs = kTempFileWaitMs,
                          const IClock& clock = SystemClock());

    State GetState() const { return m_state; }
    bool Opened() const { return m_state == State::Open; }
    // Bytes the file holds now; 0 when it is not open.
    int64_t Size() const { return m_size; }
    // The open file, for reading back what it holds and for telling which
    // file it is.
    const platform::File& File() const { return m_file; }

    bool Restart(int64_t offset) override;
    bool Write(const char* data, size_t size) override;
    bool Finish() override;
    int64_t Capacity() const override { return -1; }
    platform::File* DirectTarget() override { return Opened() ? &m_file : nullptr; }
    bool Appended(size_t size) override;

private:
    // Every field belongs to the thread that owns the sink.
    platform::File m_lock;  // holds the lock
    platform::File m_file;  // the same file, for writing
    State m_state = State::Failed;
    int64_t m_size = 0;
};
