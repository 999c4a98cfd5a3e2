// The argv or envp array that exec and posix_spawn take, pointing into
// strings that must outlive it.
#pragma once

#include <string>
#include <vector>

inline std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}
