// bench_net: the pieces of the download comparison that run inside our own
// code, driven by bench/compare_net.sh, which runs the same work with curl
// and md5sum side by side and prints the ratios.
//
//   bench_net serve <file>           serve <file> at /file on 127.0.0.1; prints
//                                    the port, runs until stdin closes
//   bench_net download <url> <out>   DownloadToFile with the install engine's
//                                    progress sink attached; prints seconds,
//                                    MiB/s and peak memory above the start
//   bench_net md5 <file>             FileMd5Hex; prints seconds and the digest
//   bench_net md5mem <file>          the MD5 alone (Crypto++, 1 MiB updates)
//                                    over <file> read into memory first;
//                                    prints seconds: the most FileMd5Hex
//                                    can reach
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include <httplib.h>

#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/md5.h>

#include "app/install_config.h"
#include "app/install_engine.h"
#include "net/http_transfer.h"
#include "net/text_convert.h"
#include "plat/sys/handle.h"

namespace {

// Resident and peak resident set sizes of this process in KiB.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0) {
            return std::stol(line.substr(length + 1));
        }
    }
    return -1;
}

// Stands in for the install window: keeps the newest value the way the
// window coalesces progress, without a window.
class CountingView : public IInstallView {
public:
    void SetProgress(int value) override {
        m_last.store(value, std::memory_order_relaxed);
        ++m_calls;
    }
    void ShowFailure(const std::wstring&) override {}
    void InstallDone() override {}
    int last() const { return m_last.load(); }
    long calls() const { return m_calls; }

private:
    std::atomic<int> m_last{0};
    long m_calls = 0;
};

int Serve(const char* file) {
    std::ifstream probe(file, std::ios::binary | std::ios::ate);
    if (!probe) {
        std::fprintf(stderr, "bench_net: cannot open %s\n", file);
        return 1;
    }
    const size_t size = static_cast<size_t>(probe.tellg());
    httplib::Server server;
    server.Get("/file", [file, size](const httplib::Request&, httplib::Response& res) {
        auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
        res.set_content_provider(size, "application/octet-stream",
                                 [in](size_t offset, size_t length, httplib::DataSink& sink) {
                                     static thread_local std::string buffer(256 * 1024, '\0');
                                     in->seekg(static_cast<std::streamoff>(offset));
                                     const size_t n = std::min(length, buffer.size());
                                     in->read(&buffer[0], static_cast<std::streamsize>(n));
                                     const std::streamsize got = in->gcount();
                                     return got > 0 &&
                                            sink.write(buffer.data(), static_cast<size_t>(got));
                                 });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "bench_net: cannot bind\n");
        return 1;
    }
    std::thread listener([&server] { server.listen_after_bind(); });
    std::printf("%d\n", port);
    std::fflush(stdout);
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    server.stop();
    listener.join();
    return 0;
}

int Download(const char* url, const char* out) {
    const long startKiB = StatusKiB("VmRSS:");
    CountingView view;
    InstallPackage package;
    package.type = L"1";
    package.owner = &view;
    g_packageCount = 1;
    g_progressBase = 100;
    const auto start = std::chrono::steady_clock::now();
    DownloadPackage(&package, url, out);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peakKiB = StatusKiB("VmHWM:");
    std::ifstream result(out, std::ios::binary | std::ios::ate);
    const double bytes = result ? static_cast<double>(result.tellg()) : 0.0;
    std::printf("seconds %.3f\nMiB/s %.1f\nbytes %.0f\nprogress_last %d\nprogress_calls %ld\n"
                "peak_above_start_KiB %ld\n",
                seconds, bytes / (1024.0 * 1024.0) / seconds, bytes, view.last(), view.calls(),
                peakKiB - startKiB);
    return view.last() == 100 ? 0 : 1;
}

int Md5(const char* file) {
    const auto start = std::chrono::steady_clock::now();
    const std::wstring digest = FileMd5Hex(AnsiToWide(std::string(file)));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seconds %.3f\ndigest %s\n", seconds, WideToAnsi(digest).c_str());
    return digest.empty() ? 1 : 0;
}

int Md5InMemory(const char* file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        return 1;
    }
    constexpr size_t kStep = 1024 * 1024;
    const auto start = std::chrono::steady_clock::now();
    CryptoPP::Weak::MD5 md5;
    for (size_t at = 0; at < bytes.size(); at += kStep) {
        md5.Update(reinterpret_cast<const CryptoPP::byte*>(bytes.data()) + at,
                   std::min(kStep, bytes.size() - at));
    }
    CryptoPP::byte digest[CryptoPP::Weak::MD5::DIGESTSIZE];
    md5.Final(digest);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seconds %.3f\n", seconds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "serve") == 0) {
        return Serve(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "download") == 0) {
        return Download(argv[2], argv[3]);
    }
    if (argc == 3 && std::strcmp(argv[1], "md5") == 0) {
        return Md5(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "md5mem") == 0) {
        return Md5InMemory(argv[2]);
    }
    std::fprintf(stderr, "usage: bench_net serve <file> | download <url> <out> | md5 <file> | "
                         "md5mem <file>\n");
    return 2;
}
