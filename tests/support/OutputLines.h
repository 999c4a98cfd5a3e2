// Checks of a program's output, taken line by line.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// The lines of text, each without its end (a CRLF end included).
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// True when lines holds expected in this order, other lines between them allowed.
inline bool HoldsInOrder(const std::vector<std::string>& lines,
                         const std::vector<std::string>& expected) {
    auto next = lines.begin();
    for (const std::string& wanted : expected) {
        next = std::find(next, lines.end(), wanted);
        if (next == lines.end()) return false;
        ++next;
    }
    return true;
}

inline bool Holds(const std::vector<std::string>& lines, const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}
