// Micro-benchmarks of the configuration path: text conversion of a response
// body and ParseInstallConfig on a typical and on a near-limit response.
#include <string>

#include <benchmark/benchmark.h>

#include "app/install_config.h"
#include "net/http_transfer.h"
#include "net/text_convert.h"

namespace {

const std::string kTypical =
    "{\"code\":\"200\",\"msg\":\"ok\",\"data\":{\"sp\":\"1.0\",\"pdfver\":\"2.0.1\","
    "\"pdfname\":\"TarvexPDFConver_2.0.1.exe\",\"pdfdlurl\":\"http://127.0.0.1:8780/pkg/p.exe\","
    "\"pdfmd5\":\"0123456789ABCDEF0123456789ABCDEF\",\"dotnetmajorver\":\"4\","
    "\"dotnetname\":\"dotNetFx40_Full_x86_x64.exe\",\"dotnetparam\":\"/q /norestart\","
    "\"dotnetdlurl\":\"http://127.0.0.1:8780/pkg/d.exe\","
    "\"dotnetmd5\":\"fedcba9876543210fedcba9876543210\"}}";

void BM_AnsiToWideTypical(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(AnsiToWide(kTypical));
    }
}
BENCHMARK(BM_AnsiToWideTypical);

void BM_ParseTypical(benchmark::State& state) {
    const std::wstring text = AnsiToWide(kTypical);
    for (auto _ : state) {
        InstallConfig config;
        benchmark::DoNotOptimize(ParseInstallConfig(text, config));
    }
}
BENCHMARK(BM_ParseTypical);

void BM_ParseNearLimit(benchmark::State& state) {
    std::string padded = kTypical;
    padded.insert(1, "\"pad\":\"" + std::string(kMaxTextResponseBytes - kTypical.size() - 16, 'x') +
                         "\",");
    const std::wstring text = AnsiToWide(padded);
    for (auto _ : state) {
        InstallConfig config;
        benchmark::DoNotOptimize(ParseInstallConfig(text, config));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(padded.size()));
}
BENCHMARK(BM_ParseNearLimit);

} // namespace

BENCHMARK_MAIN();
