// Feeds arbitrary request URLs and documents to the statistics report
// decoder, the first thing a statistics server runs on what it receives.
// Any input must give a verdict, never a crash, a hang or an over-read; a
// document sealed with the right key must come back unchanged whenever the
// decoder accepts it.
#include "stat/ReportDecode.h"
#include "stat/Seal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
const std::string kKey = "5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::string kIv = "p8K#v2Lq!Wz7@Rt4";
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // As a request URL or a bare payload.
    ns_zr_stat::tagSTAT_DECODED decoded;
    ns_zr_stat::ENUM_DECODE_RESULT result = ns_zr_stat::DecodeReport(input, kKey, kIv, decoded);
    if (result == ns_zr_stat::DECODE_OK && decoded.strJson.empty()) {
        std::abort();
    }
    if (result != ns_zr_stat::DECODE_OK && decoded.strError.empty()) {
        std::abort();
    }

    // As a document: sealed and read back.
    std::string payload;
    if (!ns_zr_stat::SealBytes(input, kKey, kIv, payload)) {
        std::abort();
    }
    result = ns_zr_stat::DecodeReport("/tj.html?value=51_" + payload, kKey, kIv, decoded);
    if (result == ns_zr_stat::DECODE_OK && decoded.strJson != input) {
        std::abort();
    }
    if (!input.empty() && result == ns_zr_stat::DECODE_NOT_BASE64) {
        std::abort();
    }
    return 0;
}
