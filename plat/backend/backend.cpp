// Backend selection.
#include <mutex>

#include "plat/backend/backend.h"

namespace plat {

namespace headless {
const Backend& Table();
}

namespace {
const Backend* g_backend = nullptr;
}

const Backend& GetBackend() {
    static std::once_flag once;
    // PLAT_BACKEND=x11 or a DISPLAY would choose the X11 backend; it is not
    // built yet, so every process runs headless.
    std::call_once(once, [] { g_backend = &headless::Table(); });
    return *g_backend;
}

} // namespace plat
