// A launcher reduced to its host link, for the tests that load the library:
// it runs in a folder laid out like the real one, loads the library by its
// relative path and ends the way the launcher does. Every call the link makes
// on its owner is appended as a line to the file named by VORN_TEST_EVENTS;
// the run marker is the file named by VORN_TEST_MARKER. A copy started by the
// link's relaunch only records "Relaunched in <folder>: <command line>".
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "hostlink/HostLink.h"
#include "platform/Process.h"
#include "platform/Services.h"

namespace {

constexpr const char* kRelaunchedVariable = "VORN_TEST_RELAUNCHED";
// Bounds a run whose host never asks it to end.
constexpr auto kLongestRun = std::chrono::seconds(60);

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// One write per line with O_APPEND: the host library writes the same file.
void AppendLine(const std::string& file, const std::string& line) {
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const std::string text = line + "\n";
    if (write(fd, text.data(), text.size()) < 0) std::perror("events file");
    close(fd);
}

class RecordingOwner final : public hostlink::IHostLinkOwner {
public:
    RecordingOwner(std::string commandLine, std::string runMarker, std::string eventsFile)
        : m_commandLine(std::move(commandLine)),
          m_runMarker(std::move(runMarker)),
          m_eventsFile(std::move(eventsFile)) {}

    const std::string& CommandLine() const override { return m_commandLine; }
    void DeleteRunMarker() override {
        Record("DeleteRunMarker");
        if (!m_runMarker.empty()) unlink(m_runMarker.c_str());
    }
    void StartUpdate() override { Record("StartUpdate"); }
    void ShowWindowAsync(bool show) override { Record(show ? "ShowWindow 1" : "ShowWindow 0"); }
    void ReleaseLaunchLock() override { Record("ReleaseLaunchLock"); }
    void QuitMainLoop() override {
        Record("QuitMainLoop");
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
        m_quit.notify_all();
    }
    void EndProcess() override {
        Record("EndProcess");
        platform::TerminateSelf();
    }

    void Record(const std::string& line) const { AppendLine(m_eventsFile, line); }

    // The main loop: runs until QuitMainLoop.
    void RunMainLoop() {
        std::unique_lock lock(m_mutex);
        m_quit.wait_for(lock, kLongestRun, [this] { return m_bQuit; });
    }

private:
    const std::string m_commandLine;
    const std::string m_runMarker;
    const std::string m_eventsFile;
    std::mutex m_mutex;  // guards m_bQuit, set on the library's thread
    std::condition_variable m_quit;
    bool m_bQuit = false;
};

std::string JoinArgs(const std::vector<std::string>& args) {
    std::string joined;
    for (const std::string& arg : args) joined += (joined.empty() ? "" : " ") + arg;
    return joined;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string eventsFile = Environment("VORN_TEST_EVENTS");
    const std::string commandLine = platform::JoinCommandLine(argc, argv);
    if (!Environment(kRelaunchedVariable).empty()) {
        AppendLine(eventsFile, "Relaunched in " + std::filesystem::current_path().string() + ": " +
                                   commandLine);
        return 0;
    }
    // Set before any thread exists; the relaunched copy inherits it.
    setenv(kRelaunchedVariable, "1", 1);

    // Never destroyed, as in the launcher: the library's thread may still be
    // on its way out of an event when the main loop has ended.
    static auto* owner =
        new RecordingOwner(commandLine, Environment("VORN_TEST_MARKER"), eventsFile);
    static auto* services = new platform::Services(platform::SystemServices({}));
    services->spawn = [](const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDir) {
        owner->Record("Spawn " + program + " " + JoinArgs(args));
        return platform::SpawnProcess(program, args, workingDir);
    };
    static auto* link = new hostlink::CHostLink(*owner, *services);
    link->ConnectHostPlatform();
    owner->RunMainLoop();
    return 0;
}
