#include "update/LaunchConfig.h"

std::string GameExecutablePath(const std::string& installDir, const std::string& gameDir) {
    return installDir + "/" + gameDir + "/ADPackage/Ostrel.exe";
}

std::string InstallPackagePath(const LaunchConfig& config) {
    return config.m_szInstallDir + "/" + config.m_szPackName;
}
