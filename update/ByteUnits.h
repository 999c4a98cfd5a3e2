// The binary units the launcher's texts speak in.
#pragma once

#include <cstdint>

inline constexpr int64_t kKilobyte = 1024;
inline constexpr int64_t kMegabyte = 1024 * kKilobyte;
inline constexpr int64_t kGigabyte = 1024 * kMegabyte;
