// What one frame of the window shows: the percentage and the three status
// texts drawn along the circle.
#pragma once

#include <cstdint>
#include <string>

struct FrameState {
    int32_t percent = 0;
    std::string status;
    std::string detail;
    std::string size;
};
