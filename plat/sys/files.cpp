// Module path, special folders, and files opened through handles.
#include "plat/sys/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "plat/sys/internal.h"
#include "plat/sys/kernel_object.h"
#include "plat/sys/text.h"

namespace plat {

namespace detail {

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return DWORD(ERROR_FILE_NOT_FOUND);
    case ENOTDIR:
    case ENAMETOOLONG:
        return DWORD(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ELOOP:
    case ETXTBSY:
        return DWORD(ERROR_ACCESS_DENIED);
    case EEXIST:
        return DWORD(ERROR_ALREADY_EXISTS);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DWORD(ERROR_DISK_FULL);
    case ENOMEM:
        return DWORD(ERROR_NOT_ENOUGH_MEMORY);
    case EBADF:
        return DWORD(ERROR_INVALID_HANDLE);
    case EINVAL:
        return DWORD(ERROR_INVALID_PARAMETER);
    default:
        return DWORD(ERROR_GEN_FAILURE);
    }
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    std::vector<char> buffer(16384);
    struct passwd pwd;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pwd, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

bool CreateFolders(const std::string& path, unsigned mode) {
    if (path.empty())
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0) {
        if (!CreateFolders(path.substr(0, slash), mode))
            return false;
    }
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
        return false;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace detail

namespace {

// The value GetModuleHandle(nullptr) answers: the classic image base, which
// is never a valid pointer we hand out elsewhere.
HMODULE const kExecutableModule = reinterpret_cast<HMODULE>(uintptr_t(0x400000));

std::string Narrow(LPCWSTR path) {
    return WideToChsMultiByte(path ? path : L"");
}

// Copies `text` into a Win32 buffer of `size` characters.
// Returns the copied length, or 0 when it does not fit (Win32's size rules
// differ per function, so callers handle that case themselves).
bool FitsBuffer(const std::wstring& text, DWORD size) {
    return text.size() < size_t(size);
}

} // namespace

std::wstring GetModuleFileNameString() {
    std::vector<char> buffer(512);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::wstring();
        if (size_t(n) < buffer.size())
            return ChsMultiByteToWide(std::string(buffer.data(), size_t(n)));
        if (buffer.size() >= (1u << 20))
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

HMODULE GetModuleHandle(LPCWSTR moduleName) {
    if (moduleName == nullptr)
        return kExecutableModule;
    SetLastError(DWORD(ERROR_MOD_NOT_FOUND));
    return nullptr;
}

DWORD GetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size) {
    if (module != nullptr && module != kExecutableModule) {
        SetLastError(DWORD(ERROR_MOD_NOT_FOUND));
        return 0;
    }
    if (buffer == nullptr && size > 0) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    std::wstring path = GetModuleFileNameString();
    if (path.empty()) {
        SetLastError(DWORD(ERROR_FILE_NOT_FOUND));
        return 0;
    }
    if (size == 0) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    if (!FitsBuffer(path, size)) {
        std::wmemcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = L'\0';
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return size;
    }
    std::wmemcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(DWORD(ERROR_SUCCESS));
    return DWORD(path.size());
}

std::wstring GetTempPathString() {
    std::string folder;
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && tmpdir[0] == '/') {
        folder = tmpdir;
    } else {
        const char* cache = std::getenv("XDG_CACHE_HOME");
        std::string base;
        if (cache && cache[0] == '/') {
            base = cache;
        } else {
            std::string home = detail::HomeFolder();
            if (home.empty())
                return std::wstring();
            base = home + "/.cache";
        }
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
        folder = base + "/plat-tmp";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();

    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT || !detail::CreateFolders(folder, 0700))
            return std::wstring();
        if (::lstat(folder.c_str(), &st) != 0)
            return std::wstring();
    }
    // A folder we made for the user must stay private: refuse one that is
    // someone else's or has been replaced by a link. $TMPDIR is the user's
    // own choice and may be shared (like /tmp) or a link.
    if (tmpdir == nullptr || tmpdir[0] != '/') {
        if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            return std::wstring();
        if ((st.st_mode & 077) != 0)
            ::chmod(folder.c_str(), 0700);
    } else if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return std::wstring();
    }
    if (folder != "/")
        folder += '/';
    return ChsMultiByteToWide(folder);
}

DWORD GetTempPath(DWORD size, LPWSTR buffer) {
    std::wstring path = GetTempPathString();
    if (path.empty()) {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return 0;
    }
    if (!FitsBuffer(path, size) || buffer == nullptr)
        return DWORD(path.size() + 1);
    std::wmemcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}

std::wstring SHGetSpecialFolderPathString(int csidl, bool create) {
    if (csidl & CSIDL_FLAG_CREATE) {
        create = true;
        csidl &= ~CSIDL_FLAG_CREATE;
    }
    std::string folder;
    if (csidl == CSIDL_PROGRAM_FILES || csidl == CSIDL_PROGRAM_FILESX86) {
        if (detail::RunningAsRoot()) {
            folder = "/opt";
        } else {
            std::string home = detail::HomeFolder();
            if (home.empty())
                return std::wstring();
            folder = home + "/.local/opt";
        }
    } else if (csidl == CSIDL_PROFILE) {
        folder = detail::HomeFolder();
        if (folder.empty())
            return std::wstring();
    } else if (csidl == CSIDL_DESKTOP) {
        const char* desktop = std::getenv("XDG_DESKTOP_DIR");
        if (desktop && desktop[0] == '/') {
            folder = desktop;
        } else {
            std::string home = detail::HomeFolder();
            if (home.empty())
                return std::wstring();
            folder = home + "/Desktop";
        }
    } else {
        return std::wstring();
    }
    if (create && !detail::CreateFolders(folder, 0755))
        return std::wstring();
    return ChsMultiByteToWide(folder);
}

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int csidl, BOOL create) {
    if (path == nullptr) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    std::wstring folder = SHGetSpecialFolderPathString(csidl, create != FALSE);
    if (folder.empty()) {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    if (!FitsBuffer(folder, MAX_PATH)) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return FALSE;
    }
    std::wmemcpy(path, folder.c_str(), folder.size() + 1);
    return TRUE;
}

BOOL PathFileExists(LPCWSTR path) {
    if (path == nullptr || path[0] == L'\0')
        return FALSE;
    struct stat st;
    return ::stat(Narrow(path).c_str(), &st) == 0 ? TRUE : FALSE;
}

BOOL CreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    if (path == nullptr || path[0] == L'\0') {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    if (::mkdir(Narrow(path).c_str(), 0777) != 0) {
        int error = errno;
        SetLastError(error == ENOENT ? DWORD(ERROR_PATH_NOT_FOUND) : detail::ErrorFromErrno(error));
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFile(LPCWSTR path) {
    if (path == nullptr || path[0] == L'\0') {
        SetLastError(DWORD(ERROR_FILE_NOT_FOUND));
        return FALSE;
    }
    std::string narrow = Narrow(path);
    struct stat st;
    if (::lstat(narrow.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(DWORD(ERROR_ACCESS_DENIED));
        return FALSE;
    }
    if (::unlink(narrow.c_str()) != 0) {
        SetLastError(detail::ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

namespace {

HANDLE OpenFile(const std::string& path, DWORD access, DWORD disposition) {
    if (path.empty() || (access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        SetLastError(DWORD(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER));
        return INVALID_HANDLE_VALUE;
    }
    bool wantRead = (access & GENERIC_READ) != 0;
    bool wantWrite = (access & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    flags |= wantRead && wantWrite ? O_RDWR : (wantWrite ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return INVALID_HANDLE_VALUE;
    }
    if ((flags & O_TRUNC) && !wantWrite) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return INVALID_HANDLE_VALUE;
    }
    struct stat before;
    bool existed = ::lstat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        SetLastError(DWORD(ERROR_ACCESS_DENIED));
        return INVALID_HANDLE_VALUE;
    }
    // Never block on a FIFO or device that has no reader.
    int fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0) {
        int error = errno;
        DWORD code = detail::ErrorFromErrno(error);
        if (error == EEXIST)
            code = DWORD(ERROR_FILE_EXISTS);
        if (error == ENOENT && disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING)
            code = DWORD(ERROR_PATH_NOT_FOUND); // the folder is missing
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastError(DWORD(ERROR_ACCESS_DENIED));
        return INVALID_HANDLE_VALUE;
    }
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);

    auto object = std::make_shared<detail::FileObject>();
    object->fd = fd;
    object->canRead = wantRead;
    object->canWrite = wantWrite;
    HANDLE handle = detail::RegisterObject(object);
    bool reportExisting = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(DWORD(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS));
    return handle;
}

std::shared_ptr<detail::FileObject> LookupFile(HANDLE handle) {
    return std::dynamic_pointer_cast<detail::FileObject>(detail::LookupObject(handle));
}

} // namespace

HANDLE CreateFile(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                  DWORD, HANDLE) {
    return OpenFile(Narrow(path), access, disposition);
}

HANDLE CreateFile(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                  HANDLE) {
    return OpenFile(path ? path : "", access, disposition);
}

namespace detail {

int DescriptorOfHandlePath(const std::string& path) {
    const std::string prefix = kFileHandlePathPrefix;
    if (path.size() <= prefix.size() || path.size() > prefix.size() + 9 ||
        path.compare(0, prefix.size(), prefix) != 0)
        return -1;
    int fd = 0;
    for (size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9')
            return -1;
        fd = fd * 10 + (path[i] - '0');
    }
    return fd;
}

} // namespace detail

HANDLE ReOpenFile(HANDLE original, DWORD access, DWORD, DWORD) {
    auto object = LookupFile(original);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return INVALID_HANDLE_VALUE;
    }
    bool wantRead = (access & GENERIC_READ) != 0;
    bool wantWrite = (access & GENERIC_WRITE) != 0;
    if (!wantRead && !wantWrite) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return INVALID_HANDLE_VALUE;
    }
    // Opening the descriptor's /proc entry gives a new open file description
    // of the same file (even one whose name has gone), with its own position.
    int flags = O_CLOEXEC | O_NOCTTY;
    flags |= wantRead && wantWrite ? O_RDWR : (wantWrite ? O_WRONLY : O_RDONLY);
    const std::string self = "/proc/self/fd/" + std::to_string(object->fd);
    int fd = ::open(self.c_str(), flags);
    if (fd < 0) {
        SetLastError(detail::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto reopened = std::make_shared<detail::FileObject>();
    reopened->fd = fd;
    reopened->canRead = wantRead;
    reopened->canWrite = wantWrite;
    SetLastError(DWORD(ERROR_SUCCESS));
    return detail::RegisterObject(reopened);
}

std::wstring GetFileHandlePath(HANDLE file) {
    auto object = LookupFile(file);
    if (!object)
        return std::wstring();
    return Utf8ToWide(std::string(detail::kFileHandlePathPrefix) + std::to_string(object->fd));
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, DWORD* written, LPVOID overlapped) {
    if (written)
        *written = 0;
    auto object = LookupFile(file);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return FALSE;
    }
    if (overlapped != nullptr || (data == nullptr && size > 0)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    if (!object->canWrite) {
        SetLastError(DWORD(ERROR_ACCESS_DENIED));
        return FALSE;
    }
    // A write past RLIMIT_FSIZE raises SIGXFSZ, which would end the process.
    // Held back for this thread, the write fails with EFBIG instead; the
    // pending signal is then taken so it is never delivered.
    sigset_t fileSize;
    sigset_t previous;
    sigemptyset(&fileSize);
    sigaddset(&fileSize, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &fileSize, &previous);
    const char* bytes = static_cast<const char*>(data);
    DWORD done = 0;
    while (done < size) {
        ssize_t n = ::write(object->fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            if (error == EFBIG) {
                const struct timespec now = {0, 0};
                ::sigtimedwait(&fileSize, nullptr, &now);
            }
            pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            if (written)
                *written = done;
            DWORD code = detail::ErrorFromErrno(error);
            if (code == DWORD(ERROR_GEN_FAILURE))
                code = DWORD(ERROR_WRITE_FAULT);
            SetLastError(code);
            return FALSE;
        }
        done += DWORD(n);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (written)
        *written = done;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID data, DWORD size, DWORD* read, LPVOID overlapped) {
    if (read)
        *read = 0;
    auto object = LookupFile(file);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return FALSE;
    }
    if (overlapped != nullptr || (data == nullptr && size > 0)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    if (!object->canRead) {
        SetLastError(DWORD(ERROR_ACCESS_DENIED));
        return FALSE;
    }
    for (;;) {
        ssize_t n = ::read(object->fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            DWORD code = detail::ErrorFromErrno(errno);
            SetLastError(code == DWORD(ERROR_GEN_FAILURE) ? DWORD(ERROR_READ_FAULT) : code);
            return FALSE;
        }
        if (read)
            *read = DWORD(n);
        return TRUE;
    }
}

BOOL FlushFileBuffers(HANDLE file) {
    auto object = LookupFile(file);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return FALSE;
    }
    if (!object->canWrite) {
        SetLastError(DWORD(ERROR_ACCESS_DENIED));
        return FALSE;
    }
    if (::fsync(object->fd) != 0) {
        DWORD code = detail::ErrorFromErrno(errno);
        SetLastError(code == DWORD(ERROR_GEN_FAILURE) ? DWORD(ERROR_WRITE_FAULT) : code);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectory(LPCWSTR path) {
    if (path == nullptr || path[0] == L'\0') {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    std::string narrow = Narrow(path);
    if (::rmdir(narrow.c_str()) == 0)
        return TRUE;
    int error = errno;
    struct stat st;
    bool exists = ::lstat(narrow.c_str(), &st) == 0;
    DWORD code = detail::ErrorFromErrno(error);
    if (error == ENOTEMPTY || error == EEXIST)
        code = DWORD(ERROR_DIR_NOT_EMPTY);
    else if (error == ENOTDIR)
        code = exists ? DWORD(ERROR_DIRECTORY) : DWORD(ERROR_PATH_NOT_FOUND);
    SetLastError(code);
    return FALSE;
}

namespace {

// The folder holding `path` ("." for a bare name).
std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

BOOL MoveFileEx(LPCWSTR existing, LPCWSTR newName, DWORD flags) {
    if (existing == nullptr || newName == nullptr || existing[0] == L'\0' || newName[0] == L'\0' ||
        (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) != 0) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    std::string from = Narrow(existing);
    std::string to = Narrow(newName);
    struct stat source;
    if (::lstat(from.c_str(), &source) != 0) {
        SetLastError(errno == ENOENT ? DWORD(ERROR_FILE_NOT_FOUND) : detail::ErrorFromErrno(errno));
        return FALSE;
    }
    int rc;
    if (flags & MOVEFILE_REPLACE_EXISTING) {
        struct stat target;
        if (::lstat(to.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            SetLastError(DWORD(ERROR_ACCESS_DENIED));
            return FALSE;
        }
        rc = ::rename(from.c_str(), to.c_str());
    } else {
        rc = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && errno == EINVAL) {
            // A file system without the no-replace rename: check, then rename.
            struct stat target;
            if (::lstat(to.c_str(), &target) == 0) {
                errno = EEXIST;
            } else {
                rc = ::rename(from.c_str(), to.c_str());
            }
        }
    }
    if (rc != 0) {
        int error = errno;
        DWORD code = detail::ErrorFromErrno(error);
        if (error == ENOENT)
            code = DWORD(ERROR_PATH_NOT_FOUND);
        else if (error == EXDEV)
            code = DWORD(ERROR_NOT_SAME_DEVICE);
        SetLastError(code);
        return FALSE;
    }
    if (flags & MOVEFILE_WRITE_THROUGH) {
        bool synced = SyncFolder(FolderOf(to));
        if (FolderOf(from) != FolderOf(to))
            synced = SyncFolder(FolderOf(from)) && synced;
        if (!synced) {
            SetLastError(DWORD(ERROR_WRITE_FAULT));
            return FALSE;
        }
    }
    return TRUE;
}

BOOL SetFileExecutable(HANDLE file) {
    auto object = LookupFile(file);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return FALSE;
    }
    struct stat st;
    if (::fstat(object->fd, &st) != 0 ||
        ::fchmod(object->fd, (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2)) != 0) {
        SetLastError(detail::ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributes(LPCWSTR path) {
    struct stat st;
    if (path == nullptr || path[0] == L'\0' || ::stat(Narrow(path).c_str(), &st) != 0) {
        SetLastError(path == nullptr || path[0] == L'\0' ? DWORD(ERROR_PATH_NOT_FOUND)
                                                         : detail::ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL ListSubFolders(LPCWSTR path, std::vector<std::wstring>* names) {
    if (names == nullptr) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    names->clear();
    if (path == nullptr || path[0] == L'\0') {
        SetLastError(DWORD(ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    int fd = ::open(Narrow(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(detail::ErrorFromErrno(errno));
        return FALSE;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        SetLastError(detail::ErrorFromErrno(errno));
        ::close(fd);
        return FALSE;
    }
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Follow links, and ask when the file system does not say.
            struct stat st;
            folder = ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (folder)
            names->push_back(ChsMultiByteToWide(name));
    }
    ::closedir(dir);
    return TRUE;
}

} // namespace plat
