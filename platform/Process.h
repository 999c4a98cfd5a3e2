// Starting, waiting for and ending processes.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Starts program (passed whole, never split) with args in workingDir (empty:
// the current one). A relative program is found from the caller's current
// directory. The child starts a session of its own, with default signal
// dispositions and an empty signal mask. Returns the pid, or nothing when it
// could not be started.
std::optional<pid_t> SpawnProcess(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& workingDir = "");

// Runs a file through its association by its content, with args in workingDir
// (empty: the current one): an ELF or "#!" file is made executable and run
// directly, a Windows executable ("MZ") as "wine <file> args..." when wine is
// on the PATH. Returns nothing when it cannot be started.
std::optional<pid_t> RunThroughAssociation(const std::string& file,
                                           const std::vector<std::string>& args = {},
                                           const std::string& workingDir = "");

// Waits for pid to end; false when it cannot be waited for.
bool WaitProcess(pid_t pid);

// The launcher's command line: the arguments after the program name joined by
// single spaces.
std::string JoinCommandLine(int argc, char** argv);
// A command line built as one string, split at spaces into arguments.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The directories of $PATH in order (a default list when it is unset); an
// empty entry stands for the current directory.
std::vector<std::string> SearchPathDirectories();
// The first executable regular file called name in those directories; empty
// when there is none.
std::string FindExecutableOnPath(const std::string& name);

// Ends the process at once with exit code 0, without unwinding.
[[noreturn]] void TerminateSelf();

}  // namespace platform
