// The host's message record and what the launcher makes of it. Decoding is
// kept apart from acting on it so that any byte sequence can be tried on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace hostlink {

// Record layout: type (int32, little-endian), length (uint32, little-endian),
// then length payload bytes.
inline constexpr size_t kHostMsgHeaderSize = 8;
// The launcher's copy of a record holds at most this many payload bytes.
inline constexpr size_t kHostMsgPayloadCapacity = 65536;
// A restart's parameter text holds at most this many bytes.
inline constexpr size_t kRelaunchTextCapacity = 127;

inline constexpr int32_t kHostMsgBossKey = 3;
inline constexpr int32_t kHostMsgRelaunch = 11;
inline constexpr int32_t kHostMsgNewConnectionRefused = 12;

// Written to standard output, without a line end, for a refused connection.
inline constexpr const char* kNewConnectionRefusedText = "SC_RESPONSE_NEWCONN_RUFUSE，拒绝新连接";

struct HostCommand {
    enum class Kind { Ignore, ShowWindow, HideWindow, Relaunch, ReportRefusedConnection };
    Kind kind = Kind::Ignore;
    // Relaunch only: the new parameter text, up to its first zero byte.
    std::string relaunchText;
};

// Decodes a record of which exactly record.size() bytes may be read. A record
// shorter than its header is ignored; a length beyond the bytes present or
// beyond the launcher's buffer is cut to them.
HostCommand DecodeHostMessage(std::span<const uint8_t> record);

// How many bytes of a record delivered by the library the launcher reads: the
// library passes a bare pointer, so the header's length is all there is to go
// by, bounded by the launcher's own buffer. msg must not be null.
size_t HostMessageExtent(const void* msg);

}  // namespace hostlink
