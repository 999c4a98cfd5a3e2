// Starting, waiting for and ending processes, and the launcher's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A process the launcher started: what waiting for it needs.
struct Process {
    int64_t id = 0;        // the system's process id
    uintptr_t handle = 0;  // the system's handle where waiting needs one; 0 where it does not
};

// Starts program (passed whole, never split) with args in workingDir (empty:
// the current one). A relative program is found from the caller's current
// directory. The child starts a session of its own, with default signal
// dispositions and an empty signal mask. Nothing when it could not be started.
std::optional<Process> SpawnProcess(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::string& workingDir = "");

// Runs a file through its association by its content, with args in workingDir
// (empty: the current one): an ELF or "#!" file is made executable and run
// directly, a Windows executable ("MZ") as "wine <file> args..." when wine is
// on the PATH. Nothing when it cannot be started.
std::optional<Process> RunThroughAssociation(const std::string& file,
                                             const std::vector<std::string>& args = {},
                                             const std::string& workingDir = "");

// Waits for the process to end; false when it cannot be waited for.
bool WaitProcess(const Process& process);

int64_t CurrentProcessId();
// The system's id of the calling thread.
int64_t CurrentThreadId();

// Ends the process at once with exit code 0, without unwinding.
[[noreturn]] void TerminateSelf();

// The launcher's command line: the arguments after the program name joined by
// single spaces.
std::string JoinCommandLine(int argc, char** argv);
// A command line built as one string, split at spaces into arguments.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace platform
