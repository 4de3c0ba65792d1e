// Starting programs, documents, folders and URLs; waiting for processes.
#include "plat/sys/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <mutex>
#include <thread>

#include "plat/sys/internal.h"
#include "plat/sys/kernel_object.h"
#include "plat/sys/text.h"

extern char** environ;

namespace plat {

namespace {

// The value ShellExecute returns on success (any value above 32).
HINSTANCE const kSuccessInstance = reinterpret_cast<HINSTANCE>(uintptr_t(42));

bool IsOpenVerb(LPCWSTR verb) {
    if (verb == nullptr || verb[0] == L'\0')
        return true;
    const wchar_t* open = L"open";
    for (size_t i = 0;; ++i) {
        wchar_t a = verb[i], b = open[i];
        if (a >= L'A' && a <= L'Z')
            a = wchar_t(a - L'A' + L'a');
        if (a != b)
            return false;
        if (a == L'\0')
            return true;
    }
}

// "scheme:rest" with a scheme of at least two characters (so that a
// one-letter "drive" is not mistaken for one).
bool LooksLikeUrl(const std::string& text) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2)
        return false;
    if (!std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return colon + 1 < text.size();
}

// True for files the kernel can run itself: ELF images and "#!" scripts.
bool IsDirectlyRunnable(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    unsigned char head[4] = {};
    ssize_t n;
    do {
        n = ::read(fd, head, sizeof(head));
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n >= 4 && std::memcmp(head,
                              "\x7f"
                              "ELF",
                              4) == 0)
        return true;
    return n >= 2 && head[0] == '#' && head[1] == '!';
}

struct SpawnRequest {
    std::string program;           // path, or a name searched on PATH
    bool searchPath = false;       // posix_spawnp instead of posix_spawn
    std::vector<std::string> args; // argv[1..]
    std::string directory;         // empty: inherit
    bool hideOutput = false;       // stdin, stdout, stderr to /dev/null
    bool quietInput = false;       // stdin to /dev/null
    bool newSession = false;       // detach from our session
    int keepDescriptor = -1;       // a descriptor the child keeps open (>= 0)
    int outputDescriptor = -1;     // the child's standard output (>= 0)
};

// Starts a child. Returns 0 and the pid, or an errno value.
int Spawn(const SpawnRequest& request, pid_t& pid) {
    std::vector<std::string> strings;
    strings.push_back(request.program);
    strings.insert(strings.end(), request.args.begin(), request.args.end());
    std::vector<char*> argv;
    for (auto& s : strings)
        argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return ENOMEM;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return ENOMEM;
    }
    if (request.hideOutput || request.quietInput)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (request.hideOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    if (request.outputDescriptor >= 0)
        posix_spawn_file_actions_adddup2(&actions, request.outputDescriptor, 1);
    if (!request.directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, request.directory.c_str());
    // A duplication onto itself clears close-on-exec in the child only.
    if (request.keepDescriptor >= 0)
        posix_spawn_file_actions_adddup2(&actions, request.keepDescriptor, request.keepDescriptor);

    // The child starts with no blocked signals and default dispositions,
    // whatever this process (or one of its threads) has set.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (request.newSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attr, flags);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);

    int rc = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        rc =
            request.searchPath
                ? posix_spawnp(&pid, request.program.c_str(), &actions, &attr, argv.data(), environ)
                : posix_spawn(&pid, request.program.c_str(), &actions, &attr, argv.data(), environ);
        // A file just written may still be open for writing in a child of
        // another thread that has not reached exec yet: retry briefly.
        if (rc != ETXTBSY)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

// The Win32 error for a failed Spawn: no such program, a program that cannot
// be run, or anything else (resources).
DWORD SpawnError(int rc) {
    if (rc == ENOENT || rc == ENOTDIR)
        return DWORD(ERROR_FILE_NOT_FOUND);
    if (rc == EACCES || rc == EPERM || rc == ENOEXEC || rc == ETXTBSY)
        return DWORD(ERROR_ACCESS_DENIED);
    return DWORD(ERROR_NOT_ENOUGH_MEMORY);
}

void Fail(LPSHELLEXECUTEINFO info, DWORD error, int shellError) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(uintptr_t(shellError));
    SetLastError(error);
}

std::shared_ptr<detail::ProcessObject> LookupProcess(HANDLE handle) {
    return std::dynamic_pointer_cast<detail::ProcessObject>(detail::LookupObject(handle));
}

// Reaps the process if it has ended; call with its mutex held.
// Returns true when it has ended (now or before).
bool TryReap(detail::ProcessObject& process) {
    if (process.reaped)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(process.pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == process.pid) {
        process.reaped = true;
        process.status = status;
        return true;
    }
    if (r < 0) {
        // Reaped by someone else (SIGCHLD ignored, or a stray wait): it
        // has ended, with an unknown code.
        process.reaped = true;
        process.status = 0;
        return true;
    }
    return false;
}

} // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view text) {
    std::vector<std::wstring> args;
    size_t i = 0;
    const size_t n = text.size();
    auto isSpace = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (true) {
        while (i < n && isSpace(text[i]))
            ++i;
        if (i >= n)
            break;
        std::wstring arg;
        bool inQuotes = false;
        while (i < n && (inQuotes || !isSpace(text[i]))) {
            if (text[i] == L'\\') {
                size_t slashes = 0;
                while (i < n && text[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && text[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        arg += L'"';
                        ++i;
                    }
                    // An even count leaves the quote to act below.
                } else {
                    arg.append(slashes, L'\\');
                }
                continue;
            }
            if (text[i] == L'"') {
                if (inQuotes && i + 1 < n && text[i + 1] == L'"') {
                    arg += L'"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            arg += text[i++];
        }
        args.push_back(std::move(arg));
    }
    return args;
}

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFO)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    info->hProcess = nullptr;
    if (info->lpFile == nullptr || info->lpFile[0] == L'\0') {
        Fail(info, DWORD(ERROR_FILE_NOT_FOUND), SE_ERR_FNF);
        return FALSE;
    }
    if (!IsOpenVerb(info->lpVerb)) {
        Fail(info, DWORD(ERROR_NO_ASSOCIATION), SE_ERR_NOASSOC);
        return FALSE;
    }
    std::string file = WideToChsMultiByte(info->lpFile);
    std::string directory = info->lpDirectory ? WideToChsMultiByte(info->lpDirectory) : "";
    if (!directory.empty() && file[0] != '/') {
        struct stat st;
        std::string inDirectory = directory + "/" + file;
        if (::stat(inDirectory.c_str(), &st) == 0)
            file = inDirectory;
    }

    SpawnRequest request;
    request.directory = directory;
    request.hideOutput = info->nShow == SW_HIDE;
    // A file named through its open handle: the child must still have the
    // descriptor, so that an interpreter started for a "#!" script (which is
    // handed this same path) can open it.
    request.keepDescriptor = detail::DescriptorOfHandlePath(file);
    struct stat st;
    if (::stat(file.c_str(), &st) == 0) {
        if (S_ISREG(st.st_mode) && IsDirectlyRunnable(file)) {
            if ((st.st_mode & S_IXUSR) == 0 && ::chmod(file.c_str(), st.st_mode | S_IXUSR) != 0) {
                Fail(info, DWORD(ERROR_ACCESS_DENIED), SE_ERR_ACCESSDENIED);
                return FALSE;
            }
            request.program = file;
            for (auto& arg : SplitCommandLine(info->lpParameters ? info->lpParameters : L""))
                request.args.push_back(WideToChsMultiByte(arg));
        } else {
            request.program = "xdg-open";
            request.searchPath = true;
            request.args.push_back(file);
        }
    } else if (LooksLikeUrl(file)) {
        request.program = "xdg-open";
        request.searchPath = true;
        request.args.push_back(file);
    } else {
        bool noFolder = errno == ENOTDIR;
        Fail(info, DWORD(noFolder ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND),
             noFolder ? SE_ERR_PNF : SE_ERR_FNF);
        return FALSE;
    }
    if (request.searchPath) {
        // The opener runs detached from us and never reads our terminal.
        request.newSession = true;
        request.quietInput = true;
    }

    pid_t pid = -1;
    int rc = Spawn(request, pid);
    if (rc != 0) {
        const DWORD error = SpawnError(rc);
        if (request.searchPath && (rc == ENOENT || rc == EACCES))
            Fail(info, DWORD(ERROR_NO_ASSOCIATION), SE_ERR_NOASSOC);
        else if (error == DWORD(ERROR_FILE_NOT_FOUND))
            Fail(info, error, SE_ERR_FNF);
        else if (error == DWORD(ERROR_ACCESS_DENIED))
            Fail(info, error, SE_ERR_ACCESSDENIED);
        else
            Fail(info, error, SE_ERR_OOM);
        return FALSE;
    }
    info->hInstApp = kSuccessInstance;
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
        auto process = std::make_shared<detail::ProcessObject>();
        process->pid = pid;
        info->hProcess = detail::RegisterObject(process);
    } else {
        detail::ReapInBackground(pid);
    }
    return TRUE;
}

HINSTANCE ShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                       LPCWSTR directory, INT showCommand) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = showCommand;
    if (ShellExecuteEx(&info))
        return kSuccessInstance;
    return info.hInstApp ? info.hInstApp : reinterpret_cast<HINSTANCE>(uintptr_t(SE_ERR_OOM));
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto process = LookupProcess(handle);
    if (!process) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return WAIT_FAILED;
    }
    auto start = std::chrono::steady_clock::now();
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(process->mutex);
            if (TryReap(*process))
                return WAIT_OBJECT_0;
        }
        if (milliseconds != INFINITE) {
            auto waited = std::chrono::steady_clock::now() - start;
            auto limit = std::chrono::milliseconds(milliseconds);
            if (waited >= limit)
                return WAIT_TIMEOUT;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - waited);
            if (left < pause)
                pause = std::max(left, std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(20))
            pause *= 2;
    }
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    auto object = LookupProcess(process);
    if (!object || exitCode == nullptr) {
        SetLastError(DWORD(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE));
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(object->mutex);
    if (!TryReap(*object)) {
        *exitCode = STILL_ACTIVE;
        return TRUE;
    }
    if (WIFEXITED(object->status))
        *exitCode = DWORD(WEXITSTATUS(object->status));
    else if (WIFSIGNALED(object->status))
        *exitCode = DWORD(128 + WTERMSIG(object->status));
    else
        *exitCode = 0;
    return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT) {
    auto object = LookupProcess(process);
    if (!object) {
        SetLastError(DWORD(ERROR_INVALID_HANDLE));
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(object->mutex);
    // Once reaped the pid may belong to another process: never signal it.
    if (!TryReap(*object))
        ::kill(object->pid, SIGKILL);
    return TRUE;
}

namespace {

struct ExitActions {
    std::mutex mutex;
    std::vector<void (*)()> actions;
};

ExitActions& TheExitActions() {
    static ExitActions* actions = new ExitActions; // never destroyed: used at the very end
    return *actions;
}

} // namespace

void OnProcessExit(void (*action)()) {
    if (action == nullptr)
        return;
    ExitActions& all = TheExitActions();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.actions.push_back(action);
}

void ExitProcess(UINT exitCode) {
    std::vector<void (*)()> actions;
    {
        ExitActions& all = TheExitActions();
        std::lock_guard<std::mutex> lock(all.mutex);
        actions = all.actions;
    }
    for (auto it = actions.rbegin(); it != actions.rend(); ++it)
        (*it)();
    std::fflush(nullptr);
    ::_exit(static_cast<int>(exitCode));
}

BOOL StartProcessWithOutput(const std::wstring& program, const std::vector<std::wstring>& args,
                            HANDLE* process, HANDLE* output) {
    if (process == nullptr || output == nullptr) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return FALSE;
    }
    *process = nullptr;
    *output = nullptr;
    if (program.empty()) {
        SetLastError(DWORD(ERROR_FILE_NOT_FOUND));
        return FALSE;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        SetLastError(DWORD(ERROR_NOT_ENOUGH_MEMORY));
        return FALSE;
    }
    SpawnRequest request;
    request.program = WideToChsMultiByte(program);
    request.searchPath = program.find(L'/') == std::wstring::npos;
    for (auto& arg : args)
        request.args.push_back(WideToChsMultiByte(arg));
    request.quietInput = true;
    request.outputDescriptor = pipeEnds[1];
    pid_t pid = -1;
    int rc = Spawn(request, pid);
    ::close(pipeEnds[1]);
    if (rc != 0) {
        ::close(pipeEnds[0]);
        SetLastError(SpawnError(rc));
        return FALSE;
    }
    auto reader = std::make_shared<detail::FileObject>();
    reader->fd = pipeEnds[0];
    reader->canRead = true;
    auto child = std::make_shared<detail::ProcessObject>();
    child->pid = pid;
    *output = detail::RegisterObject(reader);
    *process = detail::RegisterObject(child);
    return TRUE;
}

void SHChangeNotify(LONG, UINT, LPCVOID, LPCVOID) {
    SpawnRequest request;
    request.program = "xdg-desktop-menu";
    request.searchPath = true;
    request.args = {"forceupdate"};
    request.hideOutput = true;
    request.newSession = true;
    pid_t pid = -1;
    if (Spawn(request, pid) == 0)
        detail::ReapInBackground(pid);
}

} // namespace plat
