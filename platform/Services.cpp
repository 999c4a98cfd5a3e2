#include "platform/Services.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/Files.h"
#include "platform/HostLookup.h"
#include "platform/OsClass.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/UrlOpener.h"

namespace platform {

namespace {

// Polls released() and then gives whoever released it time to act; bounded so
// that a test can never hang on it.
void HoldUntilReleased(const std::function<bool()>& released) {
    constexpr unsigned kPollMs = 10;
    constexpr unsigned kLongestHoldMs = 60000;
    constexpr unsigned kActMs = 500;
    for (unsigned held = 0; !released() && held < kLongestHoldMs; held += kPollMs) {
        SystemClock().SleepMs(kPollMs);
    }
    SystemClock().SleepMs(kActMs);
}

// The system's clock with its tick and its pauses sped up rate times; the
// calendar stays real, so that dates and day changes do not move.
class FastClock final : public IClock {
public:
    explicit FastClock(unsigned rate) : m_rate(rate), m_start(SystemClock().TickMs()) {}
    int64_t WallSeconds() const override { return SystemClock().WallSeconds(); }
    uint32_t TickMs() const override {
        return m_start + static_cast<uint32_t>(SystemClock().TickMs() - m_start) * m_rate;
    }
    void SleepMs(unsigned milliseconds) const override {
        SystemClock().SleepMs(milliseconds / m_rate);
    }

private:
    const unsigned m_rate;   // read-only
    const uint32_t m_start;  // read-only: the tick the speed-up counts from
};

// One clock per rate, never destroyed, like the system's own: every part may
// read it while the process ends.
const IClock& FastClockAt(unsigned rate) {
    static std::mutex madeLock;  // guards made; any thread may build services
    static auto* const made = new std::map<unsigned, const FastClock*>();
    std::lock_guard<std::mutex> guard(madeLock);
    const FastClock*& clock = (*made)[rate];
    if (!clock) clock = new FastClock(rate);
    return *clock;
}

}  // namespace

Services SystemServices(const EnvironmentHooks& hooks) {
    // Never destroyed: every part may hold on to them while the process ends.
    static IVolumes* const volumes = SystemVolumes(hooks.mountInfoPath).release();

    Services services;
    services.clock = hooks.clockRate > 1 ? &FastClockAt(hooks.clockRate) : &SystemClock();
    services.volumes = volumes;
    services.openSettings = [] { return OpenUserSettings(); };
    services.lookUpIPv4 = LookUpIPv4;
    services.spawn = [](const std::string& program, const std::vector<std::string>& args,
                        const std::string& workingDir) {
        return SpawnProcess(program, args, workingDir);
    };
    services.runThroughAssociation =
        [](const std::string& file, const std::vector<std::string>& args,
           const std::string& workingDir) { return RunThroughAssociation(file, args, workingDir); };
    services.waitProcess = WaitProcess;
    services.terminateSelf = [] { TerminateSelf(); };
    services.openUrl = OpenUrl;
    services.acquireLock = AcquireNamedLock;
    if (hooks.holdHandOver) services.holdHandOver = HoldUntilReleased;
    services.osClass = hooks.osClass.value_or(CurrentOsClass());
    services.executablePath = ExecutablePath();
    services.startDirectory = CurrentDirectory();
    services.fallbackInstallRoot = FallbackInstallRoot();
    return services;
}

}  // namespace platform
