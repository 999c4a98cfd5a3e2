// One volume with a given amount of free space.
#pragma once

#include <optional>
#include <string>

#include "platform/Volumes.h"

class FakeVolumes : public platform::IVolumes {
public:
    FakeVolumes(std::string mountPoint, std::optional<uint64_t> freeBytes)
        : m_mountPoint(std::move(mountPoint)), m_freeBytes(freeBytes) {}

    std::vector<platform::Volume> FixedVolumes() override { return {}; }
    std::optional<uint64_t> FreeBytes(const std::string&) override { return m_freeBytes; }
    std::string VolumeOf(const std::string&) override { return m_mountPoint; }

private:
    const std::string m_mountPoint;
    const std::optional<uint64_t> m_freeBytes;
};
