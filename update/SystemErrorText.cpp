#include "update/SystemErrorText.h"

#include <cstring>

std::string SystemErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text, in buffer or in static storage.
    return strerror_r(error, buffer, sizeof buffer);
}
