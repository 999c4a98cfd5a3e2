// The vorn-fetch tool as an operator runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/net/NetTestSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"

namespace {

struct FetchRun {
    int exitCode = -1;
    std::string output;
};

// Runs the tool in folder, where it leaves its error-head dumps.
FetchRun RunFetch(const std::string& folder, const std::string& arguments) {
    FetchRun run;
    const std::string command =
        "cd '" + folder + "' && " + VORN_FETCH_PATH + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[256];
    while (fgets(chunk, sizeof chunk, pipe)) run.output += chunk;
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class VornFetchTest : public testing::Test {
protected:
    VornFetchTest()
        : m_root((WriteFile(m_dir / "package.bin", std::string(5000, 'p')), m_dir.Path())),
          m_server(m_root) {}

    TempDir m_dir;
    const std::string m_root;
    NginxServer m_server;
};

TEST_F(VornFetchTest, AppendsTheDownloadAndReportsIt) {
    const std::string out = m_dir / "out";
    WriteFile(out, std::string(1000, 'p'));
    const FetchRun run =
        RunFetch(m_dir.Path(), m_server.Url("/package.bin") + " --offset 1000 --out " + out);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "result 0, received 4000 bytes\n");
    EXPECT_EQ(ReadFile(out), std::string(5000, 'p'));
    const std::vector<NginxAccess> log = m_server.AccessLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].range, "bytes=1000-");
    EXPECT_EQ(m_server.ConnectionsAccepted(), 1u);
}

TEST_F(VornFetchTest, ConnectsToAnAddressGivenForTheHost) {
    const FetchRun run =
        RunFetch(m_dir.Path(), "http://dl.quorvane.invalid:" + std::to_string(m_server.Port()) +
                                   "/package.bin --address 127.0.0.1 --out " + (m_dir / "out"));
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<NginxAccess> log = m_server.AccessLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].host, "dl.quorvane.invalid");
}

// An operator checks an https mirror against a private CA; without it the
// server's certificate is not trusted and nothing is fetched.
TEST_F(VornFetchTest, FetchesOverHttpsTrustingTheGivenCa) {
    NginxServer secure(m_root, NginxOptions{.tls = TestCertificates().good});
    const std::string out = m_dir / "out";
    const FetchRun trusted =
        RunFetch(m_dir.Path(), secure.Url("/package.bin") + " --cacert " +
                                   TestCertificates().caFile + " --out " + out);
    EXPECT_EQ(trusted.exitCode, 0) << trusted.output;
    EXPECT_EQ(ReadFile(out), std::string(5000, 'p'));

    const FetchRun unknown = RunFetch(m_dir.Path(), secure.Url("/package.bin") + " --cacert " +
                                                        TestCertificates().selfSigned.certificate +
                                                        " --out " + out + "2");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_THAT(unknown.output, testing::HasSubstr("result 3, received 0 bytes"));
    EXPECT_EQ(secure.AccessLog(1).size(), 1u) << "only the trusted run sent its request";
}

TEST_F(VornFetchTest, FailsWithTheClientsResult) {
    const FetchRun missing =
        RunFetch(m_dir.Path(), m_server.Url("/missing.bin") + " --out " + (m_dir / "out"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.output, testing::HasSubstr("result 6, received 0 bytes\n"));

    const FetchRun moved =
        RunFetch(m_dir.Path(), m_server.Url("/moved/package.bin") + " --out " + (m_dir / "out"));
    EXPECT_EQ(moved.exitCode, 1);
    EXPECT_THAT(moved.output, testing::HasSubstr("result 9, received 0 bytes\nlocation " +
                                                 m_server.Url("/package.bin") + "\n"));
    // Each refused head is kept for the operator in the folder it ran in.
    const std::vector<std::string> dumps = FilesIn(m_dir / "errorlog");
    ASSERT_EQ(dumps.size(), 2u);
    std::string both = ReadFile(dumps[0]) + ReadFile(dumps[1]);
    EXPECT_THAT(both, testing::HasSubstr("GetFiled,HttpHeadResError:ReqFile[/missing.bin]\n"
                                         "HTTP/1.1 404 Not Found\r\n"));
    EXPECT_THAT(both, testing::HasSubstr("GetFiled,HttpHeadResError:ReqFile[/moved/package.bin]\n"
                                         "HTTP/1.1 302 Moved Temporarily\r\n"));
}

TEST_F(VornFetchTest, RefusesAnIncompleteCommandLine) {
    for (const std::string& arguments :
         {std::string(""), m_server.Url("/package.bin"), "--out " + (m_dir / "out"),
          m_server.Url("/package.bin") + " --offset -5 --out " + (m_dir / "out"),
          m_server.Url("/package.bin") + " --offset 12x --out " + (m_dir / "out"),
          m_server.Url("/package.bin") + " --bogus --out " + (m_dir / "out")}) {
        EXPECT_EQ(RunFetch(m_dir.Path(), arguments).exitCode, 2) << arguments;
    }
    // Every run has ended, so any connection one of them opened is counted.
    EXPECT_EQ(m_server.ConnectionsAccepted(), 0u) << "a refused command line sends nothing";
}

// An operator checks a mirror by hand: the package and its ".minisig",
// checked against a key, each failed check with an exit status of its own.
class VornFetchSignatureTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* key : {"ours", "theirs"}) {
            const ToolRun run =
                RunTool({VORN_MINISIGN, "-G", "-W", "-p", m_keys / (std::string(key) + ".pub"),
                         "-s", m_keys / (std::string(key) + ".key")});
            ASSERT_EQ(run.exitCode, 0) << run.output;
        }
        WriteFile(m_keys / "package.bin", std::string(300000, 'p'));
    }

    // The key line of a minisign.pub.
    std::string KeyLine(const std::string& name) const {
        const std::string text = ReadFile(m_keys / (name + ".pub"));
        const size_t start = text.find('\n') + 1;
        return text.substr(start, text.find('\n', start) - start);
    }

    std::string Signature(const std::string& key, const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv{VORN_MINISIGN, "-S",
                                      "-s",          m_keys / (key + ".key"),
                                      "-m",          m_keys / "package.bin",
                                      "-x",          m_keys / "package.minisig"};
        argv.insert(argv.end(), options.begin(), options.end());
        const ToolRun run = RunTool(argv);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return ReadFile(m_keys / "package.minisig");
    }

    TempDir m_keys;
    TempDir m_served;
    TempDir m_work;
};

TEST_F(VornFetchSignatureTest, EachCheckHasItsExitStatus) {
    const std::string good = Signature("ours");
    std::string otherComment = good;
    otherComment.replace(otherComment.find("\ntrusted comment: ") + 18, 1, "X");
    struct Case {
        const char* name;
        std::string package;
        std::optional<std::string> signature;
        int exitCode;
        const char* says;
    };
    const std::string package = ReadFile(m_keys / "package.bin");
    std::string changed = package;
    changed[1234] = 'q';
    const Case cases[] = {
        {"verified", package, good, 0, "verified, trusted comment: "},
        {"missing", package, std::nullopt, 3, "no signature file"},
        {"malformed", package, std::string("hello\n"), 5, "not in the minisign format"},
        {"legacy", package, Signature("ours", {"-l"}), 6, "legacy signature"},
        {"another key", package, Signature("theirs"), 7, "not ours"},
        {"changed package", changed, good, 8, "does not match the package"},
        {"changed comment", package, otherComment, 9, "global signature wrong"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(m_served / "package.bin", c.package);
        unlink((m_served / "package.bin.minisig").c_str());
        if (c.signature) WriteFile(m_served / "package.bin.minisig", *c.signature);
        NginxServer server(m_served.Path());
        const std::string out = m_work / (std::string(c.name) + ".out");
        const FetchRun run = RunFetch(m_work.Path(), server.Url("/package.bin") + " --pubkey " +
                                                         KeyLine("ours") + " --out '" + out + "'");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_THAT(run.output, testing::HasSubstr(c.says));
    }
}

// A huge signature file is refused by its announced length, unread.
TEST_F(VornFetchSignatureTest, AHugeSignatureFileIsNotRead) {
    WriteFile(m_served / "package.bin", ReadFile(m_keys / "package.bin"));
    WriteFile(m_served / "package.bin.minisig", "");
    ASSERT_EQ(truncate((m_served / "package.bin.minisig").c_str(), 1LL << 30), 0);
    NginxServer server(m_served.Path());
    const FetchRun run =
        RunFetch(m_work.Path(), server.Url("/package.bin") + " --pubkey " + KeyLine("ours") +
                                    " --out " + (m_work / "out"));
    EXPECT_EQ(run.exitCode, 4) << run.output;
    EXPECT_THAT(run.output, testing::HasSubstr("signature file larger than 4096 bytes"));
}

TEST_F(VornFetchSignatureTest, AKeyThatCannotBeReadIsAUsageError) {
    EXPECT_EQ(RunFetch(m_work.Path(),
                       "http://127.0.0.1:9/x --pubkey RWQnotakey --out " + (m_work / "out"))
                  .exitCode,
              2);
}

}  // namespace
