// The update worker: one job per object, run on a thread of its own. It
// fetches what its job needs from the download servers, reports progress
// through the controller's status channel and hands over to the controller's
// Finish as the last thing it does.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/IDownLoadThread.h"
#include "platform/Services.h"
#include "support/Thread.h"
#include "support/vnMutex.h"
#include "update/ErrorHeadDump.h"
#include "update/PackageHasher.h"
#include "update/PackageKey.h"
#include "update/RoomGuardSink.h"
#include "update/TempFileSink.h"
#include "update/TransferRate.h"
#include "update/UpdateHost.h"

class CHttpSocket;
class IBodySink;
enum class HttpResult : int;

// A file server, tried in the order of the worker's list.
struct DownServer {
    std::string szUrl;      // base URL without a trailing "/"
    std::string szAddress;  // address resolved at start-up; empty when none
};

// Outcomes of DownLoadFile.
enum class DownloadOutcome {
    Done,  // received whole, checked and moved into place
    Failed,
};

// The number the player is shown for an outcome: 0 or -1.
int OutcomeNumber(DownloadOutcome outcome);

class DownLoadThread : public Thread, public IDownLoadThread {
public:
    // services (clocks, volumes, resolver) must outlive the worker.
    DownLoadThread(IUpdateHost& host, const platform::Services& services);
    ~DownLoadThread() override;

    // Prepares the job from the controller's configuration, on the thread that
    // will call Start.
    void PrepareJob();
    // Body bytes the worker's HTTP client has received over its life; any
    // thread may read it.
    int64_t TotalRecv() const;
    // True once the worker has called the controller's Finish: its thread
    // only returns from there on. Any thread may ask.
    bool HandedOver() const { return m_bHandedOver.load(); }

    void OnRecvData(const void* data, int32_t length, int64_t received,
                    int64_t contentLength) override;
    void OnFileSize(int64_t contentLength) override;

protected:
    void Run() override;

private:
    void RunPackageJob();
    void FinishWithoutTransfer();
    // The worker's last act: the controller's Finish.
    void HandOver(bool failed);
    DownloadOutcome DownLoadFile(const std::string& name);
    // One request, and one more to where a redirect points; url and address
    // become those of the last request. Refused heads go to the error dump.
    HttpResult RequestFollowingOneRedirect(std::string& url, std::string& address, int64_t offset,
                                           IBodySink& body);
    // True when the package that url delivered (through address) carries a
    // good signature, or when no signature is asked for; logs what it found.
    bool PackageTrusted(const std::string& url, const std::string& address,
                        const PackageHash& packageHash);
    // Moves the held, checked temporary file to the target and tells the
    // controller which file lies there now.
    DownloadOutcome MoveIntoPlace(const TempFileSink& file, const std::string& tempPath,
                                  const std::string& targetPath);
    void AdvanceServer();

    // Reached from the worker thread and from the thread that prepares the job;
    // the controller outlives every worker.
    IUpdateHost& m_host;
    const platform::Services& m_services;  // read-only

    // Serialises OnRecvData and guards the throttle and rate below. Always
    // taken before the window's m_lock, never after it.
    vnMutex m_mutex;
    // Tick of the last accepted progress report. Kept per worker: workers run
    // one at a time and each reports its own transfers, so a new worker's
    // first report is never held back by an old worker's last one.
    uint32_t m_dwLastProgressTick GUARDED_BY(m_mutex) = 0;
    TransferRate m_rate GUARDED_BY(m_mutex);

    // The job, written by PrepareJob before the thread starts and only read by
    // the worker thread afterwards.
    bool m_bReady = false;
    int32_t m_nMode = 0;
    std::string m_szFileName;
    std::vector<DownServer> m_vecServers;
    // Server of the next attempt; worker thread only once the thread runs.
    int32_t m_nServerIndex = 0;

    // The worker's one HTTP client; created at construction, used by the
    // worker thread, its byte counter read by any thread.
    std::unique_ptr<CHttpSocket> m_pHttp;
    ErrorHeadDump m_errorHeads;  // worker thread only

    // Set at construction from the build's key: whether packages must carry a
    // signature, and the key (none when the built-in text cannot be read:
    // every package is then refused). Read-only afterwards.
    const bool m_bSignatureRequired;
    const std::optional<PackageKey> m_packageKey;
    // Set while the signature file is fetched, which is no progress of the
    // package; worker thread only.
    bool m_bFetchingSignature = false;
    // The room guard of the transfer under way, none between transfers;
    // worker thread only (the client's calls come on it).
    RoomGuardSink* m_pRoomGuard = nullptr;

    // Set by the worker thread when it calls Finish, also in the middle of a
    // transfer (the install volume is too small): nothing more is reported or
    // handed over afterwards. Read by the thread that starts the next worker.
    std::atomic<bool> m_bHandedOver{false};
};
