// Helpers shared by the Windows test executables (the Windows build puts
// this file in place of tests/common/test_util.h): private temporary
// folders, environment variables restored after a scope, whole-file reads
// and writes, bounded waits for files, the process's peak memory and
// running commands.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
// After <windows.h>, whose types it uses.
#include <psapi.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "tests/common/file_util.h"

namespace testutil {

// A fresh folder in the temporary folder, removed with its contents
// afterwards. Paths use '/', which Windows accepts as well.
class TempDir {
public:
    explicit TempDir(const char* prefix = "tarvex_test") {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const std::filesystem::path candidate =
                base / (std::string(prefix) + "_" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, ec))
                m_path = candidate.generic_string();
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Sets (or with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = ::getenv(name))
            m_old = old;
        ::_putenv_s(name, value ? value->c_str() : "");
    }
    ~ScopedEnv() { ::_putenv_s(m_name.c_str(), m_old ? m_old->c_str() : ""); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// The process's peak working set in KiB. Windows keeps no peak that can be
// reset: ResetPeakResident trims the working set, and a measure taken from
// the peak so far can only come out smaller than the growth since; each
// test runs in a process of its own, whose peak before the step is small.
inline long PeakResidentKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)))
        return -1;
    return long(counters.PeakWorkingSetSize / 1024);
}
inline bool ResetPeakResident() {
    return ::SetProcessWorkingSetSize(::GetCurrentProcess(), SIZE_T(-1), SIZE_T(-1)) != 0;
}

// Runs a command through the command interpreter; returns its standard
// output and sets `exitCode` (-1 when it could not be started).
inline std::string Run(const std::string& command, int& exitCode) {
    std::string output;
    FILE* pipe = ::_popen(command.c_str(), "rb");
    if (pipe == nullptr) {
        exitCode = -1;
        return output;
    }
    char buffer[512];
    size_t n;
    while ((n = ::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, n);
    exitCode = ::_pclose(pipe);
    return output;
}

} // namespace testutil
