// System services: registry operations on the SQLite store, text
// conversion, version lookup in an ELF file, command-line splitting.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "plat/sys/files.h"
#include "plat/sys/process.h"
#include "plat/sys/registry.h"
#include "plat/sys/text.h"
#include "plat/sys/version.h"

namespace {

// A private store for the run, removed afterwards.
struct BenchStore {
    std::string dir;
    BenchStore() {
        char pattern[] = "/tmp/plat_sys_bench_XXXXXX";
        dir = ::mkdtemp(pattern);
        ::setenv("PLAT_REGISTRY", (dir + "/registry.db").c_str(), 1);
    }
    ~BenchStore() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void BM_RegSetValue(benchmark::State& state) {
    BenchStore store;
    plat::HKEY key = nullptr;
    plat::RegCreateKey(plat::HKEY_LOCAL_MACHINE, L"Software\\TarvexPDFConver", &key);
    const std::wstring value = L"/opt/TarvexPDFConver";
    for (auto _ : state) {
        plat::LONG rc = plat::RegSetValueEx(key, L"installPath", 0, plat::REG_SZ,
                                            reinterpret_cast<const plat::BYTE*>(value.c_str()),
                                            plat::DWORD((value.size() + 1) * sizeof(wchar_t)));
        if (rc != plat::ERROR_SUCCESS)
            state.SkipWithError("set failed");
    }
    plat::RegCloseKey(key);
}
BENCHMARK(BM_RegSetValue);

void BM_RegQueryValue(benchmark::State& state) {
    BenchStore store;
    plat::HKEY key = nullptr;
    plat::RegCreateKey(plat::HKEY_LOCAL_MACHINE, L"Software\\TarvexPDFConver", &key);
    plat::DWORD one = 1;
    plat::RegSetValueEx(key, L"Install", 0, plat::REG_DWORD, reinterpret_cast<plat::BYTE*>(&one),
                        4);
    for (auto _ : state) {
        plat::DWORD value = 0, size = 4;
        plat::LONG rc = plat::RegQueryValueEx(key, L"install", nullptr, nullptr,
                                              reinterpret_cast<plat::BYTE*>(&value), &size);
        if (rc != plat::ERROR_SUCCESS)
            state.SkipWithError("query failed");
        benchmark::DoNotOptimize(value);
    }
    plat::RegCloseKey(key);
}
BENCHMARK(BM_RegQueryValue);

void BM_Utf8ToWide(benchmark::State& state) {
    std::string text;
    while (text.size() < size_t(state.range(0)))
        text += "TarvexPDFConver 选择一个文件夹 ";
    for (auto _ : state)
        benchmark::DoNotOptimize(plat::Utf8ToWide(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_Utf8ToWide)->Arg(256)->Arg(1 << 20);

void BM_GetFileVersionInfoSize(benchmark::State& state) {
    // This benchmark program has no resource section: the whole section
    // header table is scanned before the answer.
    std::wstring self = plat::GetModuleFileNameString();
    for (auto _ : state)
        benchmark::DoNotOptimize(plat::GetFileVersionInfoSize(self.c_str(), nullptr));
}
BENCHMARK(BM_GetFileVersionInfoSize);

void BM_SplitCommandLine(benchmark::State& state) {
    const std::wstring params = L"/S \"/D=/opt/Tarvex PDF\" /lang=zh\\\"cn a\\\\\\\"b";
    for (auto _ : state)
        benchmark::DoNotOptimize(plat::SplitCommandLine(params));
}
BENCHMARK(BM_SplitCommandLine);

} // namespace

BENCHMARK_MAIN();
