// The events the stand-in host library sends, read from a small script file:
//   ready | notice | signal          the three plain events
//   sleep <ms>                       a pause
//   waitfor <file>                   a pause until file exists, so that a test
//                                    decides when the next event goes out
//   boss <n>                         boss key, 4-byte little-endian payload n
//   bossbyte <n>                     boss key, the single payload byte n
//   restart <text>                   restart with the rest of the line as parameters
//   type12 | type <n>                a message of type 12 or n with no payload
//   oversized <type> <length>        a message with length payload bytes (A..Z repeated)
//   log <file>                       record in file the object's calls (a refused one
//                                    followed by " refused") and the events it sent
//   stopdelay <ms>                   Stop takes this long to return, as a platform
//                                    object that closes its connection may
// Blank lines and lines starting with "#" are skipped.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct ScriptStep {
    enum class Kind { Ready, Notice, Signal, Sleep, WaitFor, Message };
    Kind kind = Kind::Ready;
    unsigned sleepMs = 0;         // Sleep
    std::string awaitedFile;      // WaitFor
    std::vector<uint8_t> record;  // Message: header and payload
    std::string line;             // the script line, for the log
};

struct Script {
    std::string logFile;       // empty: nothing is recorded
    unsigned stopDelayMs = 0;  // how long Stop takes
    std::vector<ScriptStep> steps;
};

// Parses a script; lines it does not understand are reported on stderr and skipped.
Script ParseScript(std::istream& in);
// The script in the file named by VORN_HOST_SCRIPT; without one, "sleep 300"
// then "ready".
Script LoadScriptFromEnvironment();
// The script for a start with these parameters, when a file named like
// VORN_HOST_SCRIPT followed by "." and the parameter text exists: a launcher
// that restarts itself with new parameters meets a script of its own.
std::optional<Script> LoadScriptForParameters(const std::string& parameters);

}  // namespace standin
