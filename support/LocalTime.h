// The local calendar time of a moment, safe to ask from any thread.
#pragma once

#include <cstdint>
#include <ctime>

// The local date and time of secondsSince1970; all zero when the system
// cannot tell.
std::tm LocalCalendar(int64_t secondsSince1970);
