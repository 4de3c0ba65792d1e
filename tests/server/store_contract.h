// The store tests both stores pass: each executable instantiates the
// parametrised suite StoreContract with the backends it can run (SQLite in
// the distd tests, PostgreSQL in the tests labelled pg).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "server/store.h"
#include "server/store_sql.h"

namespace distd_test {

// Where a fresh, empty store for one test lives, with raw access to it for
// what the interface does not show (old schemas, row contents).
class StoreBackend {
public:
    virtual ~StoreBackend() = default;
    // The --store value of this test's store (nothing made there yet).
    virtual std::string Spec() const = 0;
    virtual distd::SqlDialect Dialect() const = 0;
    // Runs statements on the store; false with the database's message.
    virtual bool RawExec(const std::string& sql, std::string& error) = 0;
    // The first column of the first row as an integer, -1 on failure.
    virtual long long RawScalar(const std::string& sql) = 0;
    // Sets the store's schema version as the store keeps it.
    virtual bool SetSchemaVersion(int version, std::string& error) = 0;
};

struct StoreParam {
    std::string name;
    std::function<std::unique_ptr<StoreBackend>()> make;
};

// Test names show the store's name, not the parameter's bytes.
inline void PrintTo(const StoreParam& param, std::ostream* out) {
    *out << param.name;
}

// A SQLite store in a temporary folder.
std::unique_ptr<StoreBackend> MakeSqliteBackend();

class StoreContract : public ::testing::TestWithParam<StoreParam> {
protected:
    void SetUp() override {
        m_backend = GetParam().make();
        ASSERT_TRUE(m_backend) << "no " << GetParam().name << " store for this test";
    }
    std::unique_ptr<distd::ReportStore> Open(distd::StoreMode mode = distd::StoreMode::ReadWrite) {
        std::string error;
        auto store = distd::OpenStore(m_backend->Spec(), mode, error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    StoreBackend& Backend() { return *m_backend; }

private:
    std::unique_ptr<StoreBackend> m_backend;
};

inline std::string StoreParamName(const ::testing::TestParamInfo<StoreParam>& info) {
    return info.param.name;
}

} // namespace distd_test
