// What the device block of a report must hold on this Linux machine,
// computed from what the kernel reports rather than the way the client
// computes it.
#pragma once

#include <sys/utsname.h>

#include <cctype>
#include <string>

#include "tests/common/kernel_lists.h"
#include "tests/common/test_util.h"

namespace stat_test {

// No Windows version exists here: the client reports none.
inline std::string ExpectedOsName() {
    return std::string();
}

// The scratch registry of the tests has no Internet Explorer key: "0".
inline std::string ExpectedIeVersion() {
    return "0";
}

// The system's word size as the kernel names its machine: "64" or "32".
inline std::string KernelWordSize() {
    utsname info{};
    if (::uname(&info) != 0) {
        return std::string();
    }
    const std::string machine = info.machine;
    for (const char* wide : {"x86_64", "aarch64", "ppc64", "ppc64le", "s390x", "riscv64"}) {
        if (machine == wide) {
            return "64";
        }
    }
    return "32";
}

// The device fingerprint computed apart from the client: the kernel's first
// adapter address (upper case, '-' separated, zeros without one), "+", the
// processor text, hashed by the system's md5sum.
inline std::string ExpectedFingerprint(const std::wstring& cpuText) {
    const auto adapters = testutil::SysfsAdapters();
    std::string text = adapters.empty() ? "00:00:00:00:00:00" : adapters.front().second;
    for (char& c : text) {
        c = c == ':' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    text += "+" + std::string(cpuText.begin(), cpuText.end());
    testutil::TempDir dir;
    testutil::WriteAll(dir / "text", text);
    return testutil::Md5SumOf(dir / "text");
}

} // namespace stat_test
