#include "tests/platform/PlatformTestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tests/support/TempDir.h"

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* saved = getenv(name)) m_saved = saved;
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (m_saved) {
        setenv(m_name.c_str(), m_saved->c_str(), 1);
    } else {
        unsetenv(m_name.c_str());
    }
}

CapturedStderr::CapturedStderr(const std::string& file) : m_file(file) {
    fflush(stderr);
    m_saved = dup(STDERR_FILENO);
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(fd, STDERR_FILENO);
    close(fd);
}

CapturedStderr::~CapturedStderr() {
    Text();
}

std::string CapturedStderr::Text() {
    if (m_saved >= 0) {
        fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        m_saved = -1;
    }
    return ReadFile(m_file);
}

void WriteExecutable(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    chmod(path.c_str(), 0755);
}

void WriteRecordingProgram(const std::string& path, const std::string& recordFile) {
    WriteExecutable(path, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + recordFile +
                              ".part\" && /bin/mv \"" + recordFile + ".part\" \"" + recordFile +
                              "\"\n");
}

bool WaitForFile(const std::string& path, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (FileExists(path)) return true;
        usleep(10000);
    }
    return FileExists(path);
}

pid_t ForkChild(const std::function<int()>& body) {
    fflush(stdout);
    fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

int WaitStatus(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}
