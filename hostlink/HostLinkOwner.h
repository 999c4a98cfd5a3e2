// The controller as the host link sees it. The controller owns the link and
// outlives it; the link calls these from the threads noted on each.
#pragma once

#include <string>

namespace hostlink {

class IHostLinkOwner {
public:
    virtual ~IHostLinkOwner() = default;
    // The launcher's command line; read on any thread, so it must not change
    // once the link exists.
    virtual const std::string& CommandLine() const = 0;
    // Deletes the run marker file, if the launcher has one. Main thread.
    virtual void DeleteRunMarker() = 0;
    // Begins the work. Called on the main thread when the library is missing
    // or yields no object, else on the library's thread from its ready event.
    virtual void StartUpdate() = 0;
    // Called on the library's threads; the owner posts them to the main loop.
    virtual void ShowWindowAsync(bool show) = 0;
    // Lets go of the single-launcher lock so that a successor started now can
    // take it. Called on the library's thread, just before the restart.
    virtual void ReleaseLaunchLock() = 0;
    virtual void QuitMainLoop() = 0;
    // Ends the process at once with exit code 0 (platform::TerminateSelf in
    // the launcher). Called on the main thread; the link does nothing more
    // after it, should it return.
    virtual void EndProcess() = 0;
};

}  // namespace hostlink
