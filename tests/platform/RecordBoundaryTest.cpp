// Following TLS's record framing through reads of any size: a header or a
// body may be split anywhere, and lengths use both bytes of their field.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/posix/ConnectionBio.h"

namespace {

// A record's header (type, version, length high byte first) and body.
std::string Record(size_t length) {
    std::string record{23, 3, 3, static_cast<char>(length >> 8), static_cast<char>(length & 0xff)};
    return record + std::string(length, 'x');
}

TEST(RecordBoundaryTest, KnowsTheBoundariesWhereverTheReadsEnd) {
    // Empty, short and longer than 255 bytes.
    const std::string stream = Record(0) + Record(1) + Record(300) + Record(2);
    const std::set<size_t> boundaries{0, 5, 11, 316, 323};

    for (size_t piece = 1; piece <= stream.size(); ++piece) {
        SCOPED_TRACE("reads of " + std::to_string(piece) + " bytes");
        platform::RecordBoundary records;
        for (size_t at = 0; at < stream.size(); at += piece) {
            const size_t size = std::min(piece, stream.size() - at);
            records.Follow(reinterpret_cast<const unsigned char*>(stream.data() + at), size);
            EXPECT_EQ(records.Between(), boundaries.count(at + size) == 1) << "after " << at + size;
        }
    }
}

}  // namespace
