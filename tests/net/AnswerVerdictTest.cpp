// What an answer means for the request that asked for it.
#include <gtest/gtest.h>

#include "net/AnswerVerdict.h"

namespace {

using Kind = AnswerVerdict::Kind;

struct VerdictCase {
    const char* name;
    const char* head;
    int64_t requestedOffset;
    Kind kind;
    int64_t bodyStart;
    const char* location;
};

class AnswerVerdictTest : public testing::TestWithParam<VerdictCase> {};

TEST_P(AnswerVerdictTest, FollowsFromTheHeadAndTheOffset) {
    const VerdictCase& c = GetParam();
    const AnswerVerdict verdict = ClassifyAnswer(ParseResponseHead(c.head), c.requestedOffset);
    EXPECT_EQ(verdict.kind, c.kind);
    if (c.kind == Kind::Accepted || c.kind == Kind::RestartFromZero) {
        EXPECT_EQ(verdict.bodyStart, c.bodyStart);
    }
    EXPECT_EQ(verdict.location, c.location);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, AnswerVerdictTest,
    testing::Values(
        VerdictCase{"WholeResource", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", 0,
                    Kind::Accepted, 0, ""},
        VerdictCase{"NegativeOffsetIsNone", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", -1,
                    Kind::Accepted, 0, ""},
        VerdictCase{"PartFromTheOffset",
                    "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 100-199/200\r\n"
                    "Content-Length: 100\r\n\r\n",
                    100, Kind::Accepted, 100, ""},
        VerdictCase{"RangeIgnored", "HTTP/1.1 200 OK\r\nContent-Length: 200\r\n\r\n", 100,
                    Kind::RestartFromZero, 0, ""},
        VerdictCase{"PartFromElsewhere",
                    "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 90-199/200\r\n\r\n", 100,
                    Kind::Refused, 0, ""},
        VerdictCase{"PartWithoutContentRange", "HTTP/1.1 206 Partial Content\r\n\r\n", 100,
                    Kind::Refused, 0, ""},
        VerdictCase{"Found", "HTTP/1.1 302 Found\r\nLocation: http://b.example/x\r\n\r\n", 0,
                    Kind::Redirect, 0, "http://b.example/x"},
        VerdictCase{"MovedWithBrokenLength",
                    "HTTP/1.1 301 Moved\r\nLocation: http://b.example/x\r\nContent-Length: x\r\n"
                    "\r\n",
                    0, Kind::Redirect, 0, "http://b.example/x"},
        VerdictCase{"RedirectWithoutLocation", "HTTP/1.1 302 Found\r\n\r\n", 0, Kind::Refused, 0,
                    ""},
        VerdictCase{"TemporaryRedirect",
                    "HTTP/1.1 307 Temporary Redirect\r\nLocation: http://b.example/x\r\n\r\n", 0,
                    Kind::Refused, 0, ""},
        VerdictCase{"NotFound", "HTTP/1.1 404 Not Found\r\n\r\n", 0, Kind::Refused, 0, ""},
        VerdictCase{"SuccessWithBrokenLength", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", 0,
                    Kind::Refused, 0, ""},
        VerdictCase{"UnknownCoding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", 0,
                    Kind::Refused, 0, ""},
        VerdictCase{"NoStatusLine", "hello\r\n\r\n", 0, Kind::Refused, 0, ""}),
    [](const auto& info) { return info.param.name; });

TEST(AnswerVerdictStatusTest, ARefusalCarriesTheStatus) {
    EXPECT_EQ(ClassifyAnswer(ParseResponseHead("HTTP/1.1 404 Not Found\r\n\r\n"), 0).status, 404);
    EXPECT_EQ(ClassifyAnswer(ParseResponseHead("garbage\r\n\r\n"), 0).status, 0);
}

}  // namespace
