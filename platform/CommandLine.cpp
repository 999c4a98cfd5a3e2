#include "platform/Process.h"

namespace platform {

std::string JoinCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= commandLine.size()) {
        size_t end = commandLine.find(' ', start);
        if (end == std::string::npos) end = commandLine.size();
        if (end > start) pieces.push_back(commandLine.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace platform
