#include "hostlink/HostMessage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace hostlink {

namespace {

uint32_t ReadLittleEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The header's length, cut to what the launcher's buffer can hold.
size_t BoundedPayloadLength(const uint8_t* header) {
    return std::min<size_t>(ReadLittleEndian32(header + 4), kHostMsgPayloadCapacity);
}

}  // namespace

HostCommand DecodeHostMessage(std::span<const uint8_t> record) {
    if (record.size() < kHostMsgHeaderSize) return {};

    // A zeroed copy, so that payload bytes beyond the length read as 0. It
    // lives on the heap: the library's threads may have small stacks.
    std::vector<uint8_t> buffer(kHostMsgHeaderSize + kHostMsgPayloadCapacity, 0);
    const size_t payloadLength =
        std::min(BoundedPayloadLength(record.data()), record.size() - kHostMsgHeaderSize);
    std::memcpy(buffer.data(), record.data(), kHostMsgHeaderSize + payloadLength);
    const uint8_t* payload = buffer.data() + kHostMsgHeaderSize;

    HostCommand command;
    switch (static_cast<int32_t>(ReadLittleEndian32(buffer.data()))) {
        case kHostMsgBossKey:
            command.kind = ReadLittleEndian32(payload) != 0 ? HostCommand::Kind::ShowWindow
                                                            : HostCommand::Kind::HideWindow;
            break;
        case kHostMsgRelaunch: {
            const size_t textLength = std::min(payloadLength, kRelaunchTextCapacity);
            const uint8_t* textEnd = std::find(payload, payload + textLength, 0);
            command.kind = HostCommand::Kind::Relaunch;
            command.relaunchText.assign(payload, textEnd);
            break;
        }
        case kHostMsgNewConnectionRefused:
            command.kind = HostCommand::Kind::ReportRefusedConnection;
            break;
        default:
            break;
    }
    return command;
}

size_t HostMessageExtent(const void* msg) {
    return kHostMsgHeaderSize + BoundedPayloadLength(static_cast<const uint8_t*>(msg));
}

}  // namespace hostlink
