// The log module's state as an object, so that tests can run several
// configurations and inject the clock; log_init/log_write use one global
// instance.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "support/Clock.h"
#include "support/Log.h"
#include "support/Mutex.h"

// The system's id of the calling thread.
using ThreadIdSource = int64_t (*)();

class Logger {
public:
    // clock must outlive the logger; the system's clocks when null. Without
    // threadIds, threads are numbered 1, 2, ... in the order they first log.
    explicit Logger(const IClock* clock = nullptr, ThreadIdSource threadIds = nullptr);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void Init(const LogConfig& config);
    // Called before any other thread logs.
    void UseThreadIds(ThreadIdSource threadIds) { m_threadIds = threadIds; }
    void Write(int level, const char* module, const char* format, va_list args)
        __attribute__((format(printf, 4, 0)));

private:
    struct ThreadRecord {
        long threadId;
        FILE* file;  // per-thread mode only
    };

    ThreadRecord& RecordForCallingThread() REQUIRES(m_mutex);
    void OpenFileFor(ThreadRecord& record, long threadId) REQUIRES(m_mutex);
    bool PassesFilter(const char* module) const;
    std::string BuildLine(int level, const char* module, long threadId, const char* format,
                          va_list args) const;
    std::string FileBase() const;
    void ReopenShared() REQUIRES(m_mutex);
    void DailyCheck() REQUIRES(m_mutex);
    void SizeCheck() REQUIRES(m_mutex);

    long CurrentThreadId() const;

    const IClock& m_clock;  // set at construction
    // Set before other threads log; null: threads are numbered.
    ThreadIdSource m_threadIds = nullptr;

    // Written only by Init, before other threads log.
    uint32_t m_outputs = LOG_OUT_CONSOLE;
    int32_t m_minLevel = LOG_NOTE;
    uint32_t m_fileMode = 0x01;
    uint32_t m_lineFormat = 0x7E;
    int m_rotateHour = 0, m_rotateMinute = 0, m_rotateSecond = 0;
    std::string m_baseName;             // empty when none is configured
    std::vector<std::string> m_filter;  // newest first

    // Guarded by m_mutex: the thread list, the open files, the rotation state
    // and every write, so that a rotation never races a write.
    Mutex m_mutex;
    std::vector<ThreadRecord> m_threads GUARDED_BY(m_mutex);
    FILE* m_sharedFile GUARDED_BY(m_mutex) = nullptr;
    time_t m_nextRotation GUARDED_BY(m_mutex) = 0;
    int m_sizeCounter GUARDED_BY(m_mutex) = 0;
};
