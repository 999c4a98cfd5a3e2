// The one HTTP POST that every report to the statistics service uses.
#pragma once

#include <string>

namespace telemetry {

// Empties response, POSTs body to url and appends the answer's body bytes to
// response. Blocking, with 10 s to connect and 10 s for the whole transfer.
// Returns the libcurl result (0 is CURLE_OK, whatever the HTTP status), or -1
// when no libcurl handle could be created.
int HttpPost(std::string& response, const std::string& url, const std::string& body);

}  // namespace telemetry
