// Helpers of the distd tests: a package folder with a catalogue, report
// documents sealed as the statistics client seals them, and a running
// service on a free loopback port.
#pragma once

#include <cstdio>

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "server/service.h"
#include "server/spool.h"
#include "stat/Seal.h"
#include "tests/common/test_util.h"

namespace distd_test {

const std::string kKey = "5b7d2e90a4c1f38e6d0b9a27c4e8f153";
const std::string kIv = "p8K#v2Lq!Wz7@Rt4";

// A catalogue with product "51", a default channel and channel "10001".
inline std::string CatalogueJson(const std::string& extraChannels = "") {
    return R"({
  "package_dir": "packages",
  "products": [{"id": "51", "key": ")" +
           kKey + R"(", "iv": ")" + kIv + R"("}],
  "channels": [
    {"channel": "*", "releases": [
      {"product_version": "2.0.1", "package": "setup.exe",
       "dotnet": {"major_version": "4", "package": "dotnet.exe", "parameters": "/q /norestart"}}]},
    {"channel": "10001", "releases": [
      {"max_installer": "1.0.9", "product_version": "1.9", "package": "old.exe"},
      {"min_installer": "1.1", "product_version": "2.1.0", "package": "setup.exe"}]})" +
           extraChannels + R"(
  ]
})";
}

// A folder with packages/ (setup.exe, old.exe, dotnet.exe, a file no
// release names) and catalogue.json.
class CatalogueFolder {
public:
    CatalogueFolder() : m_dir("distd_test") {
        std::filesystem::create_directories(m_dir / "packages");
        testutil::WriteAll(m_dir / "packages/setup.exe", Bytes(200000, 7));
        testutil::WriteAll(m_dir / "packages/old.exe", "old package\n");
        testutil::WriteAll(m_dir / "packages/dotnet.exe", "dotnet package\n");
        testutil::WriteAll(m_dir / "packages/unlisted.exe", "not in the catalogue\n");
        testutil::WriteAll(m_dir / "secret.txt", "secret outside the package folder\n");
        WriteCatalogue(CatalogueJson());
    }
    void WriteCatalogue(const std::string& json) { testutil::WriteAll(Catalogue(), json); }
    std::string Catalogue() const { return m_dir / "catalogue.json"; }
    std::string Store() const { return m_dir / "distd.db"; }
    std::string operator/(const std::string& name) const { return m_dir / name; }

    // Deterministic bytes.
    static std::string Bytes(size_t n, unsigned seed) {
        std::string data(n, '\0');
        for (size_t i = 0; i < n; ++i) {
            data[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 8)) & 0xFF);
        }
        return data;
    }

private:
    testutil::TempDir m_dir;
};

// A report document as the statistics client writes it.
// A distinct 32-digit device name for the i-th report of a load.
inline std::string Device(int i) {
    char text[40];
    std::snprintf(text, sizeof(text), "%032d", i);
    return text;
}

inline std::string DevInfo(const std::string& channel, const std::string& version,
                           const std::string& device = "0123456789ABCDEF0123456789ABCDEF") {
    return "\"dev_info\":{\"channel\":\"" + channel +
           "\",\"os_name\":\"win7\",\"os_type\":\"64\",\"dev_name\":\"" + device +
           "\",\"ie_ver\":\"11\",\"ver\":\"" + version + "\",\"sim_id\":\"\"}";
}
inline std::string LaunchDoc(const std::string& channel, const std::string& version,
                             const std::string& device = "0123456789ABCDEF0123456789ABCDEF") {
    return "{" + DevInfo(channel, version, device) +
           ",\"act_log\":{\"open_time\":\"1700000000\",\"close_time\":\"0\"}}\n";
}
inline std::string ExitDoc(const std::string& channel, const std::string& version) {
    return "{" + DevInfo(channel, version) +
           ",\"act_log\":{\"open_time\":\"1700000000\",\"close_time\":\"1700000100\"}}\n";
}
inline std::string EventDoc(const std::string& channel, const std::string& version,
                            const std::string& label, const std::string& name) {
    return "{" + DevInfo(channel, version) + ",\"event_log\":[{\"name\":\"" + name +
           "\",\"lable\":\"" + label + "\",\"acttime\":\"1700000050\",\"num\":\"1\"}]}\n";
}

// The request target of a sealed document.
inline std::string ReportTarget(const std::string& doc, const std::string& product = "51",
                                const std::string& key = kKey) {
    std::string payload;
    EXPECT_TRUE(ns_zr_stat::SealBytes(doc, key, kIv, payload));
    return "/tj.html?value=" + product + "_" + payload;
}

// The service on a free loopback port with its store in the folder.
class RunningService {
public:
    explicit RunningService(const CatalogueFolder& folder,
                            std::function<void(distd::ServiceOptions&)> adjust = nullptr) {
        distd::ServiceOptions options;
        options.catalogue = folder.Catalogue();
        options.store = folder.Store();
        options.spool = folder / "distd.spool"; // a PostgreSQL store's too
        options.port = 0;
        if (adjust) {
            adjust(options);
        }
        m_service = std::make_unique<distd::Service>(options);
        std::string error;
        m_started = m_service->Start(error);
        EXPECT_TRUE(m_started) << error;
    }
    bool Started() const { return m_started; }
    distd::Service& operator*() { return *m_service; }
    distd::Service* operator->() { return m_service.get(); }
    httplib::Client Client() const {
        httplib::Client client("127.0.0.1", m_service->Port());
        client.set_read_timeout(20, 0);
        client.set_url_encode(false); // targets go out exactly as written
        return client;
    }
    std::string Url(const std::string& path) const { return m_service->BaseUrl() + path; }

private:
    std::unique_ptr<distd::Service> m_service;
    bool m_started = false;
};

inline distd::Figures ReadFigures(distd::ReportStore& store, int64_t now = 1700000000) {
    distd::Figures figures;
    std::string error;
    EXPECT_TRUE(store.ReadFigures(now, 30, 50, figures, error)) << error;
    return figures;
}

inline int64_t RejectCount(const distd::Figures& figures, const std::string& reason) {
    for (const auto& item : figures.rejectsByReason) {
        if (item.reason == reason) {
            return item.count;
        }
    }
    return 0;
}

// The device names of every report in a store.
inline std::set<std::string> StoredDevices(const std::string& path) {
    // Opening for writing first lets SQLite recover the log of a killed
    // writer, as the next distd would.
    std::string error;
    EXPECT_TRUE(distd::OpenSqliteStore(path, distd::StoreMode::ReadWrite, error)) << error;
    std::set<std::string> devices;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT dev_name FROM reports", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        devices.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return devices;
}

// A spool in a temporary folder, opened again on demand (as a restarted
// distd would).
class TestSpool {
public:
    explicit TestSpool(uint64_t maxBytes = 64ull << 20) : m_maxBytes(maxBytes) { Reopen(); }
    distd::Spool& operator*() { return *m_spool; }
    distd::Spool* operator->() { return m_spool.get(); }
    std::string Path() const { return m_dir / "reports.spool"; }
    std::string operator/(const std::string& name) const { return m_dir / name; }
    void Close() { m_spool.reset(); }
    distd::Spool& Reopen() {
        m_spool.reset();
        std::string error;
        m_spool = distd::Spool::Open(Path(), m_maxBytes, error);
        EXPECT_TRUE(m_spool) << error;
        return *m_spool;
    }

private:
    testutil::TempDir m_dir{"distd_spool"};
    uint64_t m_maxBytes;
    std::unique_ptr<distd::Spool> m_spool;
};

// Store items as the intake makes them: a checked report received at
// `receivedAt`, a rejected report with its reason; and a write of several
// in one transaction.
inline distd::StoreItem Report(const std::string& doc, int64_t receivedAt) {
    const std::shared_ptr<distd::ProductKey> product =
        std::make_shared<distd::ProductKey>(distd::ProductKey{"51", kKey, kIv});
    distd::ReportVerdict verdict = distd::CheckReport(
        ReportTarget(doc), [product](const std::string&) { return product.get(); });
    EXPECT_TRUE(verdict.ok) << verdict.detail;
    distd::StoreItem item;
    item.receivedAt = receivedAt;
    item.source = "127.0.0.1";
    item.report = verdict.report;
    return item;
}

inline distd::StoreItem Reject(distd::RejectReason reason, int64_t receivedAt) {
    distd::StoreItem item;
    item.rejected = true;
    item.reason = reason;
    item.receivedAt = receivedAt;
    item.source = "127.0.0.2";
    item.detail = "detail";
    item.raw = "/tj.html?value=raw";
    return item;
}

inline bool WriteAll(distd::ReportStore& store, const std::vector<distd::StoreItem>& items) {
    std::vector<const distd::StoreItem*> pointers;
    for (const auto& item : items) {
        pointers.push_back(&item);
    }
    std::string error;
    const bool ok = store.Write(pointers, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

} // namespace distd_test
