#include "update/DownLoadThread.h"

#include "net/HttpSocket.h"
#include "platform/Files.h"
#include "update/ProgressText.h"
#include "update/SpaceCheck.h"

namespace {
// Progress reports closer together than this are dropped, except the last.
constexpr uint32_t kProgressIntervalMs = 50;
}  // namespace

int OutcomeNumber(DownloadOutcome outcome) {
    switch (outcome) {
        case DownloadOutcome::Done:
            return 0;
        case DownloadOutcome::Failed:
            break;
    }
    return -1;
}

DownLoadThread::DownLoadThread(IUpdateHost& host, const platform::Services& services)
    : m_host(host),
      m_services(services),
      m_pHttp(std::make_unique<CHttpSocket>(this, services)),
      m_bSignatureRequired(!services.packagePublicKey.empty()),
      m_packageKey(ParsePackageKey(services.packagePublicKey)) {}

DownLoadThread::~DownLoadThread() = default;

int64_t DownLoadThread::TotalRecv() const {
    return m_pHttp->TotalRecv();
}

void DownLoadThread::PrepareJob() {
    const LaunchConfig& config = m_host.Config();
    m_nMode = config.m_nMode;
    if (m_nMode == MODE_INSTALL) {
        m_vecServers.push_back(DownServer{config.m_szGamePackUrl, config.m_szGamePackAddr});
        m_vecServers.push_back(DownServer{config.m_szGamePackUrlBak, config.m_szGamePackAddrBak});
        m_nServerIndex = 0;
        m_szFileName = config.m_szPackName;
        m_bReady = true;
        return;
    }
    // The game is started from its own folder.
    const std::string gameDir = config.m_szInstallDir + "/" + config.m_szGameDir + "/";
    platform::CreateDirectories(gameDir);
    if (const int error = platform::ChangeDirectory(gameDir); error != 0) {
        m_host.ShowMessage(platform::SystemErrorText(error), platform::MessageIcon::Information);
        m_host.ShowMessage("设置路径错误.");
        return;
    }
    m_bReady = m_nMode == MODE_LAUNCH || m_nMode == MODE_INSTALLED;
}

void DownLoadThread::Run() {
    // Readiness is settled before the thread starts; a job that was not
    // prepared never becomes ready, and the controller's watchdog ends the run.
    if (!m_bReady) return;
    switch (m_nMode) {
        case MODE_LAUNCH:
            HandOver(false);
            break;
        case MODE_INSTALL:
            RunPackageJob();
            break;
        case MODE_INSTALLED:
            FinishWithoutTransfer();
            break;
        default:
            break;
    }
}

void DownLoadThread::FinishWithoutTransfer() {
    StatusChannel& status = m_host.Status();
    status.SetStatusText("版本更新检查完成", "", false);
    status.SetSizeText("", true);
    HandOver(false);
}

void DownLoadThread::HandOver(bool failed) {
    m_bHandedOver = true;
    m_host.Finish(failed);
}

void DownLoadThread::OnRecvData(const void* /*data*/, int32_t /*length*/, int64_t received,
                                int64_t contentLength) {
    vnAutoLock lock(&m_mutex);
    if (m_bHandedOver || m_bFetchingSignature) return;
    const uint32_t tick = m_services.clock->TickMs();
    const bool lastBlock = contentLength > 0 && received >= contentLength;
    if (static_cast<uint32_t>(tick - m_dwLastProgressTick) <= kProgressIntervalMs && !lastBlock) {
        return;
    }
    m_rate.AddSample(tick, received);

    StatusChannel& status = m_host.Status();
    const StatusSnapshot shown = status.Snapshot();
    const int percent = ProgressPercent(received, contentLength);
    // Without a Content-Length the size shows what has arrived so far.
    status.SetSizeText(SizeText(contentLength >= 0 ? contentLength : received), false);
    const std::string speed = DownloadSpeedText(m_rate.BytesPerSecond(),
                                                contentLength >= 0 ? contentLength - received : -1);
    // SetProgress redraws only when the percentage moves; a new speed text
    // alone asks for the redraw itself.
    if (speed != shown.status) status.SetStatusText(speed, shown.detail, percent == shown.percent);
    status.SetProgress(percent);
    m_dwLastProgressTick = tick;
}

void DownLoadThread::OnFileSize(int64_t contentLength) {
    if (m_bFetchingSignature) return;
    {
        vnAutoLock lock(&m_mutex);
        m_rate.Reset();
    }
    const std::optional<std::string> shortage =
        SpaceShortageMessage(*m_services.volumes, m_host.Config().m_szInstallDir, contentLength);
    if (!shortage) return;
    m_host.ShowMessage(*shortage);
    // The body is left unread: a package that cannot be installed is not
    // worth the player's bandwidth or the disk it would fill.
    if (m_pRoomGuard) m_pRoomGuard->KeepNoMore();
    HandOver(true);
}
