#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "tests/support/ExecArguments.h"

extern char** environ;

namespace {

constexpr auto kStopGrace = std::chrono::seconds(5);
constexpr auto kReapPoll = std::chrono::milliseconds(10);

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    std::vector<std::string> argvCopy = argv;
    std::vector<char*> args = NullTerminated(argvCopy);
    const int failed = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    m_output = pipeEnds[0];
    if (failed) {
        close(m_output);
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProcess::~ChildProcess() {
    if (!HasExited()) {
        kill(m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
        while (!HasExited() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(kReapPoll);
        }
        if (!HasExited()) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    close(m_output);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (const size_t newline = m_pending.find('\n'); newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{m_output, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, int(left.count())) <= 0) return std::nullopt;
        char chunk[256];
        const ssize_t count = read(m_output, chunk, sizeof chunk);
        if (count <= 0) return std::nullopt;
        m_pending.append(chunk, size_t(count));
    }
}

bool ChildProcess::HasExited() {
    if (!m_exited && waitpid(m_pid, nullptr, WNOHANG) == m_pid) m_exited = true;
    return m_exited;
}
