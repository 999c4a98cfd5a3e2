// A program started by a test in a folder of its own, with extra environment
// and its standard output in a file; killed when the test ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class LauncherProcess {
public:
    // environment holds "NAME=value" entries added to (or replacing) the
    // test's own. Throws when the program cannot be started.
    LauncherProcess(const std::string& program, const std::vector<std::string>& args,
                    const std::string& workingDir, const std::vector<std::string>& environment,
                    const std::string& outputFile);
    ~LauncherProcess();
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    // True when the program has ended within limit.
    bool WaitForExit(std::chrono::milliseconds limit);
    // The wait status once it has ended.
    int WaitStatus() const { return m_waitStatus; }

private:
    pid_t m_pid = -1;        // owned by the test thread
    bool m_bExited = false;  // set once the program has been reaped
    int m_waitStatus = 0;
};
