// The launcher's only window and its controller: it owns the configuration,
// the status channel, the update worker, the watchdog, the host link and the
// hand-over.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/Handover.h"
#include "app/SkinWindow.h"
#include "hostlink/HostLink.h"
#include "hostlink/HostLinkOwner.h"
#include "platform/NamedLock.h"
#include "platform/Services.h"
#include "skin/SkinFont.h"
#include "support/Mutex.h"
#include "update/UpdateHost.h"

class DownLoadThread;

// The tick at which the install mode was chosen, 0 otherwise; written by the
// constructor before any other thread exists.
extern uint32_t g_dwInstallStartTick;

// One object plays every role the parts of the launcher ask of the controller:
// the worker's host, the hand-over's host and the host link's owner.
class CUpdateDlg : public IUpdateHost, public IHandoverHost, public hostlink::IHostLinkOwner {
public:
    // Settles the configuration; may end the process (second launcher,
    // "/regserver", failed host lookup). services must outlive the controller.
    CUpdateDlg(const std::string& commandLine, bool hasDisplay, const platform::Services& services);
    ~CUpdateDlg() override;

    // Opens the window and runs the main loop until it is quit.
    void DoModal();
    // Creates a fresh worker for the current mode, starts it and arms the
    // watchdog. Any thread.
    void StartUpdate() override;

    // The worker's and the hand-over's view.
    LaunchConfig& Config() override { return m_config; }
    int32_t DebugLaunch() const override { return m_bDebugLaunch; }
    StatusChannel& Status() override { return m_status; }
    void PackagePlaced(const PlacedPackage& package) override { m_handover.PackagePlaced(package); }
    void Finish(bool failed) override;
    void ShowMessage(const std::string& text, platform::MessageIcon icon) override;
    vnMutex& WindowLock() override { return m_status.Lock(); }
    void PostHideWindow() override { m_window.PostShow(false); }
    void PostShowWindow() override { m_window.PostShow(true); }
    uint32_t InstallStartTick() const override { return g_dwInstallStartTick; }
    void StartTrackingEvents() override;

    // The host link's view.
    const std::string& CommandLine() const override { return m_config.m_strCmdLine; }
    void DeleteRunMarker() override { m_handover.DeleteRunMarker(); }
    void ShowWindowAsync(bool show) override { m_window.PostShow(show); }
    void ReleaseLaunchLock() override;
    void QuitMainLoop() override;
    void EndProcess() override;

private:
    void OnInitDialog();
    // Ends a run that the configuration refused.
    void EndEarly(const std::string& message, bool failed);
    void Redraw(const StatusSnapshot& state);
    void ArmWatchdog();  // main thread
    static gboolean OnTimer(gpointer self);
    static gboolean ArmWatchdogOnMainThread(gpointer self);
    int64_t WorkerBytesReceived();

    const platform::Services& m_services;  // read-only
    LaunchConfig m_config;                 // written by the constructor; later only m_nMode changes
    // The single-launcher lock, when taken: held until the process ends, or
    // released by the host link's thread for a successor.
    platform::NamedLock m_launchLock;
    StatusChannel m_status;  // owns m_lock and the status texts
    // 1 when the command line names a DEBUG setting; written once by the main
    // thread before any worker exists.
    std::atomic<int32_t> m_bDebugLaunch{0};
    const bool m_hasDisplay;

    // Serialises StartUpdate callers (window, watcher and host threads); only
    // they write m_pWorker.
    Mutex m_startLock ACQUIRED_BEFORE(m_workerLock);
    // Guards m_pWorker against the watchdog's read on the main thread; held
    // only for the swap and the read, never while waiting for the main thread.
    Mutex m_workerLock;
    std::unique_ptr<DownLoadThread> m_pWorker GUARDED_BY(m_workerLock);

    int m_nTimerId = -1;  // main thread only: the watchdog's source id, -1 when none
    SkinWindow m_window;  // GTK side on the main thread; Publish from any thread
    SkinFont m_font;      // chosen on the main thread before the first worker starts

    Handover m_handover;             // serialised by the window's lock
    hostlink::CHostLink m_hostLink;  // connected once, on the main thread
};
