// The controller as the update worker sees it, so that the worker runs and is
// tested without the window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Files.h"
#include "platform/MessageIcon.h"
#include "update/LaunchConfig.h"
#include "update/StatusChannel.h"

// The install package as the worker moved it into place: the file that was
// checked, by its path, identity and size.
struct PlacedPackage {
    std::string path;
    platform::FileIdentity identity;
    int64_t size = 0;
};

class IUpdateHost {
public:
    virtual ~IUpdateHost() = default;
    virtual LaunchConfig& Config() = 0;
    // 1 when the command line names a DEBUG setting.
    virtual int32_t DebugLaunch() const = 0;
    virtual StatusChannel& Status() = 0;
    // The package this run moved into place, told before Finish(false).
    virtual void PackagePlaced(const PlacedPackage& package) = 0;
    // The hand-over; may end the process.
    virtual void Finish(bool failed) = 0;
    // A modal message box; returns when it has been dismissed.
    virtual void ShowMessage(const std::string& text,
                             platform::MessageIcon icon = platform::MessageIcon::None) = 0;
};
