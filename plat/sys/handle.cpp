// The kernel object table behind file and process handles, and CloseHandle.
#include "plat/sys/handle.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <unordered_map>

#include "plat/sys/kernel_object.h"

namespace plat {
namespace detail {

namespace {

struct HandleTable {
    std::mutex mutex;
    uintptr_t next = 0x10000;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
};

HandleTable& Table() {
    // Never destroyed: handles may be closed from static destructors or
    // detached threads while the process exits.
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

FileObject::~FileObject() {
    if (fd >= 0)
        ::close(fd);
}

ProcessObject::~ProcessObject() {
    if (!reaped && pid > 0)
        ReapInBackground(pid);
}

void ReapInBackground(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // No thread available: the child stays a zombie until we exit,
        // which is harmless compared with failing the caller.
    }
}

HANDLE RegisterObject(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    uintptr_t id = table.next;
    table.next += 4;
    table.objects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> LookupObject(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveObject(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end())
        return nullptr;
    auto object = std::move(it->second);
    table.objects.erase(it);
    return object;
}

} // namespace detail

BOOL CloseHandle(HANDLE handle) {
    // The object is released outside the table lock (its destructor may
    // close a descriptor or start a reaper).
    std::shared_ptr<detail::KernelObject> object = detail::RemoveObject(handle);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return FALSE;
    }
    return TRUE;
}

} // namespace plat
