// The client against a real nginx: what a player's launcher meets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "net/HttpSocket.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

constexpr int64_t kPackageSize = 300000;

// count bytes of the file at path from offset on.
std::string BytesAt(const std::string& path, int64_t offset, int64_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::string bytes(size_t(count), '\0');
    in.read(bytes.data(), count);
    bytes.resize(size_t(in.gcount()));
    return bytes;
}

class HttpSocketNginxTest : public testing::Test {
protected:
    HttpSocketNginxTest()
        : m_package(RandomBytes(kPackageSize)),
          m_root((WriteFile(m_dir / "vorn_ad2.exe", m_package), m_dir.Path())),
          m_server(m_root),
          m_workingDirectory(m_dir.Path()) {}

    // Requests target into the file "out" of the test directory.
    HttpResult Fetch(CHttpSocket& client, const std::string& url, int64_t rangeStart = 0,
                     const std::string& address = "") {
        OutputFile out(Out());
        return client.RequestFile(url, address, rangeStart, &out);
    }

    std::string Out() const { return m_dir / "out"; }
    // Connections the server saw for the given number of requests.
    size_t Connections(size_t requests) const {
        size_t connections = 0;
        for (const NginxAccess& access : m_server.AccessLog(requests)) {
            if (access.connectionRequests == 1) ++connections;
        }
        return connections;
    }

    TempDir m_dir;
    const std::string m_package;
    const std::string m_root;
    NginxServer m_server;
    ScopedWorkingDirectory m_workingDirectory;
    RecordingSink m_sink;
    platform::Services m_services = TestServices();
};

TEST_F(HttpSocketNginxTest, FetchesTheWholeFile) {
    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe")), HttpResult::Ok);

    EXPECT_EQ(ReadFile(Out()), m_package);
    EXPECT_EQ(m_sink.Data(), m_package);
    EXPECT_THAT(m_sink.fileSizes, ElementsAre(kPackageSize));
    EXPECT_EQ(m_sink.LastReceived(), kPackageSize);
    EXPECT_EQ(m_sink.chunks.back().contentLength, kPackageSize);
    EXPECT_EQ(client.TotalRecv(), kPackageSize) << "body bytes only, never the head";

    const std::vector<NginxAccess> log = m_server.AccessLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].request, "GET /vorn_ad2.exe HTTP/1.1");
    EXPECT_EQ(log[0].range, "-");
    EXPECT_EQ(log[0].host, "127.0.0.1") << "the Host line carries no port";
    EXPECT_FALSE(FileExists(m_dir / "errorlog"));
}

TEST_F(HttpSocketNginxTest, ResumesFromAnOffset) {
    WriteFile(Out(), m_package.substr(0, 1000));
    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe"), 1000), HttpResult::Ok);

    EXPECT_EQ(ReadFile(Out()), m_package);
    EXPECT_THAT(m_sink.fileSizes, ElementsAre(kPackageSize - 1000));
    EXPECT_EQ(m_sink.LastReceived(), kPackageSize - 1000) << "the offset is not counted";
    const std::vector<NginxAccess> log = m_server.AccessLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].range, "bytes=1000-");
    EXPECT_EQ(log[0].status, 206);
}

struct ReuseCase {
    int64_t secondsLater;
    bool sameConnection;
};

class HttpSocketReuseTest : public HttpSocketNginxTest,
                            public testing::WithParamInterface<ReuseCase> {};

TEST_P(HttpSocketReuseTest, ReusesTheConnectionFor10Seconds) {
    FakeClock clock;
    clock.wallSeconds = 1'700'000'000;
    m_services.clock = &clock;
    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe")), HttpResult::Ok);
    clock.wallSeconds += GetParam().secondsLater;
    ASSERT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe")), HttpResult::Ok);

    EXPECT_EQ(Connections(2), GetParam().sameConnection ? 1u : 2u)
        << GetParam().secondsLater << " seconds later";
}

INSTANTIATE_TEST_SUITE_P(Delays, HttpSocketReuseTest,
                         testing::Values(ReuseCase{0, true}, ReuseCase{10, true},
                                         ReuseCase{11, false},
                                         // A clock that went back counts as no time.
                                         ReuseCase{-3600, true}));

TEST_F(HttpSocketNginxTest, HandsBackARedirectWithItsHead) {
    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(Fetch(client, m_server.Url("/moved/vorn_ad2.exe")), HttpResult::Redirect);
    EXPECT_EQ(client.Location(), m_server.Url("/vorn_ad2.exe"));
    EXPECT_EQ(ReadFile(Out()), "") << "the redirect's own body is not the file";
    EXPECT_TRUE(m_sink.fileSizes.empty());
    // What the caller records of a refused answer; the client writes no file.
    EXPECT_EQ(client.RequestTarget(), "/moved/vorn_ad2.exe");
    EXPECT_THAT(client.LastHead(), StartsWith("HTTP/1.1 302 Moved Temporarily\r\n"));
    EXPECT_THAT(client.LastHead(), testing::EndsWith("\r\n\r\n"));
    EXPECT_FALSE(FileExists(m_dir / "errorlog"));

    // The caller follows the Location, resolving its host by name.
    ASSERT_EQ(Fetch(client, client.Location()), HttpResult::Ok);
    EXPECT_EQ(ReadFile(Out()), m_package);
    EXPECT_EQ(Connections(2), 2u) << "a redirect closes the connection";
}

TEST_F(HttpSocketNginxTest, RefusesAMissingFile) {
    CHttpSocket client(&m_sink, m_services);
    EXPECT_EQ(Fetch(client, m_server.Url("/vorn_ad2.vorn123")), HttpResult::Refused);
    EXPECT_EQ(ReadFile(Out()), "");
    EXPECT_TRUE(m_sink.chunks.empty());
    EXPECT_THAT(client.LastHead(), StartsWith("HTTP/1.1 404 Not Found\r\n"));
}

TEST_F(HttpSocketNginxTest, ConnectsToTheOverrideAddressButNamesTheHost) {
    CHttpSocket client(&m_sink, m_services);
    const std::string url =
        "http://dl.quorvane.invalid:" + std::to_string(m_server.Port()) + "/vorn_ad2.exe";
    ASSERT_EQ(Fetch(client, url, 0, "127.0.0.1"), HttpResult::Ok);
    EXPECT_EQ(ReadFile(Out()), m_package);
    const std::vector<NginxAccess> log = m_server.AccessLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].host, "dl.quorvane.invalid");

    // Without the override the name must resolve, and this one does not.
    EXPECT_EQ(Fetch(client, url), HttpResult::NoConnection);
}

TEST_F(HttpSocketNginxTest, SendsARequestForAnotherServerToThatServer) {
    NginxServer other(m_root);
    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe")), HttpResult::Ok);
    ASSERT_EQ(Fetch(client, other.Url("/vorn_ad2.exe")), HttpResult::Ok);
    EXPECT_EQ(m_server.AccessLog(1).size(), 1u);
    EXPECT_EQ(other.AccessLog(1).size(), 1u);
}

TEST_F(HttpSocketNginxTest, TheLifetimeCounterCanBeWatchedFromAnotherThread) {
    CHttpSocket client(&m_sink, m_services);
    std::atomic<bool> done{false};
    std::vector<int64_t> seen;
    // The window's watchdog reads the counter while the worker downloads.
    std::thread watcher([&] {
        while (!done.load()) {
            seen.push_back(client.TotalRecv());
            std::this_thread::yield();
        }
    });
    EXPECT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe")), HttpResult::Ok);
    EXPECT_EQ(Fetch(client, m_server.Url("/vorn_ad2.exe"), 1000), HttpResult::Ok);
    done = true;
    watcher.join();

    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << "it only grows";
    EXPECT_EQ(client.TotalRecv(), 2 * kPackageSize - 1000) << "never reset between requests";
}

struct BoundaryCase {
    const char* name;
    int64_t boundary;  // where a count of fewer bits would wrap
};

class HttpSocketBoundaryTest : public HttpSocketNginxTest,
                               public testing::WithParamInterface<BoundaryCase> {};

// A package a little larger than the boundary, resumed a few MiB below it:
// the offsets, the answer's Content-Range and the file's own positions cross
// it without moving gigabytes. The bytes before the resume point are holes
// on both sides; only the resumed part carries data.
TEST_P(HttpSocketBoundaryTest, ResumesAcrossTheBoundary) {
    constexpr int64_t kMiB = 1 << 20;
    const int64_t size = GetParam().boundary + 4096 * 3 + 17;
    const int64_t resumeAt = GetParam().boundary - 3 * kMiB - 5;
    const int64_t rest = size - resumeAt;
    const std::string resumed = RandomBytes(size_t(rest));
    const std::string package = m_dir / "huge.bin";
    WriteFile(package, "");
    std::filesystem::resize_file(package, uintmax_t(resumeAt));
    std::ofstream(package, std::ios::binary | std::ios::app) << resumed;
    WriteFile(Out(), "");
    std::filesystem::resize_file(Out(), uintmax_t(resumeAt));

    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(Fetch(client, m_server.Url("/huge.bin"), resumeAt), HttpResult::Ok);

    EXPECT_EQ(std::filesystem::file_size(Out()), uintmax_t(size));
    EXPECT_TRUE(BytesAt(Out(), resumeAt, rest) == resumed) << "the resumed bytes, in place";
    EXPECT_TRUE(m_sink.Data() == resumed);
    EXPECT_THAT(m_sink.fileSizes, ElementsAre(rest));
    EXPECT_EQ(m_sink.LastReceived(), rest) << "the offset is not counted";
    EXPECT_EQ(m_sink.chunks.back().contentLength, rest);
    EXPECT_EQ(client.TotalRecv(), rest);
    const std::vector<NginxAccess> log = m_server.AccessLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].range, "bytes=" + std::to_string(resumeAt) + "-");
    EXPECT_EQ(log[0].status, 206);
    EXPECT_EQ(log[0].bytesSent, rest);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HttpSocketBoundaryTest,
                         testing::Values(BoundaryCase{"Signed32Bit", int64_t(1) << 31},
                                         BoundaryCase{"Unsigned32Bit", int64_t(1) << 32}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
