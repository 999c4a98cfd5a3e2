// A body no stage needs to see is moved by the kernel straight from the
// connection into the temporary file; where it cannot be, it is read and
// written as ever, and a file that refuses the bytes fails the body.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "net/HttpSocket.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestServices.h"
#include "tests/update/FakeVolumes.h"
#include "update/RoomGuardSink.h"
#include "update/TempFileSink.h"

namespace {

constexpr size_t kPackageSize = 3 * 1024 * 1024 + 17;

class BodyMoveTest : public testing::Test {
protected:
    BodyMoveTest() : m_workingDirectory(m_dir.Path()) {
        std::filesystem::create_directory(m_dir / "www");
        WriteFile(m_dir / "www/vorn_ad2.exe", m_package);
    }

    // One request into the file at path through the guard and the temporary
    // file, as the launcher's unsigned chain does.
    HttpResult Fetch(CHttpSocket& client, const std::string& url, const std::string& path,
                     bool* ranOutOfRoom) {
        TempFileSink file(path);
        EXPECT_TRUE(file.Opened());
        RoomGuardSink room(file, file.Size(), -1, m_roomyVolume, m_dir.Path());
        const HttpResult result = client.RequestFile(url, "", file.Size(), &room);
        *ranOutOfRoom = room.RanOutOfRoom();
        return result;
    }

    TempDir m_dir;
    const std::string m_package = RandomBytes(kPackageSize);
    ScopedWorkingDirectory m_workingDirectory;
    RecordingSink m_sink;
    FakeVolumes m_roomyVolume{"/", uint64_t{1} << 40};
    const platform::Services m_services = TestServices();
};

TEST_F(BodyMoveTest, PlainAndSecureBodiesArriveWholeAndResume) {
    const NginxServer plain(m_dir / "www");
    const NginxServer secure(m_dir / "www", NginxOptions{.tls = TestCertificates().good});
    for (const NginxServer* server : {&plain, &secure}) {
        SCOPED_TRACE(server->Url(""));
        RecordingSink progress;
        CHttpSocket client(&progress, m_services, HttpTimeouts{},
                           platform::TlsSettings{TestCertificates().caFile});
        const std::string out = m_dir / "0.bak";
        WriteFile(out, m_package.substr(0, 1000));
        bool ranOutOfRoom = false;
        EXPECT_EQ(Fetch(client, server->Url("/vorn_ad2.exe"), out, &ranOutOfRoom), HttpResult::Ok);
        EXPECT_TRUE(ReadFile(out) == m_package) << ReadFile(out).size() << " bytes";
        EXPECT_EQ(client.TotalRecv(), int64_t(kPackageSize) - 1000);
        EXPECT_EQ(progress.LastReceived(), int64_t(kPackageSize) - 1000);
        EXPECT_FALSE(ranOutOfRoom);
        // Plain bytes were moved past the client; TLS bytes it had to decrypt.
        EXPECT_EQ(progress.Data().size(), server == &plain ? 0u : kPackageSize - 1000);
    }
}

// A volume of 1 MiB fills up under the moved bytes (the guard is told the
// volume is roomy, so that the volume itself refuses them).
TEST_F(BodyMoveTest, AVolumeThatRefusesMovedBytesFailsTheBodyForWantOfRoom) {
    if (getuid() != 0) GTEST_SKIP() << "a volume of the test's own needs root";
    const std::string volume = m_dir / "volume";
    std::filesystem::create_directory(volume);
    ASSERT_EQ(MountSmallVolume(volume, 1024 * 1024), "");
    const NginxServer plain(m_dir / "www");
    CHttpSocket client(&m_sink, m_services);
    bool ranOutOfRoom = false;

    const HttpResult result =
        Fetch(client, plain.Url("/vorn_ad2.exe"), volume + "/0.bak", &ranOutOfRoom);

    EXPECT_EQ(result, HttpResult::BodyFailed);
    EXPECT_TRUE(ranOutOfRoom) << "the partial file would be resumed";
    EXPECT_LT(ReadFile(volume + "/0.bak").size(), kPackageSize);
    umount2(volume.c_str(), MNT_DETACH);
}

}  // namespace
