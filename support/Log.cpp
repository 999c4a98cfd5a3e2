#include "support/Log.h"

#include "support/Logger.h"

namespace {
// Lives until the process ends; files are closed by the system then.
Logger& GlobalLogger() {
    static Logger* logger = new Logger();
    return *logger;
}
}  // namespace

void log_init(LogConfig config) {
    GlobalLogger().Init(config);
}

void log_use_thread_ids(int64_t (*currentThreadId)()) {
    GlobalLogger().UseThreadIds(currentThreadId);
}

void log_write(int level, const char* module, const char* format, ...) {
    va_list args;
    va_start(args, format);
    GlobalLogger().Write(level, module, format, args);
    va_end(args);
}
