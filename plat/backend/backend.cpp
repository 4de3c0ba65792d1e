// Backend selection.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "plat/backend/backend.h"
#include "plat/backend/headless/headless.h"

namespace plat {

namespace headless {
const Backend& Table();
}

namespace {
const Backend* g_backend = nullptr;
}

const Backend& GetBackend() {
    static std::once_flag once;
    std::call_once(once, [] {
        // PLAT_BACKEND=x11 or a DISPLAY would choose the X11 backend; it is
        // not built yet, so every process runs headless.
        g_backend = &headless::Table();
        const char* sock = std::getenv("PLAT_AUTOMATION");
        if (sock && *sock)
            HeadlessStartAutomation(sock);
    });
    return *g_backend;
}

bool HeadlessActive() {
    return std::strcmp(GetBackend().name, "headless") == 0;
}

} // namespace plat
