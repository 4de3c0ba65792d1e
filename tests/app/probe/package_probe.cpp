// A stand-in product package for the install engine tests: appends one line
// to the file named by $PROBE_LOG with its own name, its arguments (separated
// by '|') and the installPath registry value it reads, then exits with
// $PROBE_EXIT (0 when unset). The test serves a script that runs this
// program, so the engine downloads, verifies and launches a real package.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plat/sys/text.h"
#include "tests/app/probe/read_install_path.h"

int main(int argc, char** argv) {
    const char* log = std::getenv("PROBE_LOG");
    if (log == nullptr || argc < 2) {
        return 3;
    }
    std::string line = argv[1];
    line += " args=";
    for (int i = 2; i < argc; ++i) {
        line += (i > 2 ? "|" : "");
        line += argv[i];
    }
    line += " installPath=" + plat::WideToUtf8(tarvex_test::ReadInstallPath());
    FILE* out = std::fopen(log, "a");
    if (out == nullptr) {
        return 4;
    }
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
    const char* code = std::getenv("PROBE_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}
