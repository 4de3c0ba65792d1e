// Choosing the store from the `--store` value.
#include "server/store.h"

namespace distd {

std::unique_ptr<ReportStore> OpenStore(const std::string& spec, StoreMode mode,
                                       std::string& error) {
    if (spec.compare(0, 13, "postgresql://") == 0 || spec.compare(0, 11, "postgres://") == 0) {
        return OpenPostgresStore(spec, mode, error);
    }
    const std::string path = spec.compare(0, 7, "sqlite:") == 0 ? spec.substr(7) : spec;
    if (path.empty()) {
        error = "store \"" + spec + "\": names no file";
        return nullptr;
    }
    return OpenSqliteStore(path, mode, error);
}

} // namespace distd
