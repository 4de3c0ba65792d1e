// Helpers shared by the test executables: private temporary folders,
// environment variables restored after a scope, whole-file reads and
// writes, bounded waits for files and running shell commands.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/common/file_util.h"

namespace testutil {

// A fresh folder under /tmp, removed with its contents afterwards (even
// when a test took away its owner's permissions).
class TempDir {
public:
    explicit TempDir(const char* prefix = "tarvex_test") {
        std::string pattern = std::string("/tmp/") + prefix + "_XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        m_path = made ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
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
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Makes the current folder one that has been removed, for one scope, so
// that relative paths resolve to nothing; the old folder is restored.
class GoneCurrentFolder {
public:
    GoneCurrentFolder() {
        std::error_code ec;
        m_old = std::filesystem::current_path(ec);
        std::string pattern = "/tmp/tarvex_gone_XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        m_ok = made != nullptr && ::chdir(made) == 0 && ::rmdir(made) == 0;
    }
    ~GoneCurrentFolder() {
        std::error_code ec;
        std::filesystem::current_path(m_old, ec);
    }
    GoneCurrentFolder(const GoneCurrentFolder&) = delete;
    GoneCurrentFolder& operator=(const GoneCurrentFolder&) = delete;
    bool Ok() const { return m_ok; }

private:
    std::filesystem::path m_old;
    bool m_ok = false;
};

// The process's peak resident memory in KiB (VmHWM), and its reset to the
// current resident size, so that a test can measure what one step adds.
inline long PeakResidentKiB() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}
inline bool ResetPeakResident() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return bool(out);
}

// Runs a shell command; returns its standard output and sets `exitCode`
// (-1 when it could not be started or did not exit normally).
inline std::string Run(const std::string& command, int& exitCode);

// The MD5 of a file as the system's md5sum computes it, in upper case;
// empty when md5sum fails.
inline std::string Md5SumOf(const std::string& path) {
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    int exitCode = -1;
    std::string out = Run("md5sum " + quoted, exitCode);
    if (exitCode != 0 || out.size() < 32)
        return std::string();
    out.resize(32);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

inline std::string Run(const std::string& command, int& exitCode) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        exitCode = -1;
        return output;
    }
    char buffer[512];
    size_t n;
    while ((n = ::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, n);
    int status = ::pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

} // namespace testutil
