// The log module's state as an object, so that tests can run several
// configurations and inject the clock; log_init/log_write use one global
// instance.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/Log.h"

class Logger {
public:
    using Clock = std::function<time_t()>;

    explicit Logger(Clock clock = nullptr);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void Init(const LogConfig& config);
    void Write(int level, const char* module, const char* format, va_list args)
        __attribute__((format(printf, 4, 0)));

private:
    struct ThreadRecord {
        long threadId;
        FILE* file;  // per-thread mode only
    };

    ThreadRecord& RecordForCallingThread();
    void OpenFileFor(ThreadRecord& record, long threadId);
    bool PassesFilter(const char* module) const;
    std::string BuildLine(int level, const char* module, long threadId, const char* format,
                          va_list args) const;
    std::string FileBase() const;
    void ReopenShared();
    void DailyCheck();
    void SizeCheck();

    Clock m_clock;

    // Written only by Init, before other threads log.
    uint32_t m_outputs = LOG_OUT_CONSOLE;
    int32_t m_minLevel = LOG_NOTE;
    uint32_t m_fileMode = 0x01;
    uint32_t m_lineFormat = 0x7E;
    int m_rotateHour = 0, m_rotateMinute = 0, m_rotateSecond = 0;
    std::string m_baseName;  // empty when none is configured
    std::vector<std::string> m_filter;  // newest first

    // Guarded by m_mutex: the thread list, the open files, the rotation state
    // and every write, so that a rotation never races a write.
    std::mutex m_mutex;
    std::vector<ThreadRecord> m_threads;
    FILE* m_sharedFile = nullptr;
    time_t m_nextRotation = 0;
    int m_sizeCounter = 0;
};
