#include <gtest/gtest.h>

#include <string_view>

#include "net/HttpDnsAnswer.h"

namespace {

using namespace std::string_view_literals;

TEST(HttpDnsAnswerTest, TakesTheFirstAddressOnlyWhenItIsOne) {
    struct Case {
        std::string_view answer;
        const char* address;
    };
    for (const Case& c : {
             Case{"1.2.3.4;5.6.7.8,60", "1.2.3.4"},
             Case{"1.2.3.4,60", "1.2.3.4"},
             Case{"1.2.3.4;,", "1.2.3.4"},
             Case{" 1.2.3.4 ;5.6.7.8,60\n", "1.2.3.4"},
             Case{"1.2.3.4", ""},
             Case{"", ""},
             Case{",60", ""},
             Case{"nonsense;1.2.3.4,60", ""},
             Case{"1.2.3.4.5,60", ""},
             Case{"256.1.1.1,60", ""},
             Case{"1.2.3,60", ""},
             Case{"::1,60", ""},
             Case{"<html>error</html>,", ""},
             // A zero byte would hide the rest of the entry from the address check.
             Case{"1.2.3.4\0,60"sv, ""},
             Case{"1.2.3.4\0junk;5.6.7.8,60"sv, ""},
         }) {
        EXPECT_EQ(FirstAddressOfAnswer(c.answer), c.address) << '"' << c.answer << '"';
    }
}

}  // namespace
