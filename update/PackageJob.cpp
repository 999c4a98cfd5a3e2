// DownLoadThread::RunPackageJob: fetch the game's install package and hand
// over to the controller, which runs it.
#include "platform/Files.h"
#include "update/DownLoadThread.h"

void DownLoadThread::RunPackageJob() {
    const DownloadOutcome outcome = DownLoadFile(m_szFileName);
    if (m_bHandedOver) return;
    if (outcome == DownloadOutcome::Failed) {
        m_host.ShowMessage("下载游戏安装包失败!请重新尝试");
        m_host.ShowMessage(m_szFileName);
        m_host.ShowMessage(std::to_string(OutcomeNumber(outcome)));
        HandOver(true);
        return;
    }
    // The game's version file belongs to the previous install.
    platform::RemoveFile(m_host.Config().m_szLocalVerFile);
    StatusChannel& status = m_host.Status();
    status.SetStatusText("正在安装游戏", "", false);
    status.SetSizeText("", true);
    HandOver(false);
}
