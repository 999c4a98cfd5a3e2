// Shared pieces of the telemetry tests: a settings home of the test's own,
// the statistics stand-in and what it recorded, and a port nobody listens on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "tests/support/PythonServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

inline constexpr const char* kFakeMacText = "0A1B2C3D4E5F";

// One line of the stand-in's record file, as it writes it.
std::string RecordedRequest(const std::string& path, const std::string& body);

// The statistics stand-in with its record file.
class StatsStandin {
public:
    // status: what the stand-in answers every request with.
    explicit StatsStandin(int status = 200);
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_server.Port()); }
    // The record file's lines, one per request received.
    std::vector<std::string> Requests() const;
    void ForgetRequests() const;

private:
    TempDir m_dir;
    PythonServer m_server;
};

// A key of the settings store of the current test's own, under a
// configuration home that the test program set up in a temporary folder.
std::string TestKeyPath();

// The services of a report in the current test: the given statistics
// service, the test's own key and a fixed MAC text.
platform::Services TestReportServices(const std::string& statsUrl);
