// The update worker: one job per object, run on a thread of its own. It
// fetches what its job needs from the download servers, reports progress
// through the controller's status channel and hands over to the controller's
// Finish as the last thing it does.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/IDownLoadThread.h"
#include "platform/Volumes.h"
#include "support/Thread.h"
#include "support/vnMutex.h"
#include "update/TransferRate.h"
#include "update/UpdateHost.h"

class CHttpSocket;

// A file server, tried in the order of the worker's list.
struct DownServer {
    std::string szUrl;      // base URL without a trailing "/"
    std::string szAddress;  // address resolved at start-up; empty when none
};

// Results of DownLoadFile.
enum DownloadResult : int {
    kDownloadDone = 0,             // received whole and moved into place
    kDownloadRedirectedTwice = 9,  // a redirect answered by another redirect
    kDownloadFailed = -1,
};

class DownLoadThread : public Thread, public IDownLoadThread {
public:
    // What the worker reads from its surroundings; tests replace them.
    struct Seams {
        std::function<uint32_t()> tickMs;  // monotonic milliseconds, wrapping
        std::function<time_t()> now;       // wall clock, for the day of the temporary file
        std::shared_ptr<platform::IVolumes> volumes;  // free space of the install volume
    };
    static Seams SystemSeams();

    explicit DownLoadThread(IUpdateHost& host, Seams seams = SystemSeams());
    ~DownLoadThread() override;

    // Prepares the job from the controller's configuration, on the thread that
    // will call Start.
    void PrepareJob();
    // Body bytes the worker's HTTP client has received over its life; any
    // thread may read it.
    int64_t TotalRecv() const;

    void OnRecvData(const void* data, int32_t length, int64_t received,
                    int64_t contentLength) override;
    void OnFileSize(int64_t contentLength) override;

protected:
    void Run() override;

private:
    void RunPackageJob();
    void FinishWithoutTransfer();
    int DownLoadFile(const std::string& name);
    int MoveIntoPlace(const std::string& tempPath, const std::string& targetPath);
    void AdvanceServer();

    // Reached from the worker thread and from the thread that prepares the job;
    // the controller outlives every worker.
    IUpdateHost& m_host;
    const Seams m_seams;  // set at construction, read-only afterwards

    // Serialises OnRecvData and guards the throttle and rate below. Always
    // taken before the window's m_lock, never after it.
    vnMutex m_mutex;
    // Tick of the last accepted progress report. Kept per worker: workers run
    // one at a time and each reports its own transfers, so a new worker's
    // first report is never held back by an old worker's last one.
    uint32_t m_dwLastProgressTick = 0;  // guarded by m_mutex
    TransferRate m_rate;                // guarded by m_mutex

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

    // Set when the worker has handed over in the middle of a transfer (the
    // install volume is too small); nothing more is reported or handed over
    // afterwards.
    bool m_bHandedOver = false;  // worker thread only
};
