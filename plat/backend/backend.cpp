// Backend selection: an explicit choice (SelectBackend, PLAT_BACKEND), the
// automation (headless), a display (x11), or a clear stop.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>

#include "plat/backend/backend.h"

namespace plat {

namespace headless {
const Backend& Table();
}
#ifdef PLAT_HAVE_X11
namespace x11 {
// Opens the display named by DISPLAY; false (with the reason in `error`)
// when it cannot be reached.
bool Open(std::string* error);
const Backend& Table();
} // namespace x11
#endif

namespace {

std::mutex g_mutex;
std::atomic<const Backend*> g_backend{nullptr};

[[noreturn]] void Stop(const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
    std::fflush(nullptr);
    // Other threads may be running; ending here skips the static
    // destructors they could still be using.
    _exit(1);
}

// The backend of that name, opened; null with the reason in `error`.
const Backend* Make(const std::string& name, std::string* error) {
    if (name == "headless")
        return &headless::Table();
    if (name == "x11") {
#ifdef PLAT_HAVE_X11
        if (!x11::Open(error))
            return nullptr;
        return &x11::Table();
#else
        *error = "this build has no X11 display backend";
        return nullptr;
#endif
    }
    *error = "unknown display backend \"" + name + "\" in PLAT_BACKEND (use x11 or headless)";
    return nullptr;
}

const Backend& ChooseFromEnvironment() {
    const char* explicitChoice = std::getenv("PLAT_BACKEND");
    const char* automation = std::getenv("PLAT_AUTOMATION");
    const char* display = std::getenv("DISPLAY");
    std::string name;
    if (explicitChoice && *explicitChoice)
        name = explicitChoice;
    else if (automation && *automation)
        name = "headless";
    else if (display && *display)
        name = "x11";
    else
        Stop("no display to show windows on: run it in a graphical session (DISPLAY), or "
             "set PLAT_BACKEND=headless to run without one");
    std::string error;
    const Backend* b = Make(name, &error);
    if (!b)
        Stop(error);
    return *b;
}

} // namespace

const Backend& GetBackend() {
    if (const Backend* b = g_backend.load(std::memory_order_acquire))
        return *b;
    std::lock_guard<std::mutex> g(g_mutex);
    if (!g_backend.load())
        g_backend.store(&ChooseFromEnvironment(), std::memory_order_release);
    return *g_backend.load();
}

bool SelectBackend(const char* name) {
    if (!name)
        return false;
    std::lock_guard<std::mutex> g(g_mutex);
    if (const Backend* b = g_backend.load())
        return std::strcmp(b->name, name) == 0;
    std::string error;
    const Backend* b = Make(name, &error);
    if (b)
        g_backend.store(b, std::memory_order_release);
    return b != nullptr;
}

} // namespace plat
