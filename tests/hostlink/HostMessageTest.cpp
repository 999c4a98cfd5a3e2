#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "hostlink/HostMessage.h"

namespace {

using hostlink::DecodeHostMessage;
using hostlink::HostCommand;
using Bytes = std::vector<uint8_t>;
using Kind = HostCommand::Kind;

void AppendLittleEndian32(Bytes& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(value >> shift));
}

// A record of type with payload; its length field says declaredLength when
// given, else the payload's size.
Bytes Record(uint32_t type, const Bytes& payload, std::optional<uint32_t> declaredLength = {}) {
    Bytes record;
    AppendLittleEndian32(record, type);
    AppendLittleEndian32(record, declaredLength.value_or(uint32_t(payload.size())));
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

struct DecodeCase {
    const char* name;
    Bytes record;
    Kind kind;
    std::string relaunchText;
};

TEST(HostMessageTest, DecodesEachRecord) {
    const std::string long200(200, 'q');
    const DecodeCase cases[] = {
        {"empty record", {}, Kind::Ignore, ""},
        {"shorter than its header", {3, 0, 0, 0, 4, 0, 0}, Kind::Ignore, ""},
        {"boss key 01 00 00 00", Record(3, {1, 0, 0, 0}), Kind::ShowWindow, ""},
        {"boss key 00 00 00 00", Record(3, {0, 0, 0, 0}), Kind::HideWindow, ""},
        {"boss key 00 00 00 01", Record(3, {0, 0, 0, 1}), Kind::ShowWindow, ""},
        {"boss key single byte 01", Record(3, {1}), Kind::ShowWindow, ""},
        {"boss key bytes beyond the length read as zero", Record(3, {0, 1, 1, 1}, 1),
         Kind::HideWindow, ""},
        {"boss key without payload", Record(3, {}), Kind::HideWindow, ""},
        {"boss key length beyond the record", Record(3, {}, 4), Kind::HideWindow, ""},
        {"restart", Record(11, Text("xyz")), Kind::Relaunch, "xyz"},
        {"restart text ends at a zero byte", Record(11, Text(std::string("ab\0cd", 5))),
         Kind::Relaunch, "ab"},
        {"restart text cut to 127 bytes", Record(11, Text(long200)), Kind::Relaunch,
         long200.substr(0, 127)},
        {"restart without payload", Record(11, {}), Kind::Relaunch, ""},
        {"restart length beyond the record", Record(11, Text("xy"), 3), Kind::Relaunch, "xy"},
        {"restart length beyond every buffer", Record(11, Text("xyz"), 0xFFFFFFFF), Kind::Relaunch,
         "xyz"},
        {"record larger than the buffer", Record(11, Text(std::string(70000, 'r'))), Kind::Relaunch,
         std::string(127, 'r')},
        {"refused connection", Record(12, {}), Kind::ReportRefusedConnection, ""},
        {"refused connection with payload", Record(12, Text("ignored")),
         Kind::ReportRefusedConnection, ""},
        {"type 7", Record(7, {1, 0, 0, 0}), Kind::Ignore, ""},
        {"type -1", Record(0xFFFFFFFF, {}), Kind::Ignore, ""},
        {"type with a high byte set", Record(0x0100000B, Text("xyz")), Kind::Ignore, ""},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const HostCommand command = DecodeHostMessage(c.record);
        EXPECT_EQ(command.kind, c.kind);
        EXPECT_EQ(command.relaunchText, c.relaunchText);
    }
}

TEST(HostMessageTest, ExtentIsTheHeaderAndTheLengthBoundedByTheBuffer) {
    struct Case {
        uint32_t length;
        size_t extent;
    };
    const Case cases[] = {
        {0, 8}, {4, 12}, {65536, 8 + 65536}, {65537, 8 + 65536}, {0xFFFFFFFF, 8 + 65536}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(hostlink::HostMessageExtent(Record(3, {}, c.length).data()), c.extent);
    }
}

}  // namespace
