// Helpers for the demo package tests: each test gets a private folder and
// registry store, and runs a package as a child with its output captured.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/sys/text.h"
#include "tests/common/test_util.h"

namespace demotest {

using testutil::ScopedEnv;
using testutil::TempDir;

inline std::wstring W(const std::string& text) {
    return plat::Utf8ToWide(text);
}

struct RunResult {
    int exitCode = -1;  // -1: ended by a signal or not started
    std::string output; // stdout and stderr together
};

// Runs `program` with `arguments` through the shell, after `shellPrefix`
// (e.g. "ulimit -f 8; cd dir; ").
inline RunResult RunProgram(const std::string& program, const std::string& arguments,
                            const std::string& shellPrefix = "") {
    RunResult result;
    result.output = testutil::Run(shellPrefix + "exec '" + program + "' " + arguments + " 2>&1",
                                  result.exitCode);
    return result;
}

// The names in a folder, sorted; empty when it does not exist.
inline std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A private folder with its own registry store, set for this process and
// the packages it starts.
class PackageTest : public ::testing::Test {
protected:
    TempDir m_dir{"demo_test"};
    ScopedEnv m_registry{"PLAT_REGISTRY", m_dir / "registry.db"};
};

} // namespace demotest
