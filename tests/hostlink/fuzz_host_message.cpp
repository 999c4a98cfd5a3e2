// Fuzz target over the host message record: any bytes, decoded both as a
// record of known size and the way a record from the library is read.
#include <cstddef>
#include <cstdint>

#include "hostlink/HostMessage.h"
#include "tests/support/FuzzCheck.h"

namespace {

void CheckCommand(const hostlink::HostCommand& command) {
    const std::string& text = command.relaunchText;
    FUZZ_CHECK(text.size() <= hostlink::kRelaunchTextCapacity);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(command.kind == hostlink::HostCommand::Kind::Relaunch || text.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const hostlink::HostCommand whole = hostlink::DecodeHostMessage({data, size});
    CheckCommand(whole);
    if (size >= hostlink::kHostMsgHeaderSize) {
        const size_t extent = hostlink::HostMessageExtent(data);
        FUZZ_CHECK(extent <= hostlink::kHostMsgHeaderSize + hostlink::kHostMsgPayloadCapacity);
        if (extent <= size) {
            // Bytes beyond the record's own length never change what it says.
            const hostlink::HostCommand record = hostlink::DecodeHostMessage({data, extent});
            CheckCommand(record);
            FUZZ_CHECK(record.kind == whole.kind && record.relaunchText == whole.relaunchText);
        }
    }
    return 0;
}
