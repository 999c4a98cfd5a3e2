// A program started by a test (the launcher, or a part of it) in a folder of
// its own, with exactly the environment it is given and its standard output
// and error in files; killed when the object goes while it still runs.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// The test's own environment with extra "NAME=value" entries added or
// replacing those of the same name.
std::vector<std::string> TestEnvironmentWith(const std::vector<std::string>& extra);

class ProgramRun {
public:
    // Writes outputPrefix + ".out" and outputPrefix + ".err". Throws when the
    // program cannot be started.
    ProgramRun(const std::string& program, const std::vector<std::string>& args,
                const std::vector<std::string>& environment, const std::string& workingDir,
                const std::string& outputPrefix);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    pid_t Pid() const { return m_pid; }
    // True when the program has ended within limit.
    bool WaitForExit(std::chrono::milliseconds limit);
    bool Running();
    // Ends it at once (SIGKILL) and reaps it.
    void Kill();
    // The exit code once it has ended normally; -1 after a signal.
    int ExitCode() const;
    // Seconds from the start to the end (or to now while it runs).
    double Seconds() const;

    std::string Stdout() const;
    std::string Stderr() const;
    // Standard error split into lines, without the line ends.
    std::vector<std::string> StderrLines() const;

private:
    pid_t m_pid = -1;        // owned by the test thread
    bool m_bExited = false;  // set once the program has been reaped
    int m_waitStatus = 0;
    std::string m_outputPrefix;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_ended;
};
