// A stand-in for the host platform's helper library, for tests and the demo.
// Its object insists on the launcher's call order (Init, SetHandler, Start)
// and then, on a thread of its own, sends the events of its script.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "hostlink/ClientProcMsg.h"
#include "tools/host-standin/StandinScript.h"

namespace standin {

namespace {

using hostlink::ClientProcMsgObject;
using hostlink::IClientProcMsgEventHandler;

// How often a "waitfor" step looks for its file.
constexpr auto kFilePollInterval = std::chrono::milliseconds(10);

class StandinObject final : public ClientProcMsgObject {
public:
    explicit StandinObject(Script script) : m_script(std::move(script)) {}

    int Init() override {
        return Answer("Init", Advance(Stage::Created, Stage::Initialised, "Init"));
    }

    int SetHandler(IClientProcMsgEventHandler* handler) override {
        if (!handler) {
            std::fputs("host stand-in: SetHandler without a handler\n", stderr);
            return Answer("SetHandler", false);
        }
        if (!Advance(Stage::Initialised, Stage::HandlerSet, "SetHandler")) {
            return Answer("SetHandler", false);
        }
        m_pHandler = handler;
        return Answer("SetHandler", true);
    }

    int Start(const char* parameters) override {
        if (std::optional<Script> own = LoadScriptForParameters(parameters ? parameters : "")) {
            m_script = std::move(*own);
        }
        const std::string call = std::string("Start(") + (parameters ? parameters : "") + ")";
        if (!Advance(Stage::HandlerSet, Stage::Started, "Start")) return Answer(call, false);
        // Recorded before the delivery thread exists: a log without an
        // accepted Start shows that no event was ever sent.
        Record(call);
        // Detached: like the platform's own objects, this one lives until the
        // process ends, so the thread never outlives it.
        try {
            std::thread([this] { DeliverScript(); }).detach();
        } catch (const std::system_error&) {
            std::fputs("host stand-in: no thread for the events\n", stderr);
            return -1;
        }
        return 0;
    }

    // May be called from inside an event, on the delivery thread itself.
    int Stop() override {
        Record("Stop");
        std::this_thread::sleep_for(std::chrono::milliseconds(m_script.stopDelayMs));
        {
            std::lock_guard lock(m_mutex);
            m_bStopped = true;
        }
        m_wake.notify_all();
        return 0;
    }

    void PlatformReserved3() override {}
    void PlatformReserved4() override {}

private:
    enum class Stage { Created, Initialised, HandlerSet, Started };

    bool Advance(Stage expected, Stage next, const char* call) {
        std::lock_guard lock(m_mutex);
        if (m_stage != expected) {
            std::fprintf(stderr, "host stand-in: %s called out of order; no events will be sent\n",
                         call);
            m_bOutOfOrder = true;
            return false;
        }
        if (m_bOutOfOrder) return false;
        m_stage = next;
        return true;
    }

    // Records the call, marked when it was refused; the call's result.
    int Answer(const std::string& call, bool accepted) const {
        Record(accepted ? call : call + " refused");
        return accepted ? 0 : -1;
    }

    // True when the stop came before the pause was over.
    bool SleepUnlessStopped(unsigned milliseconds) {
        std::unique_lock lock(m_mutex);
        return m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [this] { return m_bStopped; });
    }

    // True when the stop came before the file appeared.
    bool WaitForFileUnlessStopped(const std::string& path) {
        std::unique_lock lock(m_mutex);
        while (access(path.c_str(), F_OK) != 0) {
            if (m_wake.wait_for(lock, kFilePollInterval, [this] { return m_bStopped; })) {
                return true;
            }
        }
        return false;
    }

    bool Stopped() {
        std::lock_guard lock(m_mutex);
        return m_bStopped;
    }

    void DeliverScript() {
        for (const ScriptStep& step : m_script.steps) {
            if (Stopped()) break;
            switch (step.kind) {
                case ScriptStep::Kind::Ready:
                    m_pHandler->OnHostReady(0);
                    break;
                case ScriptStep::Kind::Notice:
                    m_pHandler->OnHostNotice(0, 0);
                    break;
                case ScriptStep::Kind::Signal:
                    m_pHandler->OnHostSignal(0);
                    break;
                case ScriptStep::Kind::Sleep:
                    if (SleepUnlessStopped(step.sleepMs)) continue;
                    break;
                case ScriptStep::Kind::WaitFor:
                    if (WaitForFileUnlessStopped(step.awaitedFile)) continue;
                    break;
                case ScriptStep::Kind::Message:
                    m_pHandler->OnHostMessage(0, 0, step.record.data());
                    break;
            }
            Record("sent " + step.line);
        }
        Record("done");
    }

    // One write per line with O_APPEND, so that lines of other writers of the
    // same file never interleave with ours.
    void Record(const std::string& line) const {
        if (m_script.logFile.empty()) return;
        const int fd =
            open(m_script.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const std::string text = line + "\n";
        if (write(fd, text.data(), text.size()) < 0) {
            std::fprintf(stderr, "host stand-in: cannot write %s\n", m_script.logFile.c_str());
        }
        close(fd);
    }

    // Set at construction, replaced by Start before the delivery thread exists,
    // read-only from then on.
    Script m_script;
    std::mutex m_mutex;              // guards m_stage, m_bOutOfOrder and m_bStopped
    std::condition_variable m_wake;  // wakes the delivery thread's pauses on Stop
    Stage m_stage = Stage::Created;
    bool m_bOutOfOrder = false;  // once set, the object stays silent
    bool m_bStopped = false;
    // Set by SetHandler before Start creates the delivery thread, then only read by it.
    IClientProcMsgEventHandler* m_pHandler = nullptr;
};

// Keeps every object reachable until the process ends; never destroyed.
std::vector<StandinObject*>& LiveObjects() {
    static auto* objects = new std::vector<StandinObject*>;
    return *objects;
}

std::mutex g_liveObjectsMutex;  // guards LiveObjects(); any caller of the factory

}  // namespace

}  // namespace standin

extern "C" __attribute__((visibility("default"))) hostlink::ClientProcMsgObject*
CreateClientProcMsgObject() {
    auto* object = new standin::StandinObject(standin::LoadScriptFromEnvironment());
    std::lock_guard lock(standin::g_liveObjectsMutex);
    standin::LiveObjects().push_back(object);
    return object;
}
