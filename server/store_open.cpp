// Choosing the store from the `--store` value, and its spool's place.
#include "server/spool.h"
#include "server/store.h"

namespace distd {

namespace {

bool IsServerUri(const std::string& spec) {
    return spec.compare(0, 13, "postgresql://") == 0 || spec.compare(0, 11, "postgres://") == 0;
}

std::string SqlitePath(const std::string& spec) {
    return spec.compare(0, 7, "sqlite:") == 0 ? spec.substr(7) : spec;
}

} // namespace

std::string DefaultSpoolPath(const std::string& storeSpec) {
    if (IsServerUri(storeSpec) || SqlitePath(storeSpec).empty()) {
        return "distd.spool";
    }
    return SqlitePath(storeSpec) + ".spool";
}

std::unique_ptr<ReportStore> OpenStore(const std::string& spec, StoreMode mode,
                                       std::string& error) {
    if (IsServerUri(spec)) {
        return OpenPostgresStore(spec, mode, error);
    }
    const std::string path = SqlitePath(spec);
    if (path.empty()) {
        error = "store \"" + spec + "\": names no file";
        return nullptr;
    }
    return OpenSqliteStore(path, mode, error);
}

} // namespace distd
