// libcurl linked into the program (the Windows build, where it is a static
// library with Schannel): the same function table, initialised once, on the
// first transfer.
#include "net/curl_library.h"

#include <atomic>
#include <mutex>

const char* const kCurlLibraryFile = "libcurl (linked into the program)";

namespace {

struct Linked {
    std::mutex mutex;
    bool initialised = false; // curl_global_init ran and succeeded
    bool failed = false;      // curl_global_init failed: no transfer can work
    bool disabled = false;    // a test named another library: none is had
};

Linked& TheLinked() {
    // Never destroyed: a report thread may still transfer while the process
    // ends.
    static Linked* linked = new Linked;
    return *linked;
}

const CurlApi kTable = {curl_global_init, curl_easy_init, curl_easy_setopt, curl_easy_perform,
                        curl_easy_cleanup};

std::atomic<const CurlApi*> g_api{nullptr};

} // namespace

const CurlApi* Curl() {
    if (const CurlApi* api = g_api.load(std::memory_order_acquire))
        return api;
    Linked& linked = TheLinked();
    std::lock_guard<std::mutex> lock(linked.mutex);
    if (linked.disabled || linked.failed)
        return nullptr;
    if (!linked.initialised) {
        // libcurl's global set-up must not run on two threads at once: the
        // lock is held.
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            linked.failed = true;
            return nullptr;
        }
        linked.initialised = true;
    }
    g_api.store(&kTable, std::memory_order_release);
    return &kTable;
}

void SetCurlLibraryFile(const std::string& file) {
    // Another library cannot be loaded in place of the linked one: naming
    // one makes every later transfer fail as without libcurl, an empty name
    // gives the linked one back.
    Linked& linked = TheLinked();
    std::lock_guard<std::mutex> lock(linked.mutex);
    linked.disabled = !file.empty();
    g_api.store(nullptr, std::memory_order_release);
}
