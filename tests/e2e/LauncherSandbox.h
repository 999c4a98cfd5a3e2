// The world of one end-to-end test, in a temporary folder:
//   launcher/vorn-launcher    a copy of the built launcher; its log goes beside it
//   libHostProcMsgHelper.so   the stand-in host library, when the test asks for it
//   volume/                   a fake fixed volume, which becomes the install folder
//   home/ config/ data/ cache/ runtime/ tmp/   the user's folders
//   bin/xdg-open              records the page the launcher opens
//   mountinfo                 the mount table the launcher reads
//   records/ runs/            what the stand-ins recorded; the runs' output
//   resolver/                 the private name service's files, when taken away
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

// One start of the sample game, as it recorded it.
struct GameStart {
    pid_t pid = 0;
    std::string workingDir;
    std::vector<std::string> args;
};

class LauncherSandbox {
public:
    // launcher is the executable copied into the launcher folder.
    explicit LauncherSandbox(const std::string& launcher = VORN_E2E_LAUNCHER);
    // Ends sample games that are still running, and fails the test when a
    // sanitizer reported on any run.
    ~LauncherSandbox();
    LauncherSandbox(const LauncherSandbox&) = delete;
    LauncherSandbox& operator=(const LauncherSandbox&) = delete;

    // Puts the stand-in host library beside the launcher folder; it sends the
    // events of script (see tools/host-standin/StandinScript.h).
    void UseHostLibrary(const std::string& script);
    // Installs the sample game as the game executable.
    void InstallSampleGame() { InstallSampleGameIn(InstallDir()); }
    // Installs it as the game of another install folder, whose folders the
    // player alone may write, whatever the umask.
    void InstallSampleGameIn(const std::string& installDir);
    // Sets an environment variable for the runs started afterwards.
    void SetEnvironment(const std::string& name, const std::string& value);
    // Takes an environment variable away from the runs started afterwards.
    void RemoveEnvironment(const std::string& name);
    // Runs started afterwards have a name service of their own that knows no
    // name, as on a machine without a network (tests/support/PrivateNamespace.h).
    void TakeAwayTheResolver() { m_noResolver = true; }
    // Writes the mount table anew: the system root and these fixed volumes,
    // in this order.
    void SetFixedVolumes(const std::vector<std::string>& mountPoints);
    // Runs started afterwards run as a user who cannot write the system's
    // folders (nobody, when the tests run as root; the sandbox becomes that
    // user's) and under strace, which records every file system call in
    // FileTracePath().
    void RunUnprivilegedAndTraced();
    std::string FileTracePath() const { return m_root / "records/file-trace"; }
    // Gives path, and everything below it, to a user other than the player
    // (nobody). Needs root.
    static void GiveToAnotherUser(const std::string& path);
    // command, run as that user. Needs root.
    static std::vector<std::string> AsAnotherUser(const std::vector<std::string>& command);

    // Starts the launcher with these arguments.
    std::unique_ptr<ProgramRun> Start(const std::vector<std::string>& args);
    // Starts it and waits for its end; a launcher that outlives limit is
    // killed and fails the test.
    std::unique_ptr<ProgramRun> RunToEnd(const std::vector<std::string>& args,
                                         std::chrono::milliseconds limit);

    const std::string& Root() const { return m_root.Path(); }
    std::string LauncherDir() const { return m_root / "launcher"; }
    std::string InstallDir() const { return m_root / "volume"; }
    std::string GamePath() const { return GamePathIn(InstallDir()); }
    static std::string GamePathIn(const std::string& installDir) {
        return installDir + "/vorn/ADPackage/Ostrel.exe";
    }
    std::string PackagePath() const { return InstallDir() + "/vorn_ad2.exe"; }
    std::string TempPackagePath() const { return InstallDir() + "/0.bak"; }
    std::string RunMarkerPath() const { return InstallDir() + "/load_vorn_temp"; }
    std::string LogPath() const { return LauncherDir() + "/updatelog.log.log"; }
    std::string SettingsPath() const;
    std::string HostLogPath() const { return m_root / "records/host.log"; }

    // The text of the settings file; empty when there is none.
    std::string SettingsText() const;
    // Writes the settings file (the launcher's text format) before a run.
    void WriteSettingsText(const std::string& values);
    // The URL the launcher opened last, waiting up to limit for one.
    std::string OpenedPage(std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // The stand-in host library's log (a script's "log" line names
    // HostLogPath()), one entry a line.
    std::vector<std::string> HostLogLines() const;
    // Waits until the host's log holds line; false when limit passes first.
    bool WaitForHostLogLine(const std::string& line, std::chrono::milliseconds limit) const;
    std::vector<GameStart> GameStarts() const;
    // Waits for the first start of the game; false when none came within limit.
    bool WaitForGameStart(std::chrono::milliseconds limit) const;

private:
    std::vector<std::string> Environment() const;

    TempDir m_root;
    // "NAME=value", or "NAME" for one taken away; later ones win.
    std::vector<std::string> m_extraEnvironment;
    bool m_noResolver = false;
    bool m_unprivilegedAndTraced = false;
    int m_runCount = 0;
};
