#include <gtest/gtest.h>

#include <string>

#include "net/ResponseHead.h"

namespace {

// A head with the given status line and header lines.
std::string Head(const std::string& statusLine, const std::string& headers = "") {
    return statusLine + "\r\n" + headers + "\r\n";
}

struct StatusCase {
    const char* statusLine;
    int status;
};

class StatusLineTest : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusLineTest, CodeComesFromTheStatusLineOnly) {
    const ResponseHead head = ParseResponseHead(Head(GetParam().statusLine, "X-Note: 200 OK\r\n"));
    EXPECT_EQ(head.status, GetParam().status) << GetParam().statusLine;
    EXPECT_EQ(head.problem == HeadProblem::BadStatusLine, GetParam().status == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StatusLineTest,
    testing::Values(StatusCase{"HTTP/1.1 200 OK", 200}, StatusCase{"HTTP/1.0 200 OK", 200},
                    StatusCase{"HTTP/1.1 206 Partial Content", 206},
                    StatusCase{"HTTP/1.1 200", 200}, StatusCase{"HTTP/1.1 302 Found", 302},
                    StatusCase{"HTTP/1.1 404 Not Found but 200 OK", 404},
                    StatusCase{"HTTP/1.1 500 200 OK", 500}, StatusCase{"200 OK", 0},
                    StatusCase{"HTTP/1.1  200 OK", 0}, StatusCase{"HTTP/1.1 20 OK", 0},
                    StatusCase{"HTTP/1.1 2000 OK", 0}, StatusCase{"HTTP/1.1 002 OK", 0},
                    StatusCase{"HTTP/1.1 2x0 OK", 0}, StatusCase{"ICY 200 OK", 0},
                    StatusCase{"", 0}));

struct LengthCase {
    const char* header;
    int64_t length;
    HeadProblem problem;
};

class ContentLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthTest, ReadsTheValueOrRefusesIt) {
    const ResponseHead head = ParseResponseHead(Head("HTTP/1.1 200 OK", GetParam().header));
    EXPECT_EQ(head.problem, GetParam().problem) << GetParam().header;
    if (GetParam().problem == HeadProblem::None) {
        EXPECT_EQ(head.contentLength, GetParam().length) << GetParam().header;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ContentLengthTest,
    testing::Values(
        LengthCase{"Content-Length: 123\r\n", 123, HeadProblem::None},
        LengthCase{"Content-Length:123\r\n", 123, HeadProblem::None},
        LengthCase{"content-length: 123\r\n", 123, HeadProblem::None},
        LengthCase{"CONTENT-LENGTH:\t 123 \t\r\n", 123, HeadProblem::None},
        LengthCase{"Content-Length: 0\r\n", 0, HeadProblem::None},
        LengthCase{"Content-Length: 007\r\n", 7, HeadProblem::None},
        LengthCase{"Content-Length: 3000000000\r\n", 3000000000LL, HeadProblem::None},
        LengthCase{"Content-Length: 9223372036854775807\r\n", INT64_MAX, HeadProblem::None},
        LengthCase{"Content-Length: 5\r\nContent-Length: 5\r\n", 5, HeadProblem::None},
        LengthCase{"X-Content-Length: 5\r\n", -1, HeadProblem::None},
        LengthCase{"", -1, HeadProblem::None},
        LengthCase{"Content-Length: 9223372036854775808\r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: 99999999999999999999\r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: -5\r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: +5\r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: 12abc\r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: 1 2\r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: \r\n", 0, HeadProblem::BadContentLength},
        LengthCase{"Content-Length: 000000000000000000000000000001\r\n", 0,
                   HeadProblem::BadContentLength},
        LengthCase{"Content-Length: 5\r\nContent-Length: 6\r\n", 0,
                   HeadProblem::BadContentLength}));

struct LocationCase {
    const char* header;
    std::optional<std::string> location;
};

class LocationTest : public testing::TestWithParam<LocationCase> {};

TEST_P(LocationTest, TakesTheTrimmedValue) {
    const ResponseHead head = ParseResponseHead(Head("HTTP/1.1 302 Found", GetParam().header));
    EXPECT_EQ(head.location, GetParam().location) << GetParam().header;
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, LocationTest,
    testing::Values(LocationCase{"Location: http://b.example/x\r\n", "http://b.example/x"},
                    LocationCase{"Location:http://b.example/x\r\n", "http://b.example/x"},
                    LocationCase{"location:  http://b.example/x  \r\n", "http://b.example/x"},
                    LocationCase{"Location: /bare/path\r\n", "/bare/path"},
                    LocationCase{"Location: a\r\nLocation: b\r\n", "a"},
                    LocationCase{"Content-Location: http://c/\r\n", std::nullopt},
                    LocationCase{"Location:\r\n", std::nullopt}, LocationCase{"", std::nullopt}));

TEST(LocationLimitTest, KeepsAtMost255Characters) {
    const std::string longest(kMaxLocationChars, 'l');
    EXPECT_EQ(
        ParseResponseHead(Head("HTTP/1.1 302 Found", "Location: " + longest + "\r\n")).location,
        longest);
    EXPECT_FALSE(
        ParseResponseHead(Head("HTTP/1.1 302 Found", "Location: " + longest + "l\r\n")).location);
}

struct RangeCase {
    const char* header;
    std::optional<int64_t> first;
};

class ContentRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(ContentRangeTest, ReadsTheFirstByte) {
    const ResponseHead head =
        ParseResponseHead(Head("HTTP/1.1 206 Partial Content", GetParam().header));
    EXPECT_EQ(head.rangeFirst, GetParam().first) << GetParam().header;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ContentRangeTest,
    testing::Values(RangeCase{"Content-Range: bytes 1000-1999/2000\r\n", 1000},
                    RangeCase{"content-range:bytes 0-0/1\r\n", 0},
                    RangeCase{"Content-Range: bytes 5-9/*\r\n", 5},
                    RangeCase{"Content-Range: bytes 3000000000-3000000001/3000000002\r\n",
                              3000000000LL},
                    RangeCase{"Content-Range: bytes 10-5/20\r\n", std::nullopt},
                    RangeCase{"Content-Range: bytes 5-9/9\r\n", std::nullopt},
                    RangeCase{"Content-Range: bytes */2000\r\n", std::nullopt},
                    RangeCase{"Content-Range: items 1-2/3\r\n", std::nullopt},
                    RangeCase{"Content-Range: bytes -5-9/20\r\n", std::nullopt},
                    RangeCase{"", std::nullopt}));

TEST(TransferCodingTest, OnlyPlainChunkedIsUnderstood) {
    const ResponseHead chunked = ParseResponseHead(
        Head("HTTP/1.1 200 OK", "Transfer-Encoding: Chunked\r\nContent-Length: 10\r\n"));
    EXPECT_EQ(chunked.problem, HeadProblem::None);
    EXPECT_TRUE(chunked.chunked);
    EXPECT_EQ(chunked.contentLength, -1) << "the framing decides where the body ends";

    for (const char* header :
         {"Transfer-Encoding: gzip, chunked\r\n", "Transfer-Encoding: gzip\r\n",
          "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n"}) {
        const ResponseHead head = ParseResponseHead(Head("HTTP/1.1 200 OK", header));
        EXPECT_EQ(head.problem, HeadProblem::UnsupportedTransferCoding) << header;
        EXPECT_FALSE(head.chunked) << header;
    }
}

TEST(ConnectionHeaderTest, NoticesClose) {
    EXPECT_TRUE(
        ParseResponseHead(Head("HTTP/1.1 200 OK", "Connection: close\r\n")).connectionClose);
    EXPECT_TRUE(ParseResponseHead(Head("HTTP/1.1 200 OK", "connection: Upgrade, Close\r\n"))
                    .connectionClose);
    EXPECT_FALSE(
        ParseResponseHead(Head("HTTP/1.1 200 OK", "Connection: keep-alive\r\n")).connectionClose);
}

TEST(HeadSizeTest, AcceptsUpTo1024Bytes) {
    const std::string start = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Pad: ";
    const std::string end = "\r\n\r\n";
    const std::string full =
        start + std::string(kMaxHeadBytes - start.size() - end.size(), 'p') + end;
    ASSERT_EQ(full.size(), 1024u);
    const ResponseHead accepted = ParseResponseHead(full);
    EXPECT_EQ(accepted.problem, HeadProblem::None);
    EXPECT_EQ(accepted.contentLength, 5);

    const std::string tooLong =
        start + std::string(full.size() - start.size() - end.size() + 1, 'p') + end;
    ASSERT_EQ(tooLong.size(), 1025u);
    EXPECT_EQ(ParseResponseHead(tooLong).problem, HeadProblem::TooLong);
}

TEST(HeaderLinesTest, IgnoresLinesItCannotRead) {
    const ResponseHead head = ParseResponseHead(
        Head("HTTP/1.1 200 OK",
             "no colon here\r\n continued: line\r\n: empty name\r\nContent-Length : 9\r\n"
             "Content-Length: 4\r\n"));
    EXPECT_EQ(head.problem, HeadProblem::None);
    EXPECT_EQ(head.contentLength, 4);
}

}  // namespace
