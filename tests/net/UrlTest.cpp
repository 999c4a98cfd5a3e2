#include <gtest/gtest.h>

#include "net/Url.h"

namespace {

struct UrlCase {
    const char* url;
    const char* host;
    uint16_t port;
    const char* target;
};

class UrlTest : public testing::TestWithParam<UrlCase> {};

TEST_P(UrlTest, SplitsIntoHostPortAndTarget) {
    const UrlCase& c = GetParam();
    const std::optional<HttpUrl> url = ParseHttpUrl(c.url);
    ASSERT_TRUE(url) << c.url;
    EXPECT_EQ(url->host, c.host);
    EXPECT_EQ(url->port, c.port);
    EXPECT_EQ(url->target, c.target);
}

INSTANTIATE_TEST_SUITE_P(Plain, UrlTest,
                         testing::Values(UrlCase{"http://dl.example/download/vorn_ad2.exe",
                                                 "dl.example", 80, "/download/vorn_ad2.exe"},
                                         UrlCase{"http://127.0.0.1:8080/a/b?x=1&y=2", "127.0.0.1",
                                                 8080, "/a/b?x=1&y=2"},
                                         UrlCase{"HTTP://Host.Example", "Host.Example", 80, "/"},
                                         UrlCase{"http://host?q", "host", 80, "/?q"},
                                         UrlCase{"http://host:", "host", 80, "/"},
                                         UrlCase{"https://host/x", "host", 443, "/x"},
                                         UrlCase{"http://user:pw@host:81/x", "host", 81, "/x"},
                                         UrlCase{"  http://host/x \r\n", "host", 80, "/x"}));

INSTANTIATE_TEST_SUITE_P(
    Canonical, UrlTest,
    testing::Values(UrlCase{"http://h/a/./b/../c", "h", 80, "/a/c"},
                    UrlCase{"http://h/a/b/..", "h", 80, "/a/"},
                    UrlCase{"http://h/../../x", "h", 80, "/x"},
                    UrlCase{"http://h/a b<c>\"d\"", "h", 80, "/a%20b%3Cc%3E%22d%22"},
                    UrlCase{"http://h/\xe6\xb8\xb8", "h", 80, "/%E6%B8%B8"},
                    // The query is left as written, except what would split the request line.
                    UrlCase{"http://h/p?a=../b<c>", "h", 80, "/p?a=../b<c>"},
                    UrlCase{"http://h/p?a b\r\nX: y", "h", 80, "/p?a%20b%0D%0AX:%20y"},
                    UrlCase{"http://h/p#frag", "h", 80, "/p"},
                    UrlCase{"http://[::1]:8080/p", "[::1]", 8080, "/p"}));

TEST(UrlSchemeTest, OnlyHttpsGoesOverTls) {
    const struct {
        const char* url;
        bool secure;
        uint16_t port;
    } cases[] = {
        {"https://h/x", true, 443},       {"HTTPS://h/x", true, 443},
        {"https://h:8443/x", true, 8443}, {"http://h/x", false, 80},
        {"http://h:443/x", false, 443},
    };
    for (const auto& row : cases) {
        const std::optional<HttpUrl> url = ParseHttpUrl(row.url);
        ASSERT_TRUE(url) << row.url;
        EXPECT_EQ(url->secure, row.secure) << row.url;
        EXPECT_EQ(url->port, row.port) << row.url;
    }
}

TEST(UrlRejectTest, RefusesWhatCannotBeCracked) {
    for (const char* url : {"", "dl.example/download", "/download/x", "http:/host/x", "://host/x",
                            "ftp://host/x", "http:///x", "http://:80/x", "http://host:0/x",
                            "http://host:65536/x", "http://host:8a/x", "http://user@/x",
                            // A host that would bend the Host line.
                            "http://a b/x", "http://a\tb/x", "http://h\r\nX-Injected: 1/x",
                            "http://h\x7f/x", "http://h\x01/x"}) {
        EXPECT_FALSE(ParseHttpUrl(url)) << url;
    }
}

}  // namespace
