// Fuzz target: the mount table as the kernel writes it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Volumes.h"
#include "tests/support/FuzzCheck.h"

namespace {

// The kernel's escapes for the bytes that would break a field or a line.
std::string EscapeField(const std::string& field) {
    static constexpr char kOctal[] = "01234567";
    std::string escaped;
    for (char c : field) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            const auto byte = static_cast<unsigned char>(c);
            escaped += '\\';
            escaped += kOctal[byte >> 6];
            escaped += kOctal[(byte >> 3) & 7];
            escaped += kOctal[byte & 7];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string MountTableOf(const std::vector<platform::Volume>& volumes) {
    std::string table;
    int id = 20;
    for (const platform::Volume& volume : volumes) {
        table += std::to_string(id++) + " 1 8:1 / " + EscapeField(volume.mountPoint) +
                 " rw,relatime shared:1 - " + EscapeField(volume.fsType) + " " +
                 EscapeField(volume.device) + " rw\n";
    }
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<platform::Volume> volumes = platform::ParseMountInfo(input);
    for (const platform::Volume& volume : volumes) {
        FUZZ_CHECK(!volume.mountPoint.empty() && !volume.device.empty() && !volume.fsType.empty());
    }
    // The entries written back the way the kernel writes them read the same.
    const std::vector<platform::Volume> again = platform::ParseMountInfo(MountTableOf(volumes));
    FUZZ_CHECK(again.size() == volumes.size());
    for (size_t i = 0; i < volumes.size(); ++i) {
        FUZZ_CHECK(again[i].mountPoint == volumes[i].mountPoint);
        FUZZ_CHECK(again[i].device == volumes[i].device);
        FUZZ_CHECK(again[i].fsType == volumes[i].fsType);
    }
    return 0;
}
