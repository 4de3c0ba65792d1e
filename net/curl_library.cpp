// Loading libcurl with dlopen on first use, behind one function table.
#include "net/curl_library.h"

#include <dlfcn.h>

#include <atomic>
#include <list>
#include <mutex>
#include <new>

const char* const kCurlLibraryFile = "libcurl.so.4";

namespace {

struct Loader {
    std::mutex mutex;
    std::string file = kCurlLibraryFile;
    bool tried = false; // a load of `file` was attempted (g_api set if it worked)
    // Every table handed out, kept as long as the process lives: a transfer
    // may still be using one after a test switched the library.
    std::list<CurlApi> tables;
};

Loader& TheLoader() {
    // Never destroyed: a report thread may still transfer while the process
    // ends.
    static Loader* loader = new Loader;
    return *loader;
}

std::atomic<const CurlApi*> g_api{nullptr};

template <class Fn> bool Resolve(void* library, const char* name, Fn*& fn) {
    fn = reinterpret_cast<Fn*>(dlsym(library, name));
    return fn != nullptr;
}

// Loads `file`, finds the functions and runs libcurl's global set-up (which
// must not run on two threads at once: the caller holds the loader's lock).
// The library is never unloaded.
const CurlApi* Load(Loader& loader, const std::string& file) {
    void* library = dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    CurlApi api{};
    if (!Resolve(library, "curl_global_init", api.global_init) ||
        !Resolve(library, "curl_easy_init", api.easy_init) ||
        !Resolve(library, "curl_easy_setopt", api.easy_setopt) ||
        !Resolve(library, "curl_easy_perform", api.easy_perform) ||
        !Resolve(library, "curl_easy_cleanup", api.easy_cleanup) ||
        api.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return nullptr;
    try {
        loader.tables.push_back(api);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return &loader.tables.back();
}

} // namespace

const CurlApi* Curl() {
    if (const CurlApi* api = g_api.load(std::memory_order_acquire))
        return api;
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> lock(loader.mutex);
    if (!loader.tried) {
        loader.tried = true;
        g_api.store(Load(loader, loader.file), std::memory_order_release);
    }
    return g_api.load(std::memory_order_relaxed);
}

void SetCurlLibraryFile(const std::string& file) {
    Loader& loader = TheLoader();
    std::lock_guard<std::mutex> lock(loader.mutex);
    loader.file = file.empty() ? kCurlLibraryFile : file;
    loader.tried = false;
    g_api.store(nullptr, std::memory_order_release);
}
