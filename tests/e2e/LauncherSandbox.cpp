#include "tests/e2e/LauncherSandbox.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/e2e/WaitUntil.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/OutputLines.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Velmora\\Quorvane3D";
constexpr const char* kUnprivilegedUser = "nobody";
constexpr const char* kMessageTimeoutMs = "200";
constexpr const char* kGameSeconds = "1";
// Passed on from the test's own environment: the display and the sanitizers.
constexpr const char* kInherited[] = {"DISPLAY", "XAUTHORITY", "ASAN_OPTIONS", "UBSAN_OPTIONS",
                                      "LSAN_OPTIONS"};

// A hard link where the file system allows one (the launcher finds its folder
// through /proc/self/exe, so a symbolic link would not do), else a copy.
void PlaceExecutable(const std::string& from, const std::string& to) {
    std::error_code linkFailed;
    fs::create_hard_link(from, to, linkFailed);
    if (linkFailed) fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void MakeFolder(const std::string& path, mode_t mode = 0755) {
    fs::create_directories(path);
    chmod(path.c_str(), mode);
}

// What the sanitizers write when they find a fault. Some let the program go
// on, or the launcher ends by _exit before their exit code applies, so its
// output is the only trace.
constexpr const char* kSanitizerReports[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                             "WARNING: ThreadSanitizer", "runtime error:"};

bool IsSampleGame(pid_t pid) {
    return ReadFile("/proc/" + std::to_string(pid) + "/cmdline").find("Ostrel.exe") !=
           std::string::npos;
}

}  // namespace

LauncherSandbox::LauncherSandbox(const std::string& launcher) {
    for (const char* folder : {"home", "config", "data", "cache", "tmp", "bin", "volume",
                               "launcher", "records", "runs"}) {
        MakeFolder(m_root / folder);
    }
    MakeFolder(m_root / "runtime", 0700);
    PlaceExecutable(launcher, LauncherDir() + "/vorn-launcher");
    WriteRecordingProgram(m_root / "bin/xdg-open", m_root / "records/opened-page");
    // The root as a real table lists it, and one fixed volume: ours.
    SetFixedVolumes({InstallDir()});
}

void LauncherSandbox::SetFixedVolumes(const std::vector<std::string>& mountPoints) {
    std::string table = "21 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n";
    int id = 88;
    for (const std::string& mountPoint : mountPoints) {
        table += std::to_string(id) + " 21 254:" + std::to_string(id) + " / " + mountPoint +
                 " rw,relatime shared:40 - ext4 /dev/vdb" + std::to_string(id) + " rw\n";
        ++id;
    }
    WriteFile(m_root / "mountinfo", table);
}

void LauncherSandbox::RunUnprivilegedAndTraced() {
    m_unprivilegedAndTraced = true;
    if (getuid() == 0) GiveToAnotherUser(m_root.Path());
}

void LauncherSandbox::GiveToAnotherUser(const std::string& path) {
    const passwd* nobody = getpwnam(kUnprivilegedUser);
    ASSERT_TRUE(nobody);
    lchown(path.c_str(), nobody->pw_uid, nobody->pw_gid);
    if (!fs::is_directory(fs::symlink_status(path))) return;
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
        lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
    }
}

std::vector<std::string> LauncherSandbox::AsAnotherUser(const std::vector<std::string>& command) {
    std::vector<std::string> asUser = {"/usr/bin/setpriv",
                                       std::string("--reuid=") + kUnprivilegedUser,
                                       "--regid=nogroup", "--clear-groups", "--"};
    asUser.insert(asUser.end(), command.begin(), command.end());
    return asUser;
}

LauncherSandbox::~LauncherSandbox() {
    for (const GameStart& start : GameStarts()) {
        if (start.pid > 0 && IsSampleGame(start.pid)) kill(start.pid, SIGKILL);
    }
    for (int run = 1; run <= m_runCount; ++run) {
        const std::string errors = ReadFile(m_root / ("runs/run" + std::to_string(run) + ".err"));
        for (const char* report : kSanitizerReports) {
            if (errors.find(report) != std::string::npos) {
                ADD_FAILURE() << "run " << run << " of the launcher:\n" << errors;
                break;
            }
        }
    }
}

void LauncherSandbox::UseHostLibrary(const std::string& script) {
    PlaceExecutable(VORN_E2E_HOST_LIBRARY, m_root / "libHostProcMsgHelper.so");
    WriteFile(m_root / "host-script", script);
    SetEnvironment("VORN_HOST_SCRIPT", m_root / "host-script");
}

void LauncherSandbox::InstallSampleGameIn(const std::string& installDir) {
    const fs::path game = GamePathIn(installDir);
    MakeFolder(game.parent_path().parent_path());
    MakeFolder(game.parent_path());
    fs::copy_file(VORN_E2E_SAMPLE_GAME, game, fs::copy_options::overwrite_existing);
}

void LauncherSandbox::SetEnvironment(const std::string& name, const std::string& value) {
    m_extraEnvironment.push_back(name + "=" + value);
}

void LauncherSandbox::RemoveEnvironment(const std::string& name) {
    m_extraEnvironment.push_back(name);
}

std::vector<std::string> LauncherSandbox::Environment() const {
    std::vector<std::string> environment{
        "PATH=" + (m_root / "bin") + ":/usr/local/bin:/usr/bin:/bin",
        "HOME=" + (m_root / "home"),
        "XDG_CONFIG_HOME=" + (m_root / "config"),
        "XDG_DATA_HOME=" + (m_root / "data"),
        "XDG_CACHE_HOME=" + (m_root / "cache"),
        "XDG_RUNTIME_DIR=" + (m_root / "runtime"),
        "TMPDIR=" + (m_root / "tmp"),
        "LANG=C.UTF-8",
        // No accessibility bus in a test session.
        "NO_AT_BRIDGE=1",
        // GLib's slice allocator hands memory between threads through locks
        // that the sanitizers cannot see; plain malloc they can.
        "G_SLICE=always-malloc",
        "VORN_MOUNTINFO=" + (m_root / "mountinfo"),
        std::string("VORN_MESSAGE_TIMEOUT_MS=") + kMessageTimeoutMs,
        "VORN_SAMPLE_GAME_RECORD=" + (m_root / "records/game"),
        std::string("VORN_SAMPLE_GAME_SECONDS=") + kGameSeconds,
    };
    for (const char* name : kInherited) {
        if (const char* value = getenv(name)) {
            environment.push_back(std::string(name) + "=" + value);
        }
    }
    const char* tsanOptions = getenv("TSAN_OPTIONS");
    environment.push_back(std::string("TSAN_OPTIONS=") + (tsanOptions ? tsanOptions : "") +
                          " suppressions=" + VORN_E2E_TSAN_SUPPRESSIONS);
    for (const std::string& extra : m_extraEnvironment) {
        const size_t equals = extra.find('=');
        const std::string name = extra.substr(0, equals) + "=";
        std::erase_if(environment,
                      [&](const std::string& entry) { return entry.starts_with(name); });
        if (equals != std::string::npos) environment.push_back(extra);
    }
    return environment;
}

std::unique_ptr<ProgramRun> LauncherSandbox::Start(const std::vector<std::string>& args) {
    const std::string output = m_root / ("runs/run" + std::to_string(++m_runCount));
    // The launcher, behind the programs that change the world it runs in.
    std::vector<std::string> command;
    if (m_unprivilegedAndTraced) {
        command = {"/usr/bin/strace", "-f", "-qq", "-e", "trace=%file", "-o", FileTracePath()};
        if (getuid() == 0) {
            const std::vector<std::string> asUser = AsAnotherUser({});
            command.insert(command.end(), asUser.begin(), asUser.end());
        }
    }
    if (m_noResolver) {
        MakeFolder(m_root / "resolver");
        command.insert(command.end(), {VORN_E2E_NAMESPACE, "resolver", m_root / "resolver"});
    }
    // Started from the home folder, as from a desktop entry: the launcher must
    // find its own folder by itself.
    command.push_back(LauncherDir() + "/vorn-launcher");
    command.insert(command.end(), args.begin(), args.end());
    const std::string program = command.front();
    command.erase(command.begin());
    return std::make_unique<ProgramRun>(program, command, Environment(), m_root / "home", output);
}

std::unique_ptr<ProgramRun> LauncherSandbox::RunToEnd(const std::vector<std::string>& args,
                                                      std::chrono::milliseconds limit) {
    std::unique_ptr<ProgramRun> run = Start(args);
    if (!run->WaitForExit(limit)) {
        run->Kill();
        ADD_FAILURE() << "the launcher still ran after " << limit.count()
                      << " ms; its standard error:\n"
                      << run->Stderr();
    }
    return run;
}

std::string LauncherSandbox::SettingsPath() const {
    return m_root / "config/SOFTWARE/Velmora/Quorvane3D.reg";
}

std::string LauncherSandbox::SettingsText() const {
    return ReadFile(SettingsPath());
}

void LauncherSandbox::WriteSettingsText(const std::string& values) {
    fs::create_directories(fs::path(SettingsPath()).parent_path());
    WriteFile(SettingsPath(), std::string("[") + kSettingsKey + "]\n" + values);
}

std::string LauncherSandbox::OpenedPage(std::chrono::milliseconds limit) const {
    const std::string record = m_root / "records/opened-page";
    WaitUntil([&] { return FileExists(record); }, limit);
    return ReadFile(record);
}

std::vector<std::string> LauncherSandbox::HostLogLines() const {
    return SplitLines(ReadFile(HostLogPath()));
}

bool LauncherSandbox::WaitForHostLogLine(const std::string& line,
                                         std::chrono::milliseconds limit) const {
    return WaitUntil([&] { return Holds(HostLogLines(), line); }, limit);
}

std::vector<GameStart> LauncherSandbox::GameStarts() const {
    std::vector<GameStart> starts;
    std::istringstream in(ReadFile(m_root / "records/game"));
    GameStart current;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("pid=")) {
            current.pid = std::stoi(line.substr(4));
        } else if (line.starts_with("cwd=")) {
            current.workingDir = line.substr(4);
        } else if (line.starts_with("arg=")) {
            current.args.push_back(line.substr(4));
        } else if (line.empty()) {
            starts.push_back(current);
            current = GameStart{};
        }
    }
    return starts;
}

bool LauncherSandbox::WaitForGameStart(std::chrono::milliseconds limit) const {
    return WaitUntil([&] { return !GameStarts().empty(); }, limit);
}
