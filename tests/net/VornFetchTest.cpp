// The vorn-fetch tool as an operator runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "tests/net/NetTestSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"

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
    EXPECT_TRUE(m_server.AccessLog().empty());
}

}  // namespace
