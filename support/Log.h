// Process-wide log: one line per message, to standard output and/or a file with
// daily and size rotation. Only failures are logged by the launcher.
#pragma once

#include <cstdint>
#include <ctime>

enum : uint32_t {
    LOG_OUT_CONSOLE = 0x01,
    LOG_OUT_FILE = 0x02,
    LOG_ROTATE_DAILY = 0x04,
    LOG_ROTATE_SIZE = 0x10,
};

enum : uint32_t {
    LOG_FMT_DATE = 0x01,
    LOG_FMT_TIME = 0x02,
    LOG_FMT_LEVEL = 0x04,
    LOG_FMT_THREAD = 0x08,
    LOG_FMT_MODULE = 0x10,
    LOG_FMT_TEXT = 0x20,
};

enum : int {
    LOG_ALL = 0,
    LOG_DEBUG = 1,
    LOG_NOTE = 10,
    LOG_WARN = 15,
    LOG_ERROR = 20,
};

// Passed by value to log_init. Zero (or a negative minLevel, an empty text, a
// null rotateAt) leaves the current setting.
struct LogConfig {
    uint32_t outputs;
    int32_t minLevel;
    uint32_t fileMode;  // 0x01: one shared file; clear: one file per thread
    uint32_t lineFormat;
    char baseName[400];
    char moduleFilter[500];     // comma-separated module names
    const struct tm* rotateAt;  // only hour, minute and second are used
};

void log_init(LogConfig config);
// Where the log reads the system's id of the calling thread (the thread piece
// of a line, per-thread files); until then threads are numbered in the order
// they first log. Called at start-up, before other threads log.
void log_use_thread_ids(int64_t (*currentThreadId)());
void log_write(int level, const char* module, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
