// Checks of a program's output, taken line by line.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

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
