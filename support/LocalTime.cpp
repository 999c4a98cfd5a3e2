#include "support/LocalTime.h"

#include <mutex>

std::tm LocalCalendar(int64_t secondsSince1970) {
    // std::localtime shares one result for the whole process: one caller at a
    // time, copying it out before the next.
    static std::mutex oneAtATime;
    const auto moment = static_cast<std::time_t>(secondsSince1970);
    std::lock_guard<std::mutex> lock(oneAtATime);
    const std::tm* local = std::localtime(&moment);
    return local ? *local : std::tm{};
}
