// DownLoadThread::DownLoadFile: one file from the servers into the install
// directory, through the temporary file 0.bak.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "net/HttpSocket.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "support/Log.h"
#include "update/AttemptUrl.h"
#include "update/DownLoadThread.h"
#include "update/SystemErrorText.h"
#include "update/TempFile.h"

namespace {

constexpr int kAttempts = 4;
constexpr int kRenames = 3;
constexpr unsigned kRenamePauseMs = 1000;

std::string TempFilePath(const std::string& installDir) {
    char name[32];
    snprintf(name, sizeof name, "/%d%s", 0, ".bak");
    return installDir + name;
}

// File lists are fetched whole every time, never resumed.
bool AlwaysFetchedWhole(const std::string& name) {
    return name.find("files") != std::string::npos;
}

// The temporary file opened for appending, created when missing.
FILE* OpenTempFile(const std::string& path) {
    FILE* file = fopen(path.c_str(), "ab+");
    if (file) return file;
    EnsureDirectories(path);
    return fopen(path.c_str(), "ab+");
}

}  // namespace

int DownLoadThread::DownLoadFile(const std::string& name) {
    if (m_vecServers.empty()) return kDownloadFailed;
    const std::string& installDir = m_host.Config().m_szInstallDir;
    const std::string targetPath = installDir + "/" + name;
    const std::string tempPath = TempFilePath(installDir);
    DiscardStaleTemp(tempPath, m_seams.now());
    const bool disguise = m_host.DebugLaunch() == 0;

    for (int attempt = kAttempts; attempt > 0; --attempt) {
        const DownServer& server = m_vecServers[m_nServerIndex];
        if (AlwaysFetchedWhole(name)) unlink(tempPath.c_str());
        FILE* file = OpenTempFile(tempPath);
        if (!file) {
            m_host.ShowMessage("创建文件失败,请以管理员身份启动游戏");
            return kDownloadFailed;
        }
        // What the temporary file holds is resumed.
        fseeko(file, 0, SEEK_END);
        const int64_t offset = ftello(file);

        const std::string url = AttemptUrl(server.szUrl, name, attempt, disguise);
        int result = m_pHttp->RequestFile(url, server.szAddress, offset, file);
        if (result == HTTP_REDIRECT && !m_bHandedOver) {
            // The redirect's host is looked up by name.
            const std::string location = m_pHttp->Location();
            result = m_pHttp->RequestFile(location, "", offset, file);
        }
        fclose(file);

        if (m_bHandedOver) return kDownloadFailed;
        if (result == HTTP_OK) return MoveIntoPlace(tempPath, targetPath);
        if (result == HTTP_REDIRECT) return kDownloadRedirectedTwice;
        // A refused answer may have come from a server that holds another
        // file; the next attempt starts from nothing.
        if (result == HTTP_ERR_REFUSED) unlink(tempPath.c_str());
        AdvanceServer();
    }
    return kDownloadFailed;
}

void DownLoadThread::AdvanceServer() {
    m_nServerIndex = (m_nServerIndex + 1) % static_cast<int32_t>(m_vecServers.size());
}

int DownLoadThread::MoveIntoPlace(const std::string& tempPath, const std::string& targetPath) {
    const std::string target = SlashForDoubleBackslash(targetPath);
    unlink(target.c_str());
    platform::CreateDirectories(target.substr(0, target.rfind('/')));

    // A target that is busy for a moment gets two more chances.
    int error = 0;
    for (int renameAttempt = 0; renameAttempt < kRenames; ++renameAttempt) {
        if (renameAttempt > 0) platform::SleepMs(kRenamePauseMs);
        if (rename(tempPath.c_str(), target.c_str()) == 0) return kDownloadDone;
        error = errno;
    }
    m_host.ShowMessage(std::to_string(error));
    log_write(LOG_ERROR, "DownLoadThread", "DownLoadFile:rename %d,%s,%s", -1, tempPath.c_str(),
              target.c_str());
    m_host.ShowMessage(SystemErrorText(error), platform::MessageIcon::Information);
    m_host.ShowMessage(m_vecServers[m_nServerIndex].szUrl);
    return kDownloadFailed;
}
