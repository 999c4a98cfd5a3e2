#include "app/UpdateDlg.h"

#include <cstdio>
#include <thread>
#include <variant>

#include "app/LauncherConfiguration.h"
#include "platform/MessageBox.h"
#include "skin/RenderSkin.h"
#include "skin/SkinBundle.h"
#include "skin/SkinImages.h"
#include "telemetry/LaunchRecord.h"
#include "telemetry/TrackingEvents.h"
#include "update/DownLoadThread.h"

uint32_t g_dwInstallStartTick = 0;

namespace {

constexpr int kDefaultWidth = 764;
constexpr int kDefaultHeight = 915;
constexpr guint kWatchdogMs = 15000;

bool NamesDebugSetting(const std::string& commandLine) {
    return commandLine.find("DEBUG=TRUE") != std::string::npos ||
           commandLine.find("DEBUG=FALSE") != std::string::npos;
}

// The main loop when there is no display: timers and posted work still run.
GMainLoop* HeadlessLoop() {
    static GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    return loop;
}

}  // namespace

CUpdateDlg::CUpdateDlg(const std::string& commandLine, bool hasDisplay,
                       const platform::Services& services)
    : m_services(services),
      m_hasDisplay(hasDisplay),
      m_handover(*this, services),
      m_hostLink(*this, services) {
    m_status.SetRedraw([this](const StatusSnapshot& state) { Redraw(state); });

    ConfigOutcome outcome = SettleLaunchConfig(commandLine, services, [&services](int osClass) {
        telemetry::SendLaunchRecord(osClass, services);
    });
    if (const EarlyEnd* end = std::get_if<EarlyEnd>(&outcome)) {
        EndEarly(end->message, end->failed);
        return;
    }
    SettledLaunch& settled = std::get<SettledLaunch>(outcome);
    m_config = std::move(settled.config);
    m_launchLock = std::move(settled.launchLock);
    g_dwInstallStartTick = settled.installStartTick;
}

CUpdateDlg::~CUpdateDlg() = default;

void CUpdateDlg::EndEarly(const std::string& message, bool failed) {
    if (!message.empty()) ShowMessage(message, platform::MessageIcon::None);
    if (failed) {
        Finish(true);
    } else {
        m_services.terminateSelf();
    }
}

// Reports never delay the launcher: the thread is not waited for.
void CUpdateDlg::StartTrackingEvents() {
    const uint32_t installStartTick = g_dwInstallStartTick;
    const platform::Services& services = m_services;
    std::thread([installStartTick, &services] {
        telemetry::SendTrackingEvents(installStartTick, services);
    }).detach();
}

void CUpdateDlg::DoModal() {
    OnInitDialog();
    if (m_hasDisplay) {
        gtk_main();
    } else {
        g_main_loop_run(HeadlessLoop());
    }
}

void CUpdateDlg::OnInitDialog() {
    if (m_hasDisplay) {
        std::string icon;
        if (ReadSkinResource(kWindowIconResource, icon)) SkinWindow::UseIconForAllWindows(icon);
        m_font = SelectSkinFont(m_config.m_nOsClass);
        InstallSkinFontAliases();
        LoadSkinImages(this);
        const SkinPicture* globe = SkinImagesTable().slots[kGlobeSlot].get();
        const int width = globe ? globe->Width() : kDefaultWidth;
        const int height = globe ? globe->Height() : kDefaultHeight;
        m_window.Create(width, height, globe);
        Redraw(m_status.Snapshot());
    } else {
        fprintf(stderr, "vorn-launcher: no display; running without a window\n");
    }

    if (NamesDebugSetting(m_config.m_strCmdLine)) {
        m_bDebugLaunch = 1;
        StartUpdate();
    } else {
        m_bDebugLaunch = 0;
        m_hostLink.ConnectHostPlatform();
    }
}

void CUpdateDlg::Redraw(const StatusSnapshot& state) {
    if (!m_hasDisplay) return;
    const FrameState shown{state.percent, state.status, state.detail, state.size};
    if (std::unique_ptr<FramePatches> frame = RenderSkinPatches(SkinImagesTable(), m_font, shown)) {
        m_window.Publish(std::move(frame));
    }
}

void CUpdateDlg::StartUpdate() {
    MutexLock starting(m_startLock);
    // Only holders of m_startLock change m_pWorker, so the pointer read here
    // stays valid until this call replaces it.
    DownLoadThread* previous = nullptr;
    {
        MutexLock guard(m_workerLock);
        previous = m_pWorker.get();
    }
    // A worker must never be destroyed while its thread runs; a start while
    // one still works (a host that says "ready" twice) is refused, and so is
    // one while the installer runs, which would fetch the package again.
    if ((previous && previous->Running() && !previous->HandedOver()) ||
        m_handover.InstallerRunning()) {
        fprintf(stderr, "vorn-launcher: the update is already running\n");
        return;
    }
    // A worker that has handed over only has to return from Finish: wait for
    // it (the installer watcher comes here when a quick installer has ended).
    if (previous) previous->Join();
    // Prepared outside m_workerLock: preparing may show a message box, which
    // waits for the main thread, and the main thread's watchdog takes that lock.
    auto worker = std::make_unique<DownLoadThread>(*this, m_services);
    worker->PrepareJob();
    worker->Start();
    {
        MutexLock guard(m_workerLock);
        m_pWorker = std::move(worker);
    }
    // The watchdog lives on the main thread whichever thread starts the work.
    g_main_context_invoke(nullptr, ArmWatchdogOnMainThread, this);
}

gboolean CUpdateDlg::ArmWatchdogOnMainThread(gpointer self) {
    static_cast<CUpdateDlg*>(self)->ArmWatchdog();
    return G_SOURCE_REMOVE;
}

void CUpdateDlg::ArmWatchdog() {
    if (m_nTimerId >= 0) g_source_remove(static_cast<guint>(m_nTimerId));
    m_nTimerId = static_cast<int>(g_timeout_add(kWatchdogMs, OnTimer, this));
}

int64_t CUpdateDlg::WorkerBytesReceived() {
    MutexLock guard(m_workerLock);
    return m_pWorker ? m_pWorker->TotalRecv() : 0;
}

gboolean CUpdateDlg::OnTimer(gpointer self) {
    auto* dialog = static_cast<CUpdateDlg*>(self);
    dialog->m_nTimerId = -1;  // one shot per start of the work
    if (dialog->WorkerBytesReceived() == 0) {
        dialog->ShowMessage("您的网络异常,连接更新服务器失败,请检查您的网络稍后再试!",
                            platform::MessageIcon::None);
        dialog->Finish(true);
    }
    return G_SOURCE_REMOVE;
}

void CUpdateDlg::Finish(bool failed) {
    m_handover.Finish(failed);
}

void CUpdateDlg::EndProcess() {
    m_services.terminateSelf();
}

void CUpdateDlg::ShowMessage(const std::string& text, platform::MessageIcon icon) {
    platform::ShowMessageBox(text, icon);
}

void CUpdateDlg::ReleaseLaunchLock() {
    m_launchLock.Release();
}

void CUpdateDlg::QuitMainLoop() {
    g_idle_add(
        [](gpointer hasDisplay) -> gboolean {
            if (hasDisplay) {
                gtk_main_quit();
            } else {
                g_main_loop_quit(HeadlessLoop());
            }
            return G_SOURCE_REMOVE;
        },
        m_hasDisplay ? this : nullptr);
}
