#include "platform/EnvironmentHooks.h"

#include <climits>
#include <cstdlib>

namespace platform {

namespace {

std::string Variable(const char* name) {
    const char* value = getenv(name);
    return value ? value : "";
}

constexpr unsigned kMostClockRate = 1000;

// A plain decimal count that fits; anything else counts as unset.
unsigned DecimalCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    char* end = nullptr;
    const unsigned long value = strtoul(text.c_str(), &end, 10);
    return value > UINT_MAX ? 0 : static_cast<unsigned>(value);
}

std::optional<int> SingleDigitClass(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '5') return text[0] - '0';
    return std::nullopt;
}

}  // namespace

EnvironmentHooks ReadEnvironmentHooks() {
    EnvironmentHooks hooks;
    hooks.mountInfoPath = Variable("VORN_MOUNTINFO");
    hooks.messageTimeoutMs = DecimalCount(Variable("VORN_MESSAGE_TIMEOUT_MS"));
    hooks.osClass = SingleDigitClass(Variable("VORN_OS_CLASS"));
    hooks.holdHandOver = Variable("VORN_HOLD_HANDOVER") == "1";
    const unsigned rate = DecimalCount(Variable("VORN_CLOCK_RATE"));
    if (rate >= 2 && rate <= kMostClockRate) hooks.clockRate = rate;
    return hooks;
}

}  // namespace platform
