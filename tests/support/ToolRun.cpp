#include "tests/support/ToolRun.h"

#include <sys/wait.h>

#include <cstdio>

namespace {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& argv) {
    std::string command = "timeout -k 5 60";
    for (const std::string& argument : argv) command += " " + ShellQuoted(argument);
    command += " </dev/null 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[256];
    size_t count;
    while ((count = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, count);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
