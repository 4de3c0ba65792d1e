// statdecode: prints the JSON document sealed into a statistics request URL
// (or into its payload alone).
//
//   statdecode [-k KEY] [-i IV] URL|PAYLOAD|-
//
// KEY and IV are the texts of the reporting client's settings; the IV
// defaults to the client's default IV, the key must be given. "-" reads the
// URL from the first line of standard input. Exit status: 0 with the
// document on standard output; 1 when the report cannot be decoded (the
// reason on standard error); 2 for wrong usage.
#include "stat/ReportDecode.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

const char kDefaultIv[] = "p8K#v2Lq!Wz7@Rt4";

int Usage() {
    std::fputs("usage: statdecode -k KEY [-i IV] URL|PAYLOAD|-\n"
               "  prints the JSON document of a statistics request URL\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string key;
    std::string iv = kDefaultIv;
    std::string input;
    bool haveKey = false;
    bool haveInput = false;
    for (int i = 1; i < argc; ++i) {
        if ((std::strcmp(argv[i], "-k") == 0 || std::strcmp(argv[i], "--key") == 0) &&
            i + 1 < argc) {
            key = argv[++i];
            haveKey = true;
        } else if ((std::strcmp(argv[i], "-i") == 0 || std::strcmp(argv[i], "--iv") == 0) &&
                   i + 1 < argc) {
            iv = argv[++i];
        } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            Usage();
            return 0;
        } else if (!haveInput && (argv[i][0] != '-' || std::strcmp(argv[i], "-") == 0)) {
            input = argv[i];
            haveInput = true;
        } else {
            return Usage();
        }
    }
    if (!haveKey || !haveInput) {
        return Usage();
    }
    if (input == "-") {
        if (!std::getline(std::cin, input)) {
            std::fputs("statdecode: nothing on standard input\n", stderr);
            return 1;
        }
        while (!input.empty() && (input.back() == '\r' || input.back() == ' ')) {
            input.pop_back();
        }
    }
    ns_zr_stat::tagSTAT_DECODED decoded;
    ns_zr_stat::ENUM_DECODE_RESULT result = ns_zr_stat::DecodeReport(input, key, iv, decoded);
    if (result != ns_zr_stat::DECODE_OK) {
        std::fprintf(stderr, "statdecode: %s: %s\n", ns_zr_stat::DecodeResultName(result),
                     decoded.strError.c_str());
        return 1;
    }
    std::fwrite(decoded.strJson.data(), 1, decoded.strJson.size(), stdout);
    return 0;
}
