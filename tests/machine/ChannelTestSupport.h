// Helpers of the tests that drive a program through the channel its layer serves in the machine folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <thread>

namespace channel_test {

// Waits (bounded, generously for the sanitizers) until the file exists: a target program leaves one
// once its channel serves.
inline bool WaitForFile(const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace channel_test
