// The one HTTP POST that every report to the statistics service uses.
#pragma once

#include <string>

namespace telemetry {

// Empties response, POSTs body to url and appends the answer's body bytes to
// response. Blocking, with 10 s to connect and 10 s for the whole transfer.
// Returns the HTTP stack's result (0 for a completed exchange, whatever the
// HTTP status; libcurl's CURLcode on Linux), or -1 when none could be started.
int HttpPost(std::string& response, const std::string& url, const std::string& body);

}  // namespace telemetry
