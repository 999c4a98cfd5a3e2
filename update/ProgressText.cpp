#include "update/ProgressText.h"

#include <cstdio>

#include "update/ByteUnits.h"

std::string SizeText(int64_t bytes) {
    char text[64];
    if (bytes > kMegabyte) {
        snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / kMegabyte);
    } else {
        snprintf(text, sizeof text, "%.2f KB", static_cast<double>(bytes) / kKilobyte);
    }
    return text;
}

int ProgressPercent(int64_t received, int64_t contentLength) {
    if (contentLength <= 0) return 0;
    // The client may write a last chunk past Content-Length; the bar stops at
    // full.
    if (received >= contentLength) return 100;
    return static_cast<int>(received * 100 / contentLength);
}
