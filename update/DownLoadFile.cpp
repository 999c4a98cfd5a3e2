// DownLoadThread::DownLoadFile: one file from the servers into the install
// directory, through the temporary file 0.bak.
#include <cstdio>
#include <string>

#include "net/HttpSocket.h"
#include "platform/Files.h"
#include "support/Log.h"
#include "update/AttemptUrl.h"
#include "update/DownLoadThread.h"
#include "update/HashingSink.h"
#include "update/PackageCheck.h"
#include "update/TempFile.h"
#include "update/TempFileSink.h"

namespace {

constexpr const char* kModule = "DownLoadThread";
constexpr int kAttempts = 4;
constexpr int kRenames = 3;
constexpr unsigned kRenamePauseMs = 1000;

std::string TempFilePath(const std::string& installDir) {
    char name[32];
    snprintf(name, sizeof name, "/%d%s", 0, ".bak");
    return installDir + name;
}

// The temporary file opened for appending, created with its folders when missing.
std::unique_ptr<TempFileSink> OpenTempFile(const std::string& path) {
    auto file = std::make_unique<TempFileSink>(path);
    if (file->Opened()) return file;
    EnsureDirectories(path);
    file = std::make_unique<TempFileSink>(path);
    return file->Opened() ? std::move(file) : nullptr;
}

bool IsRefusal(HttpResult result) {
    return result == HttpResult::Refused || result == HttpResult::Redirect;
}

}  // namespace

DownloadOutcome DownLoadThread::DownLoadFile(const std::string& name) {
    if (m_vecServers.empty()) return DownloadOutcome::Failed;
    const std::string& installDir = m_host.Config().m_szInstallDir;
    const std::string targetPath = installDir + "/" + name;
    const std::string tempPath = TempFilePath(installDir);
    DiscardStaleTemp(tempPath, static_cast<time_t>(m_services.clock->WallSeconds()));
    const bool disguise = m_host.DebugLaunch() == 0;

    for (int attempt = kAttempts; attempt > 0; --attempt) {
        const DownServer& server = m_vecServers[m_nServerIndex];
        std::unique_ptr<TempFileSink> file = OpenTempFile(tempPath);
        if (!file) {
            m_host.ShowMessage("创建文件失败,请以管理员身份启动游戏");
            return DownloadOutcome::Failed;
        }
        // What the temporary file holds is resumed.
        const int64_t offset = file->Size();
        // With a key the bytes are hashed on their way to the file.
        HashingSink hashing(*file, tempPath);
        IBodySink* body = m_bSignatureRequired ? static_cast<IBodySink*>(&hashing) : file.get();

        std::string url = AttemptUrl(server.szUrl, name, attempt, disguise);
        std::string address = server.szAddress;
        m_pTempFile = file.get();
        const HttpResult result = RequestFollowingOneRedirect(url, address, offset, *body);
        m_pTempFile = nullptr;
        file.reset();

        if (m_bHandedOver) return DownloadOutcome::Failed;
        if (result == HttpResult::Ok) {
            if (!m_bSignatureRequired || PackageTrusted(url, address, hashing.Digest())) {
                return MoveIntoPlace(tempPath, targetPath);
            }
            // Bytes nobody vouches for are never resumed, nor run.
            platform::RemoveFile(tempPath);
            AdvanceServer();
            continue;
        }
        if (result == HttpResult::Redirect) return DownloadOutcome::RedirectedTwice;
        // A refused answer may have come from a server that holds another
        // file; the next attempt starts from nothing.
        if (result == HttpResult::Refused) platform::RemoveFile(tempPath);
        AdvanceServer();
    }
    return DownloadOutcome::Failed;
}

HttpResult DownLoadThread::RequestFollowingOneRedirect(std::string& url, std::string& address,
                                                       int64_t offset, IBodySink& body) {
    HttpResult result = m_pHttp->RequestFile(url, address, offset, &body);
    if (IsRefusal(result)) m_errorHeads.Write(m_pHttp->RequestTarget(), m_pHttp->LastHead());
    if (result != HttpResult::Redirect || m_bHandedOver) return result;
    // The redirect's host is looked up by name.
    url = m_pHttp->Location();
    address.clear();
    result = m_pHttp->RequestFile(url, address, offset, &body);
    if (IsRefusal(result)) m_errorHeads.Write(m_pHttp->RequestTarget(), m_pHttp->LastHead());
    return result;
}

bool DownLoadThread::PackageTrusted(const std::string& url, const std::string& address,
                                    const PackageHash& packageHash) {
    if (!m_packageKey) {
        log_write(LOG_ERROR, kModule,
                  "DownLoadFile:signature %s.minisig: the built-in key cannot be read",
                  url.c_str());
        return false;
    }
    m_bFetchingSignature = true;
    const SignatureVerdict verdict =
        FetchAndCheckSignature(*m_pHttp, url, address, *m_packageKey, packageHash);
    m_bFetchingSignature = false;
    const bool trusted = verdict.outcome == SignatureOutcome::Verified;
    log_write(trusted ? LOG_NOTE : LOG_ERROR, kModule, "DownLoadFile:signature %s.minisig: %s",
              url.c_str(), SignatureVerdictText(verdict).c_str());
    return trusted;
}

void DownLoadThread::AdvanceServer() {
    m_nServerIndex = (m_nServerIndex + 1) % static_cast<int32_t>(m_vecServers.size());
}

DownloadOutcome DownLoadThread::MoveIntoPlace(const std::string& tempPath,
                                              const std::string& targetPath) {
    const std::string target = SlashForDoubleBackslash(targetPath);
    platform::RemoveFile(target);
    platform::CreateDirectories(target.substr(0, target.rfind('/')));

    // A target that is busy for a moment gets two more chances.
    int error = 0;
    for (int renameAttempt = 0; renameAttempt < kRenames; ++renameAttempt) {
        if (renameAttempt > 0) m_services.clock->SleepMs(kRenamePauseMs);
        error = platform::RenameFile(tempPath, target);
        if (error == 0) return DownloadOutcome::Done;
    }
    m_host.ShowMessage(std::to_string(error));
    log_write(LOG_ERROR, kModule, "DownLoadFile:rename %d,%s,%s", -1, tempPath.c_str(),
              target.c_str());
    m_host.ShowMessage(platform::SystemErrorText(error), platform::MessageIcon::Information);
    m_host.ShowMessage(m_vecServers[m_nServerIndex].szUrl);
    return DownloadOutcome::Failed;
}
