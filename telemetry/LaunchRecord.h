// The launch record: reported once per user account that the launcher has
// started on this machine, with its MAC text and the system's version class.
#pragma once

#include "platform/Services.h"

namespace telemetry {

inline constexpr const char* kLaunchRecordPath = "/data/pcLaunchRecord.do";
// REG_DWORD in the game's key: 1 once a record has been delivered.
inline constexpr const char* kReportSignValue = "report_sign";

// Returns at once. Unless a record has been delivered before, starts a
// detached thread that delivers one; true when that thread was started. A
// process that ends meanwhile loses only that record, and the next start
// tries again. The thread keeps a copy of services; what its pointers name
// must outlive it.
bool SendLaunchRecord(int osClass, const platform::Services& services);

// The record thread's body: one POST of "mac=<MAC text>&os=<osClass>" to the
// statistics service, and "report_sign" set to 1 when the transfer
// completed, whatever the HTTP status. Returns HttpPost's result.
int DeliverLaunchRecord(int osClass, const platform::Services& services);

}  // namespace telemetry
