// A helper program started by a test and ended with it: a server, usually.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts argv[0] (looked up in PATH) with its standard output on a pipe
    // that ReadLine reads; standard input is /dev/null. Throws when it cannot.
    explicit ChildProcess(const std::vector<std::string>& argv);
    // Stops the program: SIGTERM, then SIGKILL when it has not ended soon.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of its output without the newline; nothing when the
    // program closed its output or the time ran out.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // True once the program has ended (it is reaped then).
    bool HasExited();
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;   // owned by the test thread
    int m_output = -1;  // read end of the output pipe
    bool m_exited = false;
    std::string m_pending;  // output read past the last line handed out
};
