// The desktop's own folder chooser: the `zenity` program, started directly
// (never through a shell) and waited for inside the modal loop. It prints
// the chosen folder and exits with 0, or exits with 1 when cancelled; any
// other end without an answer (it could not reach the display, say) counts
// as no chooser at all, so that the drawn one takes over.
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "plat/sys/files.h"
#include "plat/sys/process.h"
#include "plat/sys/text.h"
#include "plat/win/folder_chooser.h"
#include "plat/win/modal.h"

namespace plat {
namespace wm {

namespace {

// What the reader thread learns about the chooser process.
struct ChooserRun {
    std::mutex m;
    bool ended = false;
    std::string output;
    DWORD exitCode = 0;
};

} // namespace

bool RunDesktopFolderChooser(HWND owner, const std::wstring& title, const std::wstring& start,
                             const TakeFolderAnswer& takeAnswer, FolderAnswer* answer) {
    // A trailing '/' opens the chooser inside the folder rather than on it.
    std::wstring startArg = start.empty() || start.back() == L'/' ? start : start + L"/";
    std::vector<std::wstring> args{L"--file-selection", L"--directory", L"--title=" + title};
    if (!startArg.empty())
        args.push_back(L"--filename=" + startArg);
    // The owner is disabled before the chooser starts, so that no click
    // reaches it while the chooser comes up; when the chooser cannot start,
    // the loop's end enables it again.
    ModalLoop loop(owner);
    HANDLE process = nullptr, output = nullptr;
    if (!StartProcessWithOutput(L"zenity", args, &process, &output))
        return false;

    // The chooser's output is read, and its end awaited, on a thread of its
    // own, which wakes the modal loop once the chooser has ended.
    auto run = std::make_shared<ChooserRun>();
    DWORD tid = GetCurrentThreadId();
    std::thread reader([run, process, output, tid] {
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        WaitForSingleObject(process, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        {
            std::lock_guard<std::mutex> g(run->m);
            run->output = std::move(text);
            run->exitCode = code;
            run->ended = true;
        }
        PostThreadMessage(tid, WM_NULL, 0, 0);
    });

    FolderAnswer queued;
    bool answered = false;
    bool quit = !loop.Run([&] {
        {
            std::lock_guard<std::mutex> g(run->m);
            if (run->ended)
                return false;
        }
        answered = takeAnswer(&queued);
        return !answered;
    });
    bool ended;
    {
        std::lock_guard<std::mutex> g(run->m);
        ended = run->ended;
    }
    // An answer from outside or a quit request leaves the chooser unanswered:
    // it goes, and with it the end of its output.
    if (!ended)
        TerminateProcess(process, 1);
    reader.join();
    CloseHandle(output);
    CloseHandle(process);

    if (answered) {
        *answer = queued;
        return true;
    }
    if (quit || !ended) {
        *answer = std::nullopt;
        return true;
    }
    if (run->exitCode == 1) {
        *answer = std::nullopt;
        return true;
    }
    if (run->exitCode != 0)
        return false;
    std::string path = run->output;
    if (!path.empty() && path.back() == '\n')
        path.pop_back();
    if (path.empty())
        *answer = std::nullopt;
    else
        *answer = ChsMultiByteToWide(path);
    return true;
}

} // namespace wm
} // namespace plat
