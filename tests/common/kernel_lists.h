// What the kernel itself reports about this machine, read from /sys and
// /proc, so that tests can check the device queries against values computed
// another way than the code under test computes them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/common/cpu_signature.h"

namespace testutil {

inline std::string ReadFirstLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The network adapters in /sys/class/net: not the loopback, with a 6-byte
// hardware address, by name. Each entry is {name, "aa:bb:cc:dd:ee:ff"}.
inline std::vector<std::pair<std::string, std::string>> SysfsAdapters() {
    std::vector<std::pair<std::string, std::string>> adapters;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", error)) {
        std::string flags = ReadFirstLine(entry.path() / "flags");
        if (flags.empty() || (std::stoul(flags, nullptr, 16) & 0x8) != 0) {
            continue; // loopback
        }
        if (ReadFirstLine(entry.path() / "addr_len") != "6") {
            continue;
        }
        adapters.emplace_back(entry.path().filename().string(),
                              ReadFirstLine(entry.path() / "address"));
    }
    std::sort(adapters.begin(), adapters.end());
    return adapters;
}

// The first processor's entry of /proc/cpuinfo: its "key : value" lines.
inline std::map<std::string, std::string> CpuInfoFields() {
    std::map<std::string, std::string> fields;
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            break;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) {
            key.pop_back();
        }
        std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        fields.emplace(key, value);
    }
    return fields;
}

// The processor signature (identification function 1, EAX) rebuilt from the
// family, model and stepping the kernel shows; false when they are missing.
inline bool CpuSignatureFromCpuInfo(uint32_t& signature) {
    auto fields = CpuInfoFields();
    if (!fields.count("cpu family") || !fields.count("model") || !fields.count("stepping")) {
        return false;
    }
    const uint32_t family = uint32_t(std::stoul(fields["cpu family"]));
    const uint32_t model = uint32_t(std::stoul(fields["model"]));
    const uint32_t stepping = uint32_t(std::stoul(fields["stepping"]));
    signature = CpuSignature(family, model, stepping);
    return true;
}

// Feature flags of identification function 1 (EDX) that the kernel lists
// as they are: bit -> flag name.
inline std::vector<std::pair<int, std::string>> StableEdxFlags() {
    return {{0, "fpu"},  {4, "tsc"},   {8, "cx8"},  {15, "cmov"},
            {23, "mmx"}, {24, "fxsr"}, {25, "sse"}, {26, "sse2"}};
}

// The words of the kernel's "flags" line.
inline std::vector<std::string> CpuFlags() {
    std::vector<std::string> flags;
    std::istringstream in(CpuInfoFields()["flags"]);
    for (std::string word; in >> word;) {
        flags.push_back(word);
    }
    return flags;
}

} // namespace testutil
