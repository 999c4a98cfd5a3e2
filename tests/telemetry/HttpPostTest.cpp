#include <curl/curl.h>
#include <gtest/gtest.h>

#include "telemetry/HttpPost.h"
#include "tests/support/LoopbackPort.h"
#include "tests/telemetry/StatsTestSupport.h"

namespace {

using telemetry::HttpPost;

TEST(HttpPostTest, PostsTheBodyAndKeepsOnlyThisAnswer) {
    StatsStandin stats;
    std::string response = "left from before";
    EXPECT_EQ(HttpPost(response, stats.BaseUrl() + "/form", "a=1&b=2"), CURLE_OK);
    EXPECT_EQ(response, "ok");
    EXPECT_EQ(stats.Requests(), std::vector<std::string>{RecordedRequest("/form", "a=1&b=2")});
}

TEST(HttpPostTest, ErrorStatusIsACompletedTransfer) {
    StatsStandin stats(404);
    std::string response;
    EXPECT_EQ(HttpPost(response, stats.BaseUrl() + "/form", ""), CURLE_OK);
    EXPECT_EQ(response, "ok");
}

TEST(HttpPostTest, RefusedConnectionReportsTheCurlError) {
    std::string response = "left from before";
    const RefusingPort refusing;
    const std::string url = refusing.Url("/form");
    EXPECT_EQ(HttpPost(response, url, "a=1"), CURLE_COULDNT_CONNECT);
    EXPECT_EQ(response, "");
}

}  // namespace
