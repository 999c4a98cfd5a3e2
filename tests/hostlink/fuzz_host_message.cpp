// Fuzz target over the host message record: any bytes, decoded both as a
// record of known size and the way a record from the library is read.
#include <cstdlib>

#include "hostlink/HostMessage.h"

namespace {

void CheckCommand(const hostlink::HostCommand& command) {
    const std::string& text = command.relaunchText;
    if (text.size() > hostlink::kRelaunchTextCapacity || text.find('\0') != std::string::npos) {
        std::abort();
    }
    if (command.kind != hostlink::HostCommand::Kind::Relaunch && !text.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckCommand(hostlink::DecodeHostMessage({data, size}));
    if (size >= hostlink::kHostMsgHeaderSize) {
        const size_t extent = hostlink::HostMessageExtent(data);
        if (extent <= size) CheckCommand(hostlink::DecodeHostMessage({data, extent}));
    }
    return 0;
}
