#include "hostlink/HostLink.h"

#include <cstdio>
#include <string_view>

#include "hostlink/HostMessage.h"
#include "platform/Process.h"
#include "platform/SharedLibrary.h"

namespace hostlink {

namespace {

// The diagnostics go to standard output, flushed at once: the process may end
// through TerminateSelf, which would drop anything still buffered.
void PrintDiagnostic(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// Where the host's parameter text begins: right after the first "PROCPARA=";
// npos when there is none.
size_t ParameterTextStart(const std::string& commandLine) {
    const size_t marker = commandLine.find(kHostParameterMarker);
    if (marker == std::string::npos) return marker;
    return marker + std::string_view(kHostParameterMarker).size();
}

}  // namespace

CHostLink::CHostLink(IHostLinkOwner& owner, const platform::Services& services)
    : m_owner(owner), m_services(services) {}

void CHostLink::ConnectHostPlatform() {
    m_hPlatformDll =
        platform::LoadSharedLibrary("../" + platform::SharedLibraryFileName(kHostLibraryName));
    if (!m_hPlatformDll) {
        PrintDiagnostic("Load library failed!\n");
        PrintDiagnostic("error load libary!\n");
        m_owner.StartUpdate();
        return;
    }
    PrintDiagnostic("Load library successed!\n");

    const std::string& commandLine = m_owner.CommandLine();
    const size_t start = ParameterTextStart(commandLine);
    const std::string parameters =
        start == std::string::npos ? std::string() : commandLine.substr(start);
    if (parameters.empty()) {
        m_owner.DeleteRunMarker();
        m_owner.EndProcess();
        return;
    }

    m_pPlatform = CreatePlatformObject();
    if (!m_pPlatform) {
        // No object means no ready event will ever come: work on our own
        // rather than wait forever.
        m_owner.StartUpdate();
        return;
    }
    m_pPlatform->Init();
    m_pPlatform->SetHandler(this);
    m_pPlatform->Start(parameters.c_str());
}

ClientProcMsgObject* CHostLink::CreatePlatformObject() {
    auto* create = reinterpret_cast<CreateClientProcMsgObjectFunction>(
        platform::SharedLibrarySymbol(m_hPlatformDll, kCreateClientProcMsgObjectSymbol));
    if (!create) {
        PrintDiagnostic("Get Create Client Object Function failed!\n");
        return nullptr;
    }
    PrintDiagnostic("Get Create Client Object Function Success!\n");
    ClientProcMsgObject* object = create();
    PrintDiagnostic(object ? "Create Client Object Function Success!\n"
                           : "Create Client Object Function failed!\n");
    return object;
}

void CHostLink::RelaunchSelf(const char* payload) {
    const std::string& commandLine = m_owner.CommandLine();
    const size_t start = ParameterTextStart(commandLine);
    // The old parameter text is dropped. Events only come after a start with
    // the marker present; without it the new text stands alone.
    std::string parameters =
        start == std::string::npos ? kHostParameterMarker : commandLine.substr(0, start);
    parameters += payload;
    m_services.spawn(m_services.executablePath, platform::SplitCommandLine(parameters), "");
}

void CHostLink::OnHostReady(uint32_t) {
    m_owner.StartUpdate();
}

void CHostLink::OnHostNotice(uint32_t, uint32_t) {}

void CHostLink::OnHostSignal(uint32_t) {}

void CHostLink::OnHostMessage(uint32_t, uint32_t, const void* msg) {
    if (!msg) return;
    const HostCommand command =
        DecodeHostMessage(std::span(static_cast<const uint8_t*>(msg), HostMessageExtent(msg)));
    switch (command.kind) {
        case HostCommand::Kind::ShowWindow:
            m_owner.ShowWindowAsync(true);
            break;
        case HostCommand::Kind::HideWindow:
            m_owner.ShowWindowAsync(false);
            break;
        case HostCommand::Kind::Relaunch:
            // The successor must not find its predecessor still holding the lock.
            m_owner.ReleaseLaunchLock();
            // A relaunch that fails to start still stops the link and ends the loop.
            RelaunchSelf(command.relaunchText.c_str());
            if (m_pPlatform) m_pPlatform->Stop();
            m_owner.QuitMainLoop();
            break;
        case HostCommand::Kind::ReportRefusedConnection:
            PrintDiagnostic(kNewConnectionRefusedText);
            break;
        case HostCommand::Kind::Ignore:
            break;
    }
}

}  // namespace hostlink
