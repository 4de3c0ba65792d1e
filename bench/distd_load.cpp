// Report load for distd: seals N distinct launch reports as the statistics
// client does, then sends them from T threads over kept-alive connections
// and prints how many were answered 200 and the rate.
//
//   bench_distd_load PORT [reports] [threads]      defaults: 40000 8
#include "stat/Seal.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_distd_load PORT [reports] [threads]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int reports = argc > 2 ? std::atoi(argv[2]) : 40000;
    const int threads = argc > 3 ? std::atoi(argv[3]) : 8;
    const std::string key = "5b7d2e90a4c1f38e6d0b9a27c4e8f153";
    const std::string iv = "p8K#v2Lq!Wz7@Rt4";

    std::vector<std::string> targets(static_cast<size_t>(reports));
    for (int i = 0; i < reports; ++i) {
        char device[40];
        std::snprintf(device, sizeof(device), "%032d", i);
        const std::string doc =
            std::string("{\"dev_info\":{\"channel\":\"") + (i % 2 ? "10001" : "10086") +
            "\",\"os_name\":\"win7\",\"os_type\":\"64\",\"dev_name\":\"" + device +
            "\",\"ie_ver\":\"11\",\"ver\":\"1.1.8.305\",\"sim_id\":\"\"},\"act_log\":{"
            "\"open_time\":\"1700000000\",\"close_time\":\"0\"}}\n";
        std::string payload;
        if (!ns_zr_stat::SealBytes(doc, key, iv, payload)) {
            return 1;
        }
        targets[static_cast<size_t>(i)] = "//tj.html?value=51_" + payload;
    }

    std::atomic<int> ok{0};
    std::atomic<int> failed{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t) {
        senders.emplace_back([&, t] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_url_encode(false);
            client.set_read_timeout(30, 0);
            for (int i = t; i < reports; i += threads) {
                auto res = client.Get(targets[static_cast<size_t>(i)].c_str());
                if (res && res->status == 200) {
                    ++ok;
                } else {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("reports %d\nanswered %d\nfailed %d\nseconds %.3f\nrate %.0f\n", reports, ok.load(),
                failed.load(), seconds, ok.load() / seconds);
    return failed.load() == 0 ? 0 : 1;
}
