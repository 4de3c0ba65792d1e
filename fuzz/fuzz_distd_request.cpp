// The two places where distd reads what a client sends byte for byte: a
// report's raw request target (query, payload, decryption, document shape)
// and a download's Range header. The first input byte picks which. Any
// input must give a verdict, never a crash, a hang or an over-read; a range
// that is served must lie inside the file; a document sealed with the right
// key and accepted must come back as sent.
#include "server/downloads.h"
#include "server/report_check.h"
#include "stat/Seal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const distd::ProductKey kProduct{"51", "5b7d2e90a4c1f38e6d0b9a27c4e8f153", "p8K#v2Lq!Wz7@Rt4"};

distd::ReportVerdict Check(const std::string& target) {
    return distd::CheckReport(
        target, [](const std::string& id) { return id == "51" ? &kProduct : nullptr; });
}

void CheckVerdict(const distd::ReportVerdict& verdict) {
    if (!verdict.ok && verdict.detail.empty()) {
        std::abort();
    }
    if (verdict.ok && verdict.report.document.empty()) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0: {
        // A raw request target as it arrives.
        CheckVerdict(Check(input));
        break;
    }
    case 1: {
        // A document, sealed with the product's key.
        std::string payload;
        if (!ns_zr_stat::SealBytes(input, kProduct.key, kProduct.iv, payload)) {
            std::abort();
        }
        const distd::ReportVerdict verdict = Check("//tj.html?value=51_" + payload);
        CheckVerdict(verdict);
        if (verdict.ok && verdict.report.document != input) {
            std::abort();
        }
        break;
    }
    default: {
        // A Range header against a file size taken from the input.
        uint64_t fileSize = 0;
        std::string header = input;
        if (header.size() >= 8) {
            std::memcpy(&fileSize, header.data(), 8);
            header.erase(0, 8);
            fileSize %= (uint64_t(1) << 50);
        }
        uint64_t first = 0;
        uint64_t last = 0;
        const distd::RangeKind kind = distd::ParseByteRange(header, fileSize, first, last);
        if (kind == distd::RangeKind::Partial && (first > last || last >= fileSize)) {
            std::abort();
        }
        break;
    }
    }
    return 0;
}
