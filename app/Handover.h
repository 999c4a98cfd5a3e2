// The controller's hand-over when a job is over or has failed for good: run
// the downloaded install package and wait for it, start the game with the
// host's parameters, or give up and point the player to the service page.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "support/vnMutex.h"
#include "update/LaunchConfig.h"

// What the hand-over needs of the controller.
class IHandoverHost {
public:
    virtual ~IHandoverHost() = default;
    virtual LaunchConfig& Config() = 0;
    // The window's lock; the hand-over holds it throughout.
    virtual vnMutex& WindowLock() = 0;
    // Creates and starts a worker for the current mode.
    virtual void StartUpdate() = 0;
    // Ask the main thread to hide or show the window and return at once: they
    // are called with the window's lock held.
    virtual void PostHideWindow() = 0;
    virtual void PostShowWindow() = 0;
    // The tick at which the install mode was chosen, 0 when it was not.
    virtual uint32_t InstallStartTick() const = 0;
};

// The game's parameters: the launcher's command line up to and including its
// first "PROCPARA=", or all of it followed by ",PROCPARA=", then the
// launcher's process id in decimal.
std::string GameParameters(const std::string& commandLine, pid_t launcherPid);

class Handover {
public:
    // What the hand-over does to the outside world; tests replace them.
    struct Seams {
        std::function<void()> terminateSelf;  // ends the process, exit code 0
        std::function<void()> openServicePage;
        std::function<void()> startTrackingEvents;  // starts their thread, not waited for
    };
    static Seams SystemSeams(std::function<void()> startTrackingEvents);

    Handover(IHandoverHost& host, Seams seams);
    // Waits for the installer watcher, if one was started.
    ~Handover();
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    // Returns only when it has started the install package (or when a test's
    // terminateSelf returns); otherwise the process ends inside it.
    void Finish(bool failed);

private:
    void LaunchGame();
    void WatchInstaller();
    // The end of every failure: run marker deleted, service page, process ends.
    void GiveUp();
    void DeleteRunMarker();

    IHandoverHost& m_host;  // the controller, which owns this object
    const Seams m_seams;    // set at construction, read-only afterwards

    // The running install package: written by Finish under the window's lock
    // before the watcher starts, then read by the watcher only.
    pid_t m_hPackProcess = -1;
    // The installer watcher: started by Finish, joined by the destructor.
    std::thread m_watcher;
};
