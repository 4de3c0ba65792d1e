// Internal to plat/sys: the table behind file and process handles.
//
// Handles are small integers cast to HANDLE, handed out in increasing order
// and never reused. Objects are reference counted so that a thread still
// using one (a wait in progress) keeps it alive after CloseHandle.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>

#include "plat/sys/wintypes.h"

namespace plat::detail {

struct KernelObject {
    virtual ~KernelObject() = default;
};

// An open file descriptor from CreateFile; closed when the object goes.
struct FileObject : KernelObject {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    ~FileObject() override;
};

// A child process from ShellExecuteEx. `mutex` guards reaped/status; once
// reaped the pid is never waited for again. A child still running when the
// last handle goes is reaped in the background so it never lingers as a
// zombie.
struct ProcessObject : KernelObject {
    pid_t pid = -1;
    std::mutex mutex;
    bool reaped = false;
    int status = 0;
    ~ProcessObject() override;
};

// Adds an object; returns its new handle (never null or
// INVALID_HANDLE_VALUE).
HANDLE RegisterObject(std::shared_ptr<KernelObject> object);
// The object of a handle, or null.
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);
// Removes a handle from the table; returns its object or null.
std::shared_ptr<KernelObject> RemoveObject(HANDLE handle);

// Waits in the background for a child that nobody will wait for.
void ReapInBackground(pid_t pid);

} // namespace plat::detail
