// Free space and mount points of folders.
#include "plat/sys/disk.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <vector>

#include "plat/sys/text.h"

namespace plat {

namespace {

// `path` made absolute (from the current folder) and lexically cleaned:
// no empty or "." components, ".." removes the component before it.
std::string AbsoluteClean(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        std::vector<char> cwd(PATH_MAX);
        if (::getcwd(cwd.data(), cwd.size()) == nullptr)
            return std::string();
        full = std::string(cwd.data()) + "/" + full;
    }
    std::vector<std::string> parts;
    std::stringstream stream(full);
    std::string part;
    while (std::getline(stream, part, '/')) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

// The nearest existing entry at or above `path` (absolute, clean); empty
// when there is none, or for a path that is not absolute (a relative path
// whose current folder has gone).
std::string NearestExisting(std::string path) {
    if (path.empty() || path[0] != '/')
        return std::string();
    struct stat st;
    while (::stat(path.c_str(), &st) != 0) {
        if (path == "/")
            return std::string();
        size_t slash = path.find_last_of('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return path;
}

// Undoes the octal escapes (\040 for a space) of /proc/self/mountinfo.
std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '7' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out +=
                char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool IsUnder(const std::string& path, const std::string& mount) {
    if (mount == "/")
        return true;
    return path.compare(0, mount.size(), mount) == 0 &&
           (path.size() == mount.size() || path[mount.size()] == '/');
}

// The longest mount point listed in /proc/self/mountinfo that holds `real`
// (a resolved path); empty when the table cannot be read.
std::string MountPointFromTable(const std::string& real) {
    std::ifstream table("/proc/self/mountinfo");
    if (!table)
        return std::string();
    std::string line, best;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, devices, root, mount;
        if (!(fields >> id >> parent >> devices >> root >> mount))
            continue;
        mount = UnescapeMountField(mount);
        if (IsUnder(real, mount) && mount.size() > best.size())
            best = mount;
    }
    return best;
}

// The mount point by walking up while the device stays the same.
std::string MountPointByDevice(std::string real) {
    struct stat st;
    if (::stat(real.c_str(), &st) != 0)
        return std::string();
    while (real != "/") {
        size_t slash = real.find_last_of('/');
        std::string parent = slash == 0 ? "/" : real.substr(0, slash);
        struct stat up;
        if (::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev)
            break;
        real = parent;
    }
    return real;
}

} // namespace

BOOL GetDiskFreeSpaceEx(LPCWSTR directory, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                        ULARGE_INTEGER* totalFree) {
    std::string path = WideToChsMultiByte(directory ? directory : L"");
    std::string existing = NearestExisting(AbsoluteClean(path.empty() ? "." : path));
    struct statvfs vfs;
    if (existing.empty() || ::statvfs(existing.c_str(), &vfs) != 0) {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    ULONGLONG fragment = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (freeToCaller)
        freeToCaller->QuadPart = ULONGLONG(vfs.f_bavail) * fragment;
    if (total)
        total->QuadPart = ULONGLONG(vfs.f_blocks) * fragment;
    if (totalFree)
        totalFree->QuadPart = ULONGLONG(vfs.f_bfree) * fragment;
    return TRUE;
}

std::wstring GetVolumePathString(std::wstring_view path) {
    std::string narrow = WideToChsMultiByte(path);
    std::string existing = NearestExisting(AbsoluteClean(narrow.empty() ? "." : narrow));
    if (existing.empty())
        return std::wstring();
    char* resolved = ::realpath(existing.c_str(), nullptr);
    if (resolved == nullptr)
        return std::wstring();
    std::string real = resolved;
    std::free(resolved);
    std::string mount = MountPointFromTable(real);
    if (mount.empty())
        mount = MountPointByDevice(real);
    if (mount.empty())
        return std::wstring();
    if (mount.back() != '/')
        mount += '/';
    return ChsMultiByteToWide(mount);
}

BOOL GetVolumePathName(LPCWSTR path, LPWSTR volumePath, DWORD size) {
    if (path == nullptr || volumePath == nullptr) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    std::wstring volume = GetVolumePathString(path);
    if (volume.empty()) {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    if (volume.size() >= size) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return FALSE;
    }
    std::wmemcpy(volumePath, volume.c_str(), volume.size() + 1);
    return TRUE;
}

} // namespace plat
