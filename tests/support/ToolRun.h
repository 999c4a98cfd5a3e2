// A command-line tool that a test runs to its end, such as minisign or cmake.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
    int exitCode = -1;   // -1 when it did not end normally
    std::string output;  // standard output and error together
};

// Runs argv (argv[0] is looked up in PATH) with no input; a tool still
// running after a minute is stopped and its run counts as failed.
ToolRun RunTool(const std::vector<std::string>& argv);
