// The environment variables that exist for tests and unattended runs, read in
// this one place at start-up; docs/linux-platform.md lists them. Nothing else
// in the launcher reads the environment, apart from the user's folders and
// PATH.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct EnvironmentHooks {
    // VORN_MOUNTINFO: a mount table read in place of /proc/self/mountinfo.
    std::string mountInfoPath;
    // VORN_MESSAGE_TIMEOUT_MS: N > 0 dismisses every dialog after N ms.
    unsigned messageTimeoutMs = 0;
    // VORN_OS_CLASS: a digit 0..5 in place of the class from the kernel.
    std::optional<int> osClass;
    // VORN_HOLD_HANDOVER=1: the worker that started the install package waits
    // inside its hand-over until the launcher has moved on after the package.
    bool holdHandOver = false;
    // VORN_CLOCK_RATE=N (2..1000): the launcher's tick and its pauses run N
    // times as fast, so that tests of its time bounds take seconds, not
    // minutes. The calendar clock and the window's timers keep real time.
    unsigned clockRate = 1;
};

EnvironmentHooks ReadEnvironmentHooks();

}  // namespace platform
