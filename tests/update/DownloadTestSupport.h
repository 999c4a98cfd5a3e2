// What the download tests share: a worker in install mode with its own
// install folder, run against real servers on loopback.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"
#include "tests/update/FakeUpdateHost.h"
#include "update/DownLoadThread.h"

// size bytes of the misbehaving server's pattern, byte(i) = i % 251.
inline std::string PatternBody(size_t size, size_t start = 0) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((start + i) % 251);
    return body;
}

class DownloadFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char buffer[PATH_MAX];
        ASSERT_TRUE(getcwd(buffer, sizeof buffer));
        m_startDir = buffer;
        // The client writes error-head dumps and the job deletes localVer.dat
        // in the current folder: both stay inside the test's own.
        ASSERT_EQ(chdir(work.Path().c_str()), 0);
        mkdir(installDir.c_str(), 0755);
        host.config.m_szInstallDir = installDir;
        host.config.m_szGameDir = "vorn";
        host.config.m_szPackName = "vorn_ad2.exe";
        host.config.m_szLocalVerFile = "localVer.dat";
        host.config.m_nMode = MODE_INSTALL;
    }
    void TearDown() override { ASSERT_EQ(chdir(m_startDir.c_str()), 0); }

    void UseServers(const std::string& primary, const std::string& backup,
                    const std::string& primaryAddress = "", const std::string& backupAddress = "") {
        host.config.m_szGamePackUrl = primary;
        host.config.m_szGamePackUrlBak = backup;
        host.config.m_szGamePackAddr = primaryAddress;
        host.config.m_szGamePackAddrBak = backupAddress;
    }

    // Runs the install job until its thread has handed over and ended.
    void RunPackageJob() {
        DownLoadThread worker(host, services);
        worker.PrepareJob();
        ASSERT_TRUE(worker.Start());
        worker.Join();
    }

    // A folder that nginx serves, holding the package under both names.
    std::string ServeFolderWith(const std::string& content) {
        const std::string root = work / "www";
        mkdir(root.c_str(), 0755);
        WriteFile(root + "/vorn_ad2.exe", content);
        WriteFile(root + "/vorn_ad2.vorn123", content);
        return root;
    }

    TempDir work;
    const std::string installDir = work / "install";
    const std::string tempPath = installDir + "/0.bak";
    const std::string targetPath = installDir + "/vorn_ad2.exe";
    FakeUpdateHost host;
    platform::Services services = TestServices();  // tests replace parts before the run

private:
    std::string m_startDir;
};
