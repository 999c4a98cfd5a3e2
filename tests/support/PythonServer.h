// One of the scripted servers of tools/test-servers, started for a test: it
// prints its port when ready, and is stopped when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

// Path of a file in tools/test-servers.
std::string TestServerFile(const std::string& name);

class PythonServer {
public:
    // Runs "python3 tools/test-servers/<script> args..." and waits for its port.
    PythonServer(const std::string& script, const std::vector<std::string>& args = {});

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by target.
    std::string Url(const std::string& target) const;

private:
    ChildProcess m_process;
    uint16_t m_port = 0;
};
