#include "support/Logger.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "support/LocalTime.h"

namespace {

constexpr int kTextBuffer = 500;  // a message keeps at most 499 characters
constexpr long kSizeLimit = 10000000;
constexpr int kNameBuffer = 100;

// The calling thread's number when the system's ids are not known: threads
// are numbered in the order they first ask.
long ThreadNumber() {
    static std::atomic<long> lastNumber{0};
    thread_local const long number = ++lastNumber;
    return number;
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    const size_t length = strlen(b);
    return a.size() == length && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

const char* LevelTag(int level) {
    switch (level) {
        case LOG_ALL:
            return "[ALL] ";
        case LOG_DEBUG:
            return "[DEBUG] ";
        case LOG_NOTE:
            return "[NOTE ] ";
        case LOG_WARN:
            return "[WARN ] ";
        case LOG_ERROR:
            return "[ERROR] ";
        default:
            return nullptr;
    }
}

}  // namespace

Logger::Logger(const IClock* clock, ThreadIdSource threadIds)
    : m_clock(clock ? *clock : SystemClock()), m_threadIds(threadIds) {}

long Logger::CurrentThreadId() const {
    return m_threadIds ? static_cast<long>(m_threadIds()) : ThreadNumber();
}

// Runs when no other thread logs any more.
Logger::~Logger() NO_THREAD_SAFETY_ANALYSIS {
    for (ThreadRecord& record : m_threads) {
        if (record.file) fclose(record.file);
    }
    if (m_sharedFile) fclose(m_sharedFile);
}

void Logger::Init(const LogConfig& config) {
    if (config.outputs) m_outputs = config.outputs;
    if (config.lineFormat) m_lineFormat = config.lineFormat;
    if (config.fileMode) m_fileMode = config.fileMode;
    if (config.minLevel >= 0) m_minLevel = config.minLevel;
    if (config.rotateAt) {
        m_rotateHour = config.rotateAt->tm_hour;
        m_rotateMinute = config.rotateAt->tm_min;
        m_rotateSecond = config.rotateAt->tm_sec;
    }
    std::string filter(config.moduleFilter,
                       strnlen(config.moduleFilter, sizeof(config.moduleFilter)));
    size_t start = 0;
    while (start <= filter.size()) {
        size_t comma = filter.find(',', start);
        if (comma == std::string::npos) comma = filter.size();
        if (comma > start) m_filter.insert(m_filter.begin(), filter.substr(start, comma - start));
        start = comma + 1;
    }
    if (config.baseName[0]) {
        m_baseName.assign(config.baseName, strnlen(config.baseName, sizeof(config.baseName)));
    }
}

std::string Logger::FileBase() const {
    return m_baseName.empty() ? "prog" : m_baseName;
}

void Logger::OpenFileFor(ThreadRecord& record, long threadId) {
    if (!(m_outputs & LOG_OUT_FILE)) return;
    char name[kNameBuffer];
    const std::string base = FileBase();
    const bool shared = m_fileMode & 0x01;
    if (shared) {
        // The shared file is opened once; later threads write to the same one.
        if (m_sharedFile) return;
        snprintf(name, sizeof name, "%s.%s", base.c_str(), "log");
    } else {
        snprintf(name, sizeof name, "%s%ld.%s", base.c_str(), threadId, "log");
    }
    FILE* file = fopen(name, "a+");
    if (!file) {
        printf("can't create log file, file name:%s\n", name);
        fflush(stdout);
        exit(-1);
    }
    setvbuf(file, nullptr, _IONBF, 0);
    if (shared) {
        m_sharedFile = file;
    } else {
        record.file = file;
    }
}

Logger::ThreadRecord& Logger::RecordForCallingThread() {
    const long threadId = CurrentThreadId();
    for (ThreadRecord& record : m_threads) {
        if (record.threadId == threadId) return record;
    }
    m_threads.insert(m_threads.begin(), ThreadRecord{threadId, nullptr});
    OpenFileFor(m_threads.front(), threadId);
    return m_threads.front();
}

bool Logger::PassesFilter(const char* module) const {
    if (m_filter.empty()) return true;
    if (!module) return false;
    for (const std::string& name : m_filter) {
        if (SameIgnoringCase(name, module)) return true;
    }
    return false;
}

std::string Logger::BuildLine(int level, const char* module, long threadId, const char* format,
                              va_list args) const {
    std::string line;
    line.reserve(128);
    const std::tm local = LocalCalendar(m_clock.WallSeconds());
    char piece[kTextBuffer];
    if (m_lineFormat & LOG_FMT_DATE) {
        snprintf(piece, sizeof piece, "%04d-%02d-%02d ", local.tm_year + 1900, local.tm_mon + 1,
                 local.tm_mday);
        line += piece;
    }
    if (m_lineFormat & LOG_FMT_TIME) {
        snprintf(piece, sizeof piece, "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
        line += piece;
    }
    if (m_lineFormat & LOG_FMT_LEVEL) {
        if (const char* tag = LevelTag(level)) {
            line += tag;
        } else {
            snprintf(piece, sizeof piece, "[%d] ", level);
            line += piece;
        }
    }
    if (m_lineFormat & LOG_FMT_THREAD) {
        snprintf(piece, sizeof piece, "[%ld] ", threadId);
        line += piece;
    }
    if ((m_lineFormat & LOG_FMT_MODULE) && module) {
        snprintf(piece, sizeof piece, "[%s]\t", module);
        line += piece;
    }
    if (m_lineFormat & LOG_FMT_TEXT) {
        vsnprintf(piece, sizeof piece, format, args);
        line += piece;
    }
    line += "\r\n";
    return line;
}

void Logger::Write(int level, const char* module, const char* format, va_list args) {
    const long threadId = CurrentThreadId();
    MutexLock guard(m_mutex);
    ThreadRecord& record = RecordForCallingThread();
    if (level < m_minLevel) return;
    if (!PassesFilter(module)) return;

    const std::string line = BuildLine(level, module, threadId, format, args);
    if (m_outputs & LOG_OUT_CONSOLE) {
        printf("%s\n", line.c_str());
        fflush(stdout);
    }
    if (!(m_outputs & LOG_OUT_FILE)) return;

    FILE* file = (m_fileMode & 0x01) ? m_sharedFile : record.file;
    if (file) {
        fwrite(line.data(), 1, line.size(), file);
        fflush(file);
    }
    if (m_outputs & LOG_ROTATE_DAILY) DailyCheck();
    if (m_outputs & LOG_ROTATE_SIZE) SizeCheck();
}

void Logger::ReopenShared() {
    // A failed reopen leaves file output off until the next rotation; the
    // process goes on.
    const std::string name = FileBase() + ".log";
    m_sharedFile = fopen(name.c_str(), "a+");
    if (m_sharedFile) setvbuf(m_sharedFile, nullptr, _IONBF, 0);
}

void Logger::DailyCheck() {
    const time_t now = static_cast<time_t>(m_clock.WallSeconds());
    std::tm local = LocalCalendar(m_clock.WallSeconds());
    if (m_nextRotation != 0) {
        if (now <= m_nextRotation) return;
        if (m_sharedFile) fclose(m_sharedFile);
        m_sharedFile = nullptr;
        char stamped[kNameBuffer];
        const std::string base = FileBase();
        snprintf(stamped, sizeof stamped, "%s.%04d%02d%02d%02d%02d%02d", base.c_str(),
                 local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, m_rotateHour,
                 m_rotateMinute, m_rotateSecond);
        std::rename((base + ".log").c_str(), stamped);
        ReopenShared();
    }
    local.tm_hour = m_rotateHour;
    local.tm_min = m_rotateMinute;
    local.tm_sec = m_rotateSecond;
    local.tm_isdst = -1;
    time_t next = mktime(&local);
    if (next < now) next += 86400;
    m_nextRotation = next;
}

void Logger::SizeCheck() {
    if (!m_sharedFile) return;
    const long position = ftell(m_sharedFile);
    fseek(m_sharedFile, 0, SEEK_END);
    const long length = ftell(m_sharedFile);
    fseek(m_sharedFile, position, SEEK_SET);
    if (length <= kSizeLimit) return;

    fclose(m_sharedFile);
    m_sharedFile = nullptr;
    char numbered[kNameBuffer];
    const std::string base = FileBase();
    snprintf(numbered, sizeof numbered, "%s_%d.log", base.c_str(), m_sizeCounter);
    std::remove(numbered);
    std::rename((base + ".log").c_str(), numbered);
    ReopenShared();
    m_sizeCounter = (m_sizeCounter + 1) % 10;
}
