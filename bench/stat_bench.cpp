// Statistics client: the work of one report under the client's lock, from
// the device queries through the JSON text and sealing to a whole request
// against a server on 127.0.0.1.
#include "stat/DevInfo.h"
#include "stat/JsonBuilder.h"
#include "stat/Seal.h"
#include "stat/ZrStat.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

const std::wstring kKey = L"5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::wstring kIv = L"p8K#v2Lq!Wz7@Rt4";

// The registry store of this run: an empty one in the temporary folder.
void UseScratchRegistry() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("stat-bench-" + std::to_string(::getpid())))
            .string();
    std::filesystem::create_directories(path);
    ::setenv("PLAT_REGISTRY", (path + "/registry.db").c_str(), 1);
}

void BM_DeviceQueries(benchmark::State& state) {
    UseScratchRegistry();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ns_zr_stat::GetOsName());
        benchmark::DoNotOptimize(ns_zr_stat::GetOsType());
        benchmark::DoNotOptimize(ns_zr_stat::DeviceFingerprint());
        benchmark::DoNotOptimize(ns_zr_stat::GetIeVersion());
    }
}
BENCHMARK(BM_DeviceQueries);

void BM_EventDocumentToJson(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    for (auto _ : state) {
        ns_zr_stat::CJsonBuilder tree;
        tree.AddObject(L"dev_info");
        tree.Put(L"channel", L"10001");
        tree.Put(L"dev_name", L"8AB5CC6524C0D316E50ED45D0496D66C");
        tree.Up();
        tree.AddObject(L"event_log");
        for (int i = 0; i < events; ++i) {
            tree.AddElement();
            tree.Put(L"name", L"手机助手连接不上");
            tree.Put(L"lable", L"uninstfeedback");
            tree.Put(L"acttime", L"1700000000");
            tree.Put(L"num", L"1");
            tree.Up();
        }
        benchmark::DoNotOptimize(tree.ToJson());
    }
}
BENCHMARK(BM_EventDocumentToJson)->Arg(1)->Arg(6)->Arg(100);

void BM_SealPayload(benchmark::State& state) {
    const std::wstring doc(static_cast<size_t>(state.range(0)), L'a');
    for (auto _ : state) {
        benchmark::DoNotOptimize(ns_zr_stat::SealPayload(doc, kKey, kIv));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SealPayload)->Arg(300)->Arg(4096)->Arg(65536);

void BM_SyncReportOverLoopback(benchmark::State& state) {
    UseScratchRegistry();
    httplib::Server server;
    server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("ok", "text/plain");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ns_zr_stat::ZrStat stat;
    stat.Init();
    stat.GetConfig()->strBaseUrl = L"http://127.0.0.1:" + std::to_wstring(port) + L"/";
    stat.GetConfig()->strKey = kKey;
    for (auto _ : state) {
        if (!stat.SendEvent_Sync(L"InstallSuccess", L"1.1.8.305+10001")) {
            state.SkipWithError("report failed");
            break;
        }
    }
    server.stop();
    listener.join();
}
BENCHMARK(BM_SyncReportOverLoopback)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
