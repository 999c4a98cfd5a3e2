#include "tests/support/ProgramRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/ExecArguments.h"
#include "tests/support/OutputLines.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

constexpr auto kReapPoll = std::chrono::milliseconds(10);

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

}  // namespace

std::vector<std::string> TestEnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> merged = extra;
    for (char** entry = environ; *entry; ++entry) {
        const std::string name = NameOf(*entry);
        bool replaced = false;
        for (const std::string& added : extra) replaced = replaced || NameOf(added) == name;
        if (!replaced) merged.emplace_back(*entry);
    }
    return merged;
}

ProgramRun::ProgramRun(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment, const std::string& workingDir,
                         const std::string& outputPrefix)
    : m_outputPrefix(outputPrefix) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = environment;
    std::vector<char*> argvPointers = NullTerminated(argv);
    std::vector<char*> envpPointers = NullTerminated(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (outputPrefix + ".out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (outputPrefix + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    m_started = std::chrono::steady_clock::now();
    const int failed = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                                   envpPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + program + ": " + strerror(failed));
}

ProgramRun::~ProgramRun() {
    Kill();
}

bool ProgramRun::WaitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kReapPoll);
    }
    return true;
}

bool ProgramRun::Running() {
    if (!m_bExited && waitpid(m_pid, &m_waitStatus, WNOHANG) == m_pid) {
        m_bExited = true;
        m_ended = std::chrono::steady_clock::now();
    }
    return !m_bExited;
}

void ProgramRun::Kill() {
    if (!Running()) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &m_waitStatus, 0);
    m_bExited = true;
    m_ended = std::chrono::steady_clock::now();
}

int ProgramRun::ExitCode() const {
    return m_bExited && WIFEXITED(m_waitStatus) ? WEXITSTATUS(m_waitStatus) : -1;
}

double ProgramRun::Seconds() const {
    const auto end = m_bExited ? m_ended : std::chrono::steady_clock::now();
    return std::chrono::duration<double>(end - m_started).count();
}

std::string ProgramRun::Stdout() const {
    return ReadFile(m_outputPrefix + ".out");
}

std::string ProgramRun::Stderr() const {
    return ReadFile(m_outputPrefix + ".err");
}

std::vector<std::string> ProgramRun::StderrLines() const {
    return SplitLines(Stderr());
}
