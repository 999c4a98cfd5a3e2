// Helpers shared by the platform tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>

// Sets (or, with nullopt, removes) an environment variable for a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

// Sends standard error to a file until Text() is called.
class CapturedStderr {
public:
    explicit CapturedStderr(const std::string& file);
    ~CapturedStderr();
    CapturedStderr(const CapturedStderr&) = delete;
    CapturedStderr& operator=(const CapturedStderr&) = delete;

    // Restores standard error and returns what was written meanwhile.
    std::string Text();

private:
    std::string m_file;
    int m_saved;
};

// Writes a file and makes it executable.
void WriteExecutable(const std::string& path, const std::string& content);

// A stand-in for a program such as xdg-open or wine: it writes its first
// argument to recordFile (under another name first, so the file appears whole).
void WriteRecordingProgram(const std::string& path, const std::string& recordFile);

// Waits up to timeoutMs for path to exist; true when it does.
bool WaitForFile(const std::string& path, int timeoutMs = 10000);

// Runs body in a forked child, which ends with body's result as exit code.
pid_t ForkChild(const std::function<int()>& body);
// The wait status of pid.
int WaitStatus(pid_t pid);
