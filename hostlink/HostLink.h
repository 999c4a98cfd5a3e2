// The launcher's side of the host platform's helper library: loading it,
// creating and starting the platform object, and acting on its events.
#pragma once

#include <string>

#include "hostlink/ClientProcMsg.h"
#include "hostlink/HostLinkOwner.h"
#include "platform/Services.h"

namespace hostlink {

// The library's name without the system's prefix and ending; it lies in the
// parent of the launcher's own directory, which start-up made the current one.
inline constexpr const char* kHostLibraryName = "HostProcMsgHelper";
inline constexpr const char* kHostParameterMarker = "PROCPARA=";

class CHostLink final : public IClientProcMsgEventHandler {
public:
    // services starts the relaunched launcher; it must outlive the link.
    CHostLink(IHostLinkOwner& owner, const platform::Services& services);
    CHostLink(const CHostLink&) = delete;
    CHostLink& operator=(const CHostLink&) = delete;

    // Main thread, once. Loads the library and starts the platform object with
    // the text after "PROCPARA="; without the library, or when it yields no
    // object, the work starts at once. A missing or empty parameter text
    // deletes the run marker and ends the process.
    void ConnectHostPlatform();
    // The library's factory result, or null.
    ClientProcMsgObject* CreatePlatformObject();
    // Starts a new launcher with "PROCPARA=" followed by payload in place of
    // the current parameter text. Its result is not waited for.
    void RelaunchSelf(const char* payload);

    // The library's events, on its threads. The link takes no lock: it only
    // reads what was set before the library was started.
    void OnHostReady(uint32_t reserved) override;
    void OnHostNotice(uint32_t reserved1, uint32_t reserved2) override;
    void OnHostSignal(uint32_t reserved) override;
    // A null msg is ignored. The record carries no size of its own beyond its
    // header, so at most the header and 65,536 payload bytes are read.
    void OnHostMessage(uint32_t reserved1, uint32_t reserved2, const void* msg) override;

private:
    IHostLinkOwner& m_owner;
    const platform::Services& m_services;  // read-only
    // Written on the main thread before Start, when no event thread exists
    // yet; only read afterwards. Never unloaded or released: the process ends
    // with them.
    void* m_hPlatformDll = nullptr;
    ClientProcMsgObject* m_pPlatform = nullptr;
};

}  // namespace hostlink
