#include "tests/hostlink/LauncherProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/ExecArguments.h"

extern char** environ;

namespace {

constexpr auto kReapPoll = std::chrono::milliseconds(10);

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged = extra;
    for (char** entry = environ; *entry; ++entry) {
        const std::string name = NameOf(*entry);
        bool replaced = false;
        for (const std::string& added : extra) replaced = replaced || NameOf(added) == name;
        if (!replaced) merged.emplace_back(*entry);
    }
    return merged;
}

}  // namespace

LauncherProcess::LauncherProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& workingDir,
                                 const std::vector<std::string>& environment,
                                 const std::string& outputFile) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = MergedEnvironment(environment);
    std::vector<char*> argvPointers = NullTerminated(argv);
    std::vector<char*> envpPointers = NullTerminated(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    const int failed = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                                   envpPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + program + ": " + strerror(failed));
}

LauncherProcess::~LauncherProcess() {
    if (m_bExited) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}

bool LauncherProcess::WaitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!m_bExited) {
        if (waitpid(m_pid, &m_waitStatus, WNOHANG) == m_pid) {
            m_bExited = true;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        } else {
            std::this_thread::sleep_for(kReapPoll);
        }
    }
    return true;
}
