// Whole-file reads and writes and a bounded wait for a file, for the tests
// of both systems (tests/common/test_util.h and its Windows form).
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace testutil {

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// Waits (at most `limitMs`) until a file exists and is non-empty.
inline bool WaitForFile(const std::string& path, int limitMs = 5000) {
    for (int waited = 0; waited < limitMs; waited += 10) {
        std::error_code ec;
        if (std::filesystem::file_size(path, ec) > 0 && !ec)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace testutil
