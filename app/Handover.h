// The controller's hand-over when a job is over or has failed for good: run
// the downloaded install package and wait for it, start the game with the
// host's parameters, or give up and point the player to the service page.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "platform/Services.h"
#include "support/vnMutex.h"
#include "update/LaunchConfig.h"
#include "update/UpdateHost.h"

// What the hand-over needs of the controller.
class IHandoverHost {
public:
    virtual ~IHandoverHost() = default;
    virtual LaunchConfig& Config() = 0;
    // The window's lock; the hand-over decides under it.
    virtual vnMutex& WindowLock() = 0;
    // Creates and starts a worker for the current mode.
    virtual void StartUpdate() = 0;
    // Ask the main thread to hide or show the window and return at once.
    virtual void PostHideWindow() = 0;
    virtual void PostShowWindow() = 0;
    // The tick at which the install mode was chosen, 0 when it was not.
    virtual uint32_t InstallStartTick() const = 0;
    // Starts the tracking events' thread, not waited for.
    virtual void StartTrackingEvents() = 0;
};

// The game's parameters: the launcher's command line up to and including its
// first "PROCPARA=", or all of it followed by ",PROCPARA=", then the
// launcher's process id in decimal.
std::string GameParameters(const std::string& commandLine, int64_t launcherPid);

class Handover {
public:
    // services (processes, the page opener) must outlive the hand-over.
    Handover(IHandoverHost& host, const platform::Services& services);
    // Waits for the installer watcher, if one was started.
    ~Handover();
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    // Returns only when it has started the install package (or when the
    // services' terminateSelf returns, in tests); otherwise the process ends
    // inside it. Decides under the window's lock and acts after releasing it,
    // so that starting processes and joining threads never happen under it.
    void Finish(bool failed);
    // The install package this run moved into place: the only one the
    // hand-over ever runs.
    void PackagePlaced(const PlacedPackage& package);
    // Deletes the run marker file when the configuration has named one.
    void DeleteRunMarker();
    // True from the start of the install package until the watcher has seen
    // it end and settled the next mode; any thread may ask.
    bool InstallerRunning() const { return m_bInstallerRunning.load(); }

private:
    enum class Action { GiveUp, LaunchGame, RunPackage, Nothing };

    Action Decide(bool failed) REQUIRES(m_host.WindowLock());
    void LaunchGame();
    void RunPackage(const std::optional<PlacedPackage>& package);
    void WatchInstaller();
    // The end of every failure: run marker deleted, service page, process ends.
    void GiveUp();

    IHandoverHost& m_host;                 // the controller, which owns this object
    const platform::Services& m_services;  // read-only

    // Set by the first decision that ends the run; later callers then leave
    // the ending to it. Guarded by the window's lock.
    bool m_bEnding GUARDED_BY(m_host.WindowLock()) = false;
    // The package the worker moved into place; set by the worker before it
    // hands over. Guarded by the window's lock.
    std::optional<PlacedPackage> m_placedPackage GUARDED_BY(m_host.WindowLock());
    // The running install package: written before the watcher starts, then
    // read by the watcher only.
    platform::Process m_hPackProcess;
    // Set when the package is decided on, before it is started, so that a
    // start of the work in between is refused; cleared when it could not be
    // started, or by the watcher when it has ended.
    std::atomic<bool> m_bInstallerRunning{false};
    // The installer watcher: started and replaced by the thread that runs the
    // package (one at a time: the mode leaves install mode when it ends),
    // joined by the destructor.
    std::thread m_watcher;
};
