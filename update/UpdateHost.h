// The controller as the update worker sees it, so that the worker runs and is
// tested without the window.
#pragma once

#include <string>

#include "platform/MessageIcon.h"
#include "update/LaunchConfig.h"
#include "update/StatusChannel.h"

class IUpdateHost {
public:
    virtual ~IUpdateHost() = default;
    virtual LaunchConfig& Config() = 0;
    // 1 when the command line names a DEBUG setting.
    virtual int32_t DebugLaunch() const = 0;
    virtual StatusChannel& Status() = 0;
    // The hand-over; may end the process.
    virtual void Finish(bool failed) = 0;
    // A modal message box; returns when it has been dismissed.
    virtual void ShowMessage(const std::string& text,
                             platform::MessageIcon icon = platform::MessageIcon::None) = 0;
};
