// Polls a condition that another process makes true.
#pragma once

#include <chrono>
#include <thread>

// True as soon as condition() holds; false when limit passes first.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
