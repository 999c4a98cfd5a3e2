// Signed install packages with the real launcher: it runs only a package that
// its built-in key vouches for, asked of the server that served the package.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "BuildConstants.h"
#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/e2e/WaitUntil.h"
#include "tests/support/OutputLines.h"
#include "tests/support/ToolRun.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 120s;
const std::vector<std::string> kDownloadFailedMessages = {"下载游戏安装包失败!请重新尝试",
                                                          "vorn_ad2.exe", "-1"};

std::string SamplePackage() {
    return ReadFile(VORN_E2E_SAMPLE_PACKAGE);
}

std::string SampleSignature() {
    return ReadFile(std::string(VORN_E2E_SAMPLE_PACKAGE) + ".minisig");
}

// A folder that nginx serves, with a package and a signature of the test's
// choosing under the names the launcher asks for.
class ServedFolder {
public:
    ServedFolder(const std::string& package, const std::optional<std::string>& signature) {
        std::filesystem::create_directories(m_dir.Path() + "/download");
        WriteFile(PackagePath(), package);
        if (signature) WriteFile(PackagePath() + ".minisig", *signature);
    }
    const std::string& Path() const { return m_dir.Path(); }
    std::string PackagePath() const { return m_dir.Path() + PackageTarget(); }

private:
    TempDir m_dir;
};

// The signature minisign writes for the sample package with the secret key
// at keyPath, with extra options (such as -l for the legacy form).
std::string SignSample(const std::string& keyPath, const TempDir& work,
                       const std::vector<std::string>& options = {}) {
    std::vector<std::string> argv{
        VORN_E2E_MINISIGN,      "-S", "-s", keyPath, "-m", VORN_E2E_SAMPLE_PACKAGE, "-x",
        work / "sample.minisig"};
    argv.insert(argv.end(), options.begin(), options.end());
    const ToolRun run = RunTool(argv);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return ReadFile(work / "sample.minisig");
}

class SignatureTest : public ::testing::Test {
protected:
    std::string Log() const { return ReadFile(sandbox.LogPath()); }

    void ExpectSampleGameInstalled() const {
        EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME));
        EXPECT_FALSE(FileExists(sandbox.TempPackagePath()));
    }

    // Nothing ran: the failure messages, the service page, no game, and no
    // byte of a refused package kept for a later run (a server that could not
    // be reached at all may leave the temporary file empty, as ever).
    void ExpectNothingRan(const ProgramRun& run) const {
        EXPECT_EQ(run.ExitCode(), 0);
        EXPECT_TRUE(HoldsInOrder(run.StderrLines(), kDownloadFailedMessages)) << run.Stderr();
        EXPECT_EQ(sandbox.OpenedPage(), build::kServicePageUrl);
        EXPECT_FALSE(FileExists(sandbox.GamePath()));
        EXPECT_FALSE(FileExists(sandbox.PackagePath()));
        EXPECT_EQ(ReadFile(sandbox.TempPackagePath()), "");
    }

    LauncherSandbox sandbox;
    TempDir work;
};

TEST_F(SignatureTest, ASignedPackageIsVerifiedThenRun) {
    const ServedFolder good(SamplePackage(), SampleSignature());
    const auto primary = StartDownloadServer(PrimaryPort(), good.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    EXPECT_NE(
        Log().find("[NOTE ] [DownLoadThread]\tDownLoadFile:signature " +
                   std::string(build::kGamePackUrl) + "/vorn_ad2.exe.minisig: signature by key"),
        std::string::npos)
        << Log();
    EXPECT_NE(Log().find("verified, trusted comment: Quorvane 3D sample package"),
              std::string::npos);
}

// The primary serves a package with one byte changed, beside the good file's
// signature: it is refused and deleted, and the backup's good one runs.
TEST_F(SignatureTest, AChangedPackageIsNeverRunAndTheBackupsIs) {
    std::string changed = SamplePackage();
    changed[changed.size() / 2] ^= 0x01;
    const ServedFolder tampered(changed, SampleSignature());
    const ServedFolder good(SamplePackage(), SampleSignature());
    const auto primary = StartDownloadServer(PrimaryPort(), tampered.Path());
    const auto backup = StartDownloadServer(BackupPort(), good.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    EXPECT_NE(
        Log().find("[ERROR] [DownLoadThread]\tDownLoadFile:signature " +
                   std::string(build::kGamePackUrl) + "/vorn_ad2.exe.minisig: signature by key"),
        std::string::npos)
        << Log();
    EXPECT_NE(Log().find("does not match the package"), std::string::npos) << Log();
    const std::vector<NginxAccess> fromBackup = backup->AccessLog(2);
    ASSERT_EQ(fromBackup.size(), 2u);
    EXPECT_EQ(fromBackup[0].range, "-") << "the refused bytes are never resumed";
}

TEST_F(SignatureTest, WithoutASignatureNothingRuns) {
    const ServedFolder unsigned_(SamplePackage(), std::nullopt);
    const auto primary = StartDownloadServer(PrimaryPort(), unsigned_.Path());
    const auto backup = StartDownloadServer(BackupPort(), unsigned_.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectNothingRan(*run);
    EXPECT_FALSE(FileExists(sandbox.TempPackagePath()));
    EXPECT_NE(Log().find("no signature file beside the package"), std::string::npos) << Log();
}

TEST_F(SignatureTest, APackageSignedWithAnotherKeyIsRefusedNamingTheKey) {
    const ToolRun keys = RunTool(
        {VORN_E2E_MINISIGN, "-G", "-W", "-p", work / "other.pub", "-s", work / "other.key"});
    ASSERT_EQ(keys.exitCode, 0) << keys.output;
    // minisign names the key at the end of the first line: "... public key <id>".
    const std::string firstLine =
        ReadFile(work / "other.pub").substr(0, ReadFile(work / "other.pub").find('\n'));
    const std::string otherId = firstLine.substr(firstLine.rfind(' ') + 1);
    const ServedFolder foreign(SamplePackage(), SignSample(work / "other.key", work));
    const auto primary = StartDownloadServer(PrimaryPort(), foreign.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectNothingRan(*run);
    EXPECT_NE(Log().find("signature made with key " + otherId + ", not ours"), std::string::npos)
        << Log();
}

TEST_F(SignatureTest, ALegacySignatureIsRefusedSayingWhy) {
    const ServedFolder legacy(SamplePackage(), SignSample(VORN_E2E_SECRET_KEY, work, {"-l"}));
    const auto primary = StartDownloadServer(PrimaryPort(), legacy.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectNothingRan(*run);
    EXPECT_NE(Log().find("legacy signature (minisign -l) refused"), std::string::npos) << Log();
}

// A signature file of 1 GiB is refused by its announced length: the launcher
// reads none of it.
TEST_F(SignatureTest, AHugeSignatureFileIsNotRead) {
    const ServedFolder huge(SamplePackage(), std::nullopt);
    { WriteFile(huge.PackagePath() + ".minisig", ""); }
    ASSERT_EQ(truncate((huge.PackagePath() + ".minisig").c_str(), 1LL << 30), 0);
    const auto primary = StartDownloadServer(PrimaryPort(), huge.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectNothingRan(*run);
    EXPECT_NE(Log().find("RecvHttpFile() 正文过长 1073741824 > 4096"), std::string::npos) << Log();
    EXPECT_NE(Log().find("signature file larger than 4096 bytes"), std::string::npos) << Log();
}

// A temporary file whose kept part was changed in an earlier run is resumed,
// refused with the whole, and fetched again from byte 0.
TEST_F(SignatureTest, ATamperedPrefixIsRefusedThenFetchedWhole) {
    std::string prefix = SamplePackage().substr(0, 100000);
    prefix[50] ^= 0x01;
    WriteFile(sandbox.TempPackagePath(), prefix);
    const ServedFolder good(SamplePackage(), SampleSignature());
    const auto primary = StartDownloadServer(PrimaryPort(), good.Path());
    const auto backup = StartDownloadServer(BackupPort(), good.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    const std::vector<NginxAccess> fromPrimary = primary->AccessLog(2);
    ASSERT_EQ(fromPrimary.size(), 2u);
    EXPECT_EQ(fromPrimary[0].range, "bytes=100000-");
    const std::vector<NginxAccess> fromBackup = backup->AccessLog(2);
    ASSERT_EQ(fromBackup.size(), 2u);
    EXPECT_EQ(fromBackup[0].range, "-");
}

// A script that leaves marker behind when it runs: bytes nobody signed.
std::string WriteOtherBytes(const std::string& path, const std::string& marker) {
    WriteFile(path, "#!/bin/sh\n: > '" + marker + "'\n");
    chmod(path.c_str(), 0755);
    return path;
}

// "/drip" answers with the file at path: whole at once, or after holdMs.
std::string FileAnswer(const std::string& path, int holdMs = 0) {
    return "/drip?every=0&bytes=1048576&hold=" + std::to_string(holdMs) + "&path=" + path;
}

// The host restarts a launcher while it checks the package it has just
// received. Its successor must wait for the temporary file: taken over at
// once, a resume answered with other bytes would change the file between the
// check and the start. Here the predecessor's signature is held a moment and
// the successor's longer, so the predecessor moves its package into place and
// runs it while the successor still checks what it got.
TEST_F(SignatureTest, BytesWrittenWhileThePackageIsCheckedNeverRun) {
    const std::string marker = work / "other-bytes-ran";
    const std::string other = WriteOtherBytes(work / "other.exe", marker);
    const std::string signature = std::string(VORN_E2E_SAMPLE_PACKAGE) + ".minisig";
    // Through the host the primary is asked for the package's disguised name.
    const std::string target = DisguisedPackageTarget();
    const auto primary = StartRoutedServer(PrimaryPort(),
                                           {{target, FileAnswer(VORN_E2E_SAMPLE_PACKAGE)},
                                            {target, FileAnswer(other)},
                                            {target + ".minisig", FileAnswer(signature, 3000)},
                                            {target + ".minisig", FileAnswer(signature, 6000)}},
                                           work / "primary.log");
    sandbox.UseHostLibrary("stopdelay 8000\nready\nsleep 500\nrestart second\n");
    WriteFile(sandbox.Root() + "/host-script.second", "ready\n");

    const auto run = sandbox.Start({"PROCPARA=first"});

    ASSERT_TRUE(run->WaitForExit(kRunLimit)) << run->Stderr();
    const auto installed = [&] {
        return ReadFile(sandbox.GamePath()) == ReadFile(VORN_E2E_SAMPLE_GAME);
    };
    WaitUntil([&] { return installed() || FileExists(marker); }, kRunLimit);
    EXPECT_FALSE(FileExists(marker)) << "bytes nobody checked ran";
    EXPECT_TRUE(installed()) << "the predecessor did not install the package it checked\n"
                             << Log();
    EXPECT_EQ(sandbox.OpenedPage(kRunLimit), build::kServicePageUrl)
        << "the successor did not give up on the other bytes";
    EXPECT_NE(Log().find("does not match the package"), std::string::npos) << Log();
}

// A redirect answered by another redirect is a failed attempt, not a
// package: a package an earlier run left in the install folder is never run
// in its place.
TEST_F(SignatureTest, ALeftoverPackageNeverRunsAfterRedirectsThatLeadNowhere) {
    const std::string marker = work / "leftover-ran";
    WriteOtherBytes(sandbox.PackagePath(), marker);
    std::vector<std::unique_ptr<PythonServer>> servers;
    for (const uint16_t port : {PrimaryPort(), BackupPort()}) {
        const std::string here = "http://127.0.0.1:" + std::to_string(port);
        servers.push_back(
            StartRoutedServer(port,
                              {{PackageTarget(), "/status?code=302&location=" + here + "/again"},
                               {"/again", "/status?code=302&location=" + here + PackageTarget()}},
                              work / ("server-" + std::to_string(port) + ".log")));
    }

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_TRUE(HoldsInOrder(run->StderrLines(), kDownloadFailedMessages)) << run->Stderr();
    EXPECT_EQ(sandbox.OpenedPage(), build::kServicePageUrl);
    EXPECT_FALSE(FileExists(marker)) << "the leftover ran";
    EXPECT_FALSE(FileExists(sandbox.GamePath()));
}

// A launcher built without a key runs packages unchecked, as always, and
// never asks for a signature.
TEST(UnsignedBuildTest, AsksForNoSignature) {
    LauncherSandbox sandbox(VORN_E2E_UNSIGNED_LAUNCHER);
    const ServedFolder bare(SamplePackage(), std::nullopt);
    const auto primary = StartDownloadServer(PrimaryPort(), bare.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME));
    // The installer ran after the package's last byte and ended the run, so
    // any request for a signature would have come before it.
    const std::vector<NginxAccess> requests = primary->AccessLog(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
}

}  // namespace
