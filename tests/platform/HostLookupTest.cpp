// The system resolver, asked inside a name service of the test's own, so
// that the machine's name server never answers for a test.
#include <gtest/gtest.h>

#include "platform/HostLookup.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

// The dotted address the resolver gives for name in the private name
// service, "" when it gives none; "error: ..." when the service could not be
// entered.
std::string LookUpPrivately(const std::string& hosts, const std::string& name) {
    TempDir dir;
    int toParent[2];
    if (pipe(toParent) != 0) return "error: pipe";
    const pid_t child = ForkChild([&] {
        std::string answer = EnterPrivateResolver(dir.Path(), hosts);
        if (!answer.empty()) {
            answer = "error: " + answer;
        } else if (const std::optional<IPv4Address> address = LookUpIPv4(name)) {
            answer = DottedIPv4(*address);
        }
        return write(toParent[1], answer.data(), answer.size()) < 0 ? 1 : 0;
    });
    close(toParent[1]);
    std::string answer;
    char chunk[256];
    for (ssize_t got; (got = read(toParent[0], chunk, sizeof chunk)) > 0;)
        answer.append(chunk, got);
    close(toParent[0]);
    WaitStatus(child);
    return answer;
}

TEST(HostLookupTest, AnswersFromTheHostsFileAndAddresses) {
    const std::string hosts = "127.0.0.1 localhost\n10.1.2.3 dl.quorvane.test\n";
    EXPECT_EQ(LookUpPrivately(hosts, "localhost"), "127.0.0.1");
    EXPECT_EQ(LookUpPrivately(hosts, "dl.quorvane.test"), "10.1.2.3");
    EXPECT_EQ(LookUpPrivately(hosts, "192.0.2.9"), "192.0.2.9");
}

TEST(HostLookupTest, AnUnknownNameHasNoAddress) {
    EXPECT_EQ(LookUpPrivately("", "no-such-host.invalid"), "");
    EXPECT_EQ(LookUpPrivately("", "localhost"), "") << "not even localhost without its line";
    EXPECT_FALSE(LookUpIPv4(""));
}

}  // namespace
}  // namespace platform
