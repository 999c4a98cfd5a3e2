#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"
#include "platform/posix/FileDescriptor.h"
#include "platform/posix/SearchPath.h"

extern char** environ;

namespace platform {

namespace {

// path as seen from the caller's current directory.
std::string Absolute(const std::string& path) {
    return path.starts_with('/') ? path : CurrentDirectory() + "/" + path;
}

// What a file starts with decides how it is run.
enum class FileKind { Native, Windows, Unknown };

FileKind KindOfFile(const std::string& file) {
    const UniqueFd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd) return FileKind::Unknown;
    char head[4] = {};
    const ssize_t got = ReadAll(fd.Get(), head, sizeof head);
    if (got >= 4 && memcmp(head,
                           "\x7f"
                           "ELF",
                           4) == 0)
        return FileKind::Native;
    if (got >= 2 && head[0] == '#' && head[1] == '!') return FileKind::Native;
    if (got >= 2 && head[0] == 'M' && head[1] == 'Z') return FileKind::Windows;
    return FileKind::Unknown;
}

bool MakeUserExecutable(const std::string& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) return false;
    if (info.st_mode & S_IXUSR) return true;
    return chmod(file.c_str(), (info.st_mode & 07777) | S_IXUSR) == 0;
}

// Owns the spawn attributes and file actions for one posix_spawn call.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&m_attributes);
        posix_spawn_file_actions_init(&m_actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The child gets a session of its own, like a process in a console of its
    // own, and none of the signal state the launcher set up for itself
    // (ignored SIGPIPE, blocked signals).
    bool Prepare(const std::string& workingDir) {
        sigset_t allSignals;
        sigset_t noSignals;
        sigfillset(&allSignals);
        sigemptyset(&noSignals);
        if (posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF |
                                                        POSIX_SPAWN_SETSIGMASK) != 0 ||
            posix_spawnattr_setsigdefault(&m_attributes, &allSignals) != 0 ||
            posix_spawnattr_setsigmask(&m_attributes, &noSignals) != 0) {
            return false;
        }
        return workingDir.empty() ||
               posix_spawn_file_actions_addchdir_np(&m_actions, workingDir.c_str()) == 0;
    }

    const posix_spawnattr_t* Attributes() const { return &m_attributes; }
    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }

private:
    posix_spawnattr_t m_attributes;
    posix_spawn_file_actions_t m_actions;
};

}  // namespace

std::optional<Process> SpawnProcess(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::string& workingDir) {
    if (program.empty()) return std::nullopt;
    // The child changes directory before it executes, so a relative program is
    // made absolute against the caller's directory first.
    const std::string path = workingDir.empty() ? program : Absolute(program);

    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.Prepare(workingDir)) return std::nullopt;
    pid_t pid = -1;
    // glibc reports a failed chdir or exec of the child as the result here.
    if (posix_spawn(&pid, path.c_str(), setup.Actions(), setup.Attributes(), argv.data(),
                    environ) != 0) {
        return std::nullopt;
    }
    return Process{pid, 0};
}

std::optional<Process> RunThroughAssociation(const std::string& file,
                                             const std::vector<std::string>& args,
                                             const std::string& workingDir) {
    switch (KindOfFile(file)) {
        case FileKind::Native:
            if (!MakeUserExecutable(file)) return std::nullopt;
            return SpawnProcess(file, args, workingDir);
        case FileKind::Windows: {
            const std::string wine = FindExecutableOnPath("wine");
            if (wine.empty()) return std::nullopt;
            // The child enters workingDir first: a relative file must not move with it.
            std::vector<std::string> wineArgs{workingDir.empty() ? file : Absolute(file)};
            wineArgs.insert(wineArgs.end(), args.begin(), args.end());
            return SpawnProcess(wine, wineArgs, workingDir);
        }
        case FileKind::Unknown:
            break;
    }
    return std::nullopt;
}

bool WaitProcess(const Process& process) {
    const auto pid = static_cast<pid_t>(process.id);
    if (pid <= 0) return false;
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    return result == pid;
}

int64_t CurrentProcessId() {
    return getpid();
}

int64_t CurrentThreadId() {
    return gettid();
}

void TerminateSelf() {
    fflush(stdout);
    fflush(stderr);
    _exit(0);
}

}  // namespace platform
