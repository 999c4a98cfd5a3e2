#include <gtest/gtest.h>

#include <string>

#include "net/ChunkedDecoder.h"

namespace {

struct Decoded {
    std::string content;
    ChunkedDecoder::Status status = ChunkedDecoder::Status::NeedMore;
    size_t leftover = 0;
};

// Feeds body in blocks of blockSize bytes, as reads from a socket would.
Decoded DecodeInBlocks(const std::string& body, size_t blockSize) {
    ChunkedDecoder decoder;
    Decoded decoded;
    for (size_t at = 0; at < body.size() && decoded.status == ChunkedDecoder::Status::NeedMore;
         at += blockSize) {
        std::string block = body.substr(at, blockSize);
        const ChunkedDecoder::Step step = decoder.Decode(block.data(), block.size());
        decoded.content.append(block.data(), step.content);
        decoded.status = step.status;
        decoded.leftover = step.leftover;
    }
    return decoded;
}

struct ChunkedCase {
    const char* name;
    std::string body;
    ChunkedDecoder::Status status;
    std::string content;  // what comes out, also before a malformation
};

class ChunkedDecoderTest : public testing::TestWithParam<ChunkedCase> {};

TEST_P(ChunkedDecoderTest, GivesTheSameResultForEveryBlockSize) {
    const ChunkedCase& c = GetParam();
    for (size_t blockSize : {size_t(1), size_t(2), size_t(7), c.body.size()}) {
        const Decoded decoded = DecodeInBlocks(c.body, blockSize);
        EXPECT_EQ(decoded.status, c.status) << c.name << " in blocks of " << blockSize;
        EXPECT_EQ(decoded.content, c.content) << c.name << " in blocks of " << blockSize;
    }
}

using Status = ChunkedDecoder::Status;

INSTANTIATE_TEST_SUITE_P(
    Bodies, ChunkedDecoderTest,
    testing::Values(
        ChunkedCase{"two chunks", "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", Status::Done,
                    "hello world"},
        ChunkedCase{"upper hex and extension", "A;name=\"v\"\r\n0123456789\r\n0\r\n\r\n",
                    Status::Done, "0123456789"},
        ChunkedCase{"blank before extension", "3 ;x\r\nabc\r\n0 \r\n\r\n", Status::Done, "abc"},
        ChunkedCase{"trailer", "3\r\nabc\r\n0\r\nX-Sum: 1\r\nY: 2\r\n\r\n", Status::Done, "abc"},
        ChunkedCase{"framing inside data stays data", "7\r\n0\r\n\r\nzz\r\n0\r\n\r\n", Status::Done,
                    "0\r\n\r\nzz"},
        ChunkedCase{"empty body", "0\r\n\r\n", Status::Done, ""},
        ChunkedCase{"not hex", "5\r\nhello\r\nzz\r\n", Status::Malformed, "hello"},
        ChunkedCase{"no size", "\r\nhello\r\n", Status::Malformed, ""},
        ChunkedCase{"data longer than size", "3\r\nabcd\r\n0\r\n\r\n", Status::Malformed, "abc"},
        ChunkedCase{"bare LF", "3\nabc\n0\n\n", Status::Malformed, ""},
        ChunkedCase{"negative size", "-3\r\nabc\r\n", Status::Malformed, ""},
        ChunkedCase{"size overflows", "10000000000000000\r\n", Status::Malformed, ""},
        ChunkedCase{"blank inside size", "1 0\r\n", Status::Malformed, ""},
        ChunkedCase{"cut short", "5\r\nhel", Status::NeedMore, "hel"}),
    [](const testing::TestParamInfo<ChunkedCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST(ChunkedDecoderEndTest, CountsBytesAfterTheBody) {
    std::string block = "2\r\nok\r\n0\r\n\r\nHTTP/1.1 200 OK";
    ChunkedDecoder decoder;
    const ChunkedDecoder::Step step = decoder.Decode(block.data(), block.size());
    EXPECT_EQ(step.status, Status::Done);
    EXPECT_EQ(std::string(block.data(), step.content), "ok");
    EXPECT_EQ(step.leftover, std::string("HTTP/1.1 200 OK").size());
}

TEST(ChunkedDecoderLimitTest, RefusesEndlessExtensionsAndTrailers) {
    EXPECT_EQ(DecodeInBlocks("1;" + std::string(2000, 'e') + "\r\nx\r\n", 512).status,
              Status::Malformed);
    EXPECT_EQ(DecodeInBlocks("0\r\nX: " + std::string(10000, 't') + "\r\n\r\n", 512).status,
              Status::Malformed);
}

}  // namespace
