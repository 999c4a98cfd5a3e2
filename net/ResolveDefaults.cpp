// The production parts of ResolveHostIP, apart so that tests can do without them.
#include "BuildConstants.h"
#include "net/HostLookup.h"
#include "net/ResolveHostIP.h"
#include "platform/MessageBox.h"

ResolveOptions DefaultResolveOptions() {
    return ResolveOptions{
        SystemLookupIPv4,
        build::kHttpDnsEndpoint,
        [](const std::string& text) { platform::ShowMessageBox(text); },
    };
}
