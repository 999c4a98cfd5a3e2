// DownLoadThread::DownLoadFile: one file from the servers into the install
// directory, through the temporary file 0.bak.
#include <cstdio>
#include <string>

#include "net/HttpSocket.h"
#include "platform/Files.h"
#include "support/Log.h"
#include "support/LogText.h"
#include "update/AttemptUrl.h"
#include "update/DownLoadThread.h"
#include "update/HashingSink.h"
#include "update/PackageCheck.h"
#include "update/RoomGuardSink.h"
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

// The temporary file, held: created with its folders when missing.
std::unique_ptr<TempFileSink> OpenTempFile(const std::string& path, const IClock& clock) {
    auto file = std::make_unique<TempFileSink>(path, kTempFileWaitMs, clock);
    if (file->GetState() != TempFileSink::State::Failed) return file;
    EnsureDirectories(path);
    return std::make_unique<TempFileSink>(path, kTempFileWaitMs, clock);
}

bool IsRefusal(HttpResult result) {
    return result == HttpResult::Refused || result == HttpResult::Redirect;
}

// True while the held file is still the one at path and holds the bytes that
// were checked (when a check counted them).
bool StillTheCheckedFile(const TempFileSink& file, const std::string& path,
                         std::optional<int64_t> checkedBytes) {
    const std::optional<platform::FileIdentity> held = file.File().Identity();
    return held && platform::IdentityAt(path) == held &&
           (!checkedBytes || file.File().Size() == *checkedBytes);
}

}  // namespace

DownloadOutcome DownLoadThread::DownLoadFile(const std::string& name) {
    if (m_vecServers.empty()) return DownloadOutcome::Failed;
    const std::string& installDir = m_host.Config().m_szInstallDir;
    const std::string targetPath = installDir + "/" + name;
    const std::string tempPath = TempFilePath(installDir);
    DiscardStaleTemp(tempPath, m_services.clock->WallSeconds());
    const bool disguise = m_host.DebugLaunch() == 0;

    for (int attempt = kAttempts; attempt > 0; --attempt) {
        const DownServer& server = m_vecServers[m_nServerIndex];
        // Held from the first byte through the check and the move into place,
        // so that no other launcher writes it meanwhile.
        const std::unique_ptr<TempFileSink> file = OpenTempFile(tempPath, *m_services.clock);
        if (file->GetState() == TempFileSink::State::Failed) {
            m_host.ShowMessage("创建文件失败,请以管理员身份启动游戏");
            return DownloadOutcome::Failed;
        }
        if (file->GetState() == TempFileSink::State::Busy) {
            log_write(LOG_ERROR, kModule, "DownLoadFile:busy %s: another launcher holds it",
                      tempPath.c_str());
            AdvanceServer();
            continue;
        }
        // What the temporary file holds is resumed.
        const int64_t offset = file->Size();
        RoomGuardSink room(*file, offset, m_services.maxPackageBytes, *m_services.volumes,
                           installDir);
        // With a key the bytes are hashed on their way to the file.
        HashingSink hashing(room, file->File());
        IBodySink& body = m_bSignatureRequired ? static_cast<IBodySink&>(hashing) : room;

        std::string url = AttemptUrl(server.szUrl, name, attempt, disguise);
        std::string address = server.szAddress;
        m_pRoomGuard = &room;
        const HttpResult result = RequestFollowingOneRedirect(url, address, offset, body);
        m_pRoomGuard = nullptr;

        if (m_bHandedOver) return DownloadOutcome::Failed;
        if (result == HttpResult::Ok) {
            std::optional<int64_t> checkedBytes;
            if (m_bSignatureRequired) checkedBytes = hashing.HashedBytes();
            if (m_bSignatureRequired && !PackageTrusted(url, address, hashing.Digest())) {
                // Bytes nobody vouches for are never resumed, nor run.
                platform::RemoveFile(tempPath);
                AdvanceServer();
                continue;
            }
            if (!StillTheCheckedFile(*file, tempPath, checkedBytes)) {
                log_write(LOG_ERROR, kModule,
                          "DownLoadFile:check %s: not the file that was checked", tempPath.c_str());
                AdvanceServer();
                continue;
            }
            return MoveIntoPlace(*file, tempPath, targetPath);
        }
        // A refused answer may have come from a server that holds another
        // file, and a file that ran out of room is not worth resuming: the
        // next attempt starts from nothing. A second redirect leaves the file.
        if (result == HttpResult::Refused || room.RanOutOfRoom()) platform::RemoveFile(tempPath);
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
    const std::string shownUrl = EscapeControlBytes(url);
    if (!m_packageKey) {
        log_write(LOG_ERROR, kModule,
                  "DownLoadFile:signature %s.minisig: the built-in key cannot be read",
                  shownUrl.c_str());
        return false;
    }
    m_bFetchingSignature = true;
    const SignatureVerdict verdict =
        FetchAndCheckSignature(*m_pHttp, url, address, *m_packageKey, packageHash);
    m_bFetchingSignature = false;
    const bool trusted = verdict.outcome == SignatureOutcome::Verified;
    log_write(trusted ? LOG_NOTE : LOG_ERROR, kModule, "DownLoadFile:signature %s.minisig: %s",
              shownUrl.c_str(), EscapeControlBytes(SignatureVerdictText(verdict)).c_str());
    return trusted;
}

void DownLoadThread::AdvanceServer() {
    m_nServerIndex = (m_nServerIndex + 1) % static_cast<int32_t>(m_vecServers.size());
}

DownloadOutcome DownLoadThread::MoveIntoPlace(const TempFileSink& file, const std::string& tempPath,
                                              const std::string& targetPath) {
    const std::string target = SlashForDoubleBackslash(targetPath);
    platform::RemoveFile(target);
    platform::CreateDirectories(target.substr(0, target.rfind('/')));

    // A target that is busy for a moment gets two more chances.
    int error = 0;
    for (int renameAttempt = 0; renameAttempt < kRenames; ++renameAttempt) {
        if (renameAttempt > 0) m_services.clock->SleepMs(kRenamePauseMs);
        error = platform::RenameFile(tempPath, target);
        if (error == 0) break;
    }
    if (error != 0) {
        m_host.ShowMessage(std::to_string(error));
        log_write(LOG_ERROR, kModule, "DownLoadFile:rename %d,%s,%s", -1, tempPath.c_str(),
                  target.c_str());
        m_host.ShowMessage(platform::SystemErrorText(error), platform::MessageIcon::Information);
        m_host.ShowMessage(m_vecServers[m_nServerIndex].szUrl);
        return DownloadOutcome::Failed;
    }
    // The file still held is what now lies at the target: the hand-over runs
    // the package only while its path names this file.
    const std::optional<platform::FileIdentity> identity = file.File().Identity();
    const std::optional<int64_t> size = file.File().Size();
    if (!identity || !size || platform::IdentityAt(target) != identity) {
        log_write(LOG_ERROR, kModule, "DownLoadFile:check %s: not the file that was checked",
                  target.c_str());
        return DownloadOutcome::Failed;
    }
    m_host.PackagePlaced(PlacedPackage{target, *identity, *size});
    return DownloadOutcome::Done;
}
