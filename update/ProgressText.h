// Texts and numbers that a transfer's progress report shows.
#pragma once

#include <cstdint>
#include <string>

// "%.2f MB" above 1,048,576 bytes, else "%.2f KB".
std::string SizeText(int64_t bytes);

// received as a share of contentLength, in whole percent truncated toward zero
// and never above 100; 0 when the length is unknown (not positive).
int ProgressPercent(int64_t received, int64_t contentLength);
