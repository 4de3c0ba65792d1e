// The Win32 test driver (see gui_driver.h for its parts).
#include "gui_driver.h"

#include "plat/gfx/gdi.h"

#include <stb_image_write.h>

#include <cstdio>
#include <sstream>

namespace gui_driver {

namespace {

using Clock = std::chrono::steady_clock;

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t backslashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++i;
            ++backslashes;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        out.push_back(arg[i]);
    }
    out.push_back(L'"');
    return out;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[512] = {};
    GetWindowTextW(hwnd, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buf[256] = {};
    GetClassNameW(hwnd, buf, 256);
    return buf;
}

WindowInfo InfoOf(HWND hwnd) {
    WindowInfo info;
    info.hwnd = hwnd;
    GetWindowThreadProcessId(hwnd, &info.processId);
    info.className = ClassOf(hwnd);
    info.title = WindowText(hwnd);
    GetWindowRect(hwnd, &info.rect);
    info.visible = IsWindowVisible(hwnd) != FALSE;
    info.enabled = IsWindowEnabled(hwnd) != FALSE;
    info.owner = GetWindow(hwnd, GW_OWNER);
    return info;
}

std::string ErrorText(const char* what) {
    return std::string(what) + " failed, error " + std::to_string(GetLastError());
}

bool SendInputs(std::vector<INPUT>& inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    switch (vk) { // keys of the extended (grey) block
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_RMENU:
    case VK_RCONTROL:
        in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        break;
    default:
        break;
    }
    return in;
}

// A mouse input at a screen point, in SendInput's absolute units (0 to
// 65535 over the primary screen). The system takes the pixel as
// units * width / 65536 rounded down: the units are rounded up to land on
// the pixel itself and not the one before it.
INPUT MouseInput(POINT screen, DWORD flags) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((screen.x * 65536LL + w - 1) / w);
    in.mi.dy = static_cast<LONG>((screen.y * 65536LL + h - 1) / h);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return in;
}

std::string PointText(POINT p) {
    return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
}

} // namespace

// ============================================================== polling

bool PollUntil(const std::function<bool()>& condition, Millis timeout, Millis interval) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return condition();
        const auto left = std::chrono::duration_cast<Millis>(deadline - now);
        Sleep(static_cast<DWORD>(std::min(left, interval).count()));
    }
}

// ============================================================ processes

ChildProcess::~ChildProcess() {
    Kill();
    if (m_reader.joinable())
        m_reader.join();
    if (m_outputRead != nullptr)
        CloseHandle(m_outputRead);
    if (m_info.hProcess != nullptr)
        CloseHandle(m_info.hProcess);
    if (m_info.hThread != nullptr)
        CloseHandle(m_info.hThread);
}

::testing::AssertionResult ChildProcess::Start(const std::wstring& program,
                                               const std::vector<std::wstring>& arguments) {
    if (m_info.hProcess != nullptr)
        return ::testing::AssertionFailure() << "this ChildProcess was started before";
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE write = nullptr;
    if (!CreatePipe(&m_outputRead, &write, &inherit, 0))
        return ::testing::AssertionFailure() << ErrorText("CreatePipe");
    SetHandleInformation(m_outputRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);

    std::wstring commandLine = Quoted(program);
    for (const std::wstring& arg : arguments)
        commandLine += L" " + Quoted(arg);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = write;
    startup.hStdError = write;
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &m_info);
    const DWORD error = GetLastError();
    // Only the child holds the write end now: its exit ends the reader.
    CloseHandle(write);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (!started) {
        m_info = PROCESS_INFORMATION{};
        return ::testing::AssertionFailure()
               << "CreateProcessW(" << Narrow(program) << ") failed, error " << error;
    }
    m_reader = std::thread([this] { ReadOutput(); });
    return ::testing::AssertionSuccess();
}

void ChildProcess::ReadOutput() {
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(m_outputRead, buf, sizeof buf, &got, nullptr) && got > 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (DWORD i = 0; i < got; ++i)
            if (buf[i] != '\r')
                m_output.push_back(buf[i]);
    }
}

bool ChildProcess::IsRunning() const {
    return m_info.hProcess != nullptr && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

std::string ChildProcess::Describe() const {
    if (m_info.hProcess == nullptr)
        return "the process was not started";
    std::string text = "process " + std::to_string(m_info.dwProcessId);
    if (IsRunning())
        return text + " is running";
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    return text + " exited with code " + std::to_string(code);
}

::testing::AssertionResult ChildProcess::WaitForExit(Millis timeout, DWORD* exitCode) {
    if (m_info.hProcess == nullptr)
        return ::testing::AssertionFailure() << "the process was not started";
    const DWORD waited = WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(timeout.count()));
    if (waited != WAIT_OBJECT_0)
        return ::testing::AssertionFailure()
               << "process " << m_info.dwProcessId << " still runs after " << timeout.count()
               << " ms; its windows:\n"
               << DescribeWindows(m_info.dwProcessId) << "its output:\n"
               << Output();
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    if (exitCode != nullptr)
        *exitCode = code;
    if (m_reader.joinable())
        m_reader.join();
    return ::testing::AssertionSuccess();
}

void ChildProcess::Kill() {
    if (!IsRunning())
        return;
    TerminateProcess(m_info.hProcess, 255);
    WaitForSingleObject(m_info.hProcess, 10000);
}

std::string ChildProcess::Output() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_output;
}

std::vector<std::string> ChildProcess::OutputLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Output());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

::testing::AssertionResult ChildProcess::WaitForLine(const std::string& line,
                                                     Millis timeout) const {
    auto has = [&] {
        for (const std::string& l : OutputLines())
            if (l == line)
                return true;
        return false;
    };
    if (PollUntil(has, timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no line \"" << line << "\" within " << timeout.count()
                                         << " ms; " << Describe() << "; its output:\n"
                                         << Output() << "its windows:\n"
                                         << DescribeWindows(m_info.dwProcessId);
}

std::wstring WindowsPathOf(const std::string& path) {
    std::wstring out = Widen(path);
    if (out.empty() || out[0] != L'/')
        return out;
    for (wchar_t& c : out)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + out;
}

// ============================================================== windows

std::vector<WindowInfo> TopLevelWindows(DWORD processId) {
    struct Walk {
        DWORD processId;
        std::vector<WindowInfo> found;
    } walk{processId, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* w = reinterpret_cast<Walk*>(param);
            DWORD processId = 0;
            GetWindowThreadProcessId(hwnd, &processId);
            if (w->processId == 0 || processId == w->processId)
                w->found.push_back(InfoOf(hwnd));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.found;
}

namespace {

std::string Describe(const WindowInfo& w) {
    std::ostringstream out;
    out << "  hwnd " << w.hwnd << " process " << w.processId << " class \"" << Narrow(w.className)
        << "\" title \"" << Narrow(w.title) << "\" rect (" << w.rect.left << "," << w.rect.top
        << ")-(" << w.rect.right << "," << w.rect.bottom << ")"
        << (w.visible ? " visible" : " hidden") << (w.enabled ? "" : " disabled");
    if (w.owner != nullptr)
        out << " owner " << w.owner;
    out << "\n";
    return out.str();
}

bool Matches(const WindowInfo& w, const WindowMatch& match) {
    return (match.className.empty() || w.className == match.className) &&
           (match.title.empty() || w.title == match.title) && (!match.visible || w.visible);
}

} // namespace

std::string DescribeWindows(DWORD processId) {
    std::string text;
    for (const WindowInfo& w : TopLevelWindows(processId))
        text += Describe(w);
    return text.empty() ? std::string("  (none)\n") : text;
}

std::string DescribeWindow(HWND hwnd) {
    if (!IsWindow(hwnd))
        return "  hwnd " + std::to_string(reinterpret_cast<uintptr_t>(hwnd)) + " is gone\n";
    return Describe(InfoOf(hwnd));
}

::testing::AssertionResult WaitForWindow(const WindowMatch& match, Millis timeout, HWND* found,
                                         const ChildProcess* process) {
    HWND hit = nullptr;
    bool exited = false;
    PollUntil(
        [&] {
            for (const WindowInfo& w : TopLevelWindows(match.processId)) {
                if (Matches(w, match)) {
                    hit = w.hwnd;
                    return true;
                }
            }
            exited = process != nullptr && !process->IsRunning();
            return exited;
        },
        timeout);
    if (hit != nullptr) {
        if (found != nullptr)
            *found = hit;
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure();
    failure << "no " << (match.visible ? "visible " : "") << "window of class \""
            << Narrow(match.className) << "\" title \"" << Narrow(match.title) << "\"";
    if (match.processId != 0)
        failure << " of process " << match.processId;
    if (exited)
        failure << " before the process ended";
    else
        failure << " within " << timeout.count() << " ms";
    if (process != nullptr)
        failure << "; " << process->Describe() << "; its output:\n" << process->Output();
    failure << "\ntop-level windows:\n" << DescribeWindows(0);
    return failure;
}

::testing::AssertionResult WaitForWindowGone(HWND hwnd, Millis timeout) {
    if (PollUntil([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the window is still shown after " << timeout.count() << " ms:\n"
           << DescribeWindow(hwnd);
}

::testing::AssertionResult WaitUntilPainted(HWND hwnd, Millis timeout) {
    Image last;
    std::string state;
    const bool painted = PollUntil(
        [&] {
            if (!IsWindow(hwnd)) {
                state = "the window is gone";
                return false;
            }
            if (!IsWindowVisible(hwnd) || IsIconic(hwnd)) {
                state = "the window is hidden or minimised";
                return false;
            }
            if (GetUpdateRect(hwnd, nullptr, FALSE)) {
                state = "the window still has a part to paint";
                return false;
            }
            Image now = CaptureWindowOnScreen(hwnd);
            const bool steady = !now.Empty() && now == last;
            last = std::move(now);
            state = steady ? "" : "the screen still changes";
            return steady;
        },
        timeout, Millis(50));
    if (painted)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "not painted within " << timeout.count() << " ms: " << state << "\n"
           << DescribeWindow(hwnd);
}

::testing::AssertionResult WaitForEnabled(HWND hwnd, bool enabled, Millis timeout) {
    if (PollUntil([&] { return (IsWindowEnabled(hwnd) != FALSE) == enabled; }, timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the window is not " << (enabled ? "enabled" : "disabled") << " within "
           << timeout.count() << " ms:\n"
           << DescribeWindow(hwnd) << "top-level windows:\n"
           << DescribeWindows(0);
}

POINT ClientToScreenPoint(HWND hwnd, POINT client) {
    POINT p = client;
    ClientToScreen(hwnd, &p);
    return p;
}

// ================================================================ input

::testing::AssertionResult BringToForeground(HWND hwnd, Millis timeout) {
    if (!IsWindow(hwnd))
        return ::testing::AssertionFailure() << "no such window " << hwnd;
    if (GetForegroundWindow() == hwnd)
        return ::testing::AssertionSuccess();
    // The program started by this one may take the foreground; the request
    // is repeated in case another window (a new one of the program) took
    // it in between.
    AllowSetForegroundWindow(ASFW_ANY);
    const bool front = PollUntil(
        [&] {
            if (GetForegroundWindow() == hwnd)
                return true;
            SetForegroundWindow(hwnd);
            return GetForegroundWindow() == hwnd;
        },
        timeout, Millis(50));
    if (front)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the window did not come to the foreground within " << timeout.count() << " ms:\n"
           << DescribeWindow(hwnd) << "the foreground window:\n"
           << DescribeWindow(GetForegroundWindow());
}

namespace {

// The mouse, by SendInput.
::testing::AssertionResult SendMouseMove(POINT screen) {
    std::vector<INPUT> move{MouseInput(screen, 0)};
    if (!SendInputs(move))
        return ::testing::AssertionFailure() << ErrorText("SendInput");
    return ::testing::AssertionSuccess();
}

// The left button pressed or released where the cursor is.
::testing::AssertionResult SendLeftButton(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    std::vector<INPUT> inputs{in};
    if (!SendInputs(inputs))
        return ::testing::AssertionFailure() << ErrorText("SendInput");
    return ::testing::AssertionSuccess();
}

// Moves the mouse to a screen point and waits until the cursor is there.
::testing::AssertionResult MoveMouseTo(POINT target, Millis timeout) {
    if (auto r = SendMouseMove(target); !r)
        return r;
    POINT at{};
    if (PollUntil([&] { return GetCursorPos(&at) && at.x == target.x && at.y == target.y; },
                  timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the cursor is at " << PointText(at) << ", not at " << PointText(target) << " after "
           << timeout.count() << " ms";
}

} // namespace

::testing::AssertionResult MoveMouse(HWND hwnd, POINT client, Millis timeout) {
    return MoveMouseTo(ClientToScreenPoint(hwnd, client), timeout);
}

::testing::AssertionResult Click(HWND hwnd, POINT client, Millis timeout) {
    if (auto r = BringToForeground(hwnd, timeout); !r)
        return r;
    if (auto r = MoveMouse(hwnd, client, timeout); !r)
        return r;
    if (auto r = SendLeftButton(true); !r)
        return r;
    return SendLeftButton(false);
}

::testing::AssertionResult ClickWhereTheCursorIs() {
    if (auto r = SendLeftButton(true); !r)
        return r;
    return SendLeftButton(false);
}

::testing::AssertionResult Drag(HWND hwnd, POINT from, POINT to, Millis timeout) {
    if (auto r = BringToForeground(hwnd, timeout); !r)
        return r;
    // The window may move meanwhile: the screen points are fixed first.
    const POINT start = ClientToScreenPoint(hwnd, from), end = ClientToScreenPoint(hwnd, to);
    if (auto r = MoveMouseTo(start, timeout); !r)
        return r;
    if (auto r = SendLeftButton(true); !r)
        return r;
    if (auto r = WaitForCapture(hwnd, true, timeout); !r) {
        SendLeftButton(false);
        return r << " (the press of a drag)";
    }
    // In steps, each one taken by the window's thread before the next and
    // the last before the release, as a person's hand is slower than the
    // program: a window that follows the mouse (a move loop) sees every one.
    constexpr int kSteps = 5;
    for (int i = 1; i <= kSteps; ++i) {
        const POINT p{start.x + (end.x - start.x) * i / kSteps,
                      start.y + (end.y - start.y) * i / kSteps};
        if (auto r = MoveMouseTo(p, timeout); !r) {
            SendLeftButton(false);
            return r << " (while dragging)";
        }
        if (auto r = WaitForInputHandled(hwnd, timeout); !r) {
            SendLeftButton(false);
            return r << " (while dragging)";
        }
    }
    if (auto r = SendLeftButton(false); !r)
        return r;
    if (auto r = WaitForCapture(hwnd, false, timeout); !r)
        return r << " (the release of a drag)";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WaitForInputHandled(HWND hwnd, Millis timeout) {
    // A sent message is handled when the thread next asks for a message,
    // before it takes input: the second round trip ends only after the call
    // that took the input queued before the first.
    for (int round = 0; round < 2; ++round) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL,
                                 static_cast<UINT>(timeout.count()), &result))
            return ::testing::AssertionFailure()
                   << "the window's thread did not come back to its messages within "
                   << timeout.count() << " ms (error " << GetLastError() << "):\n"
                   << DescribeWindow(hwnd);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WaitForCapture(HWND hwnd, bool held, Millis timeout) {
    const DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    GUITHREADINFO info{};
    auto holds = [&] {
        info = GUITHREADINFO{};
        info.cbSize = sizeof(info);
        if (!GetGUIThreadInfo(thread, &info))
            return false;
        return info.hwndCapture != nullptr || (info.flags & GUI_INMOVESIZE) != 0;
    };
    if (PollUntil([&] { return holds() == held; }, timeout, Millis(10)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the window's thread " << (held ? "took no" : "still holds the") << " mouse capture"
           << " within " << timeout.count() << " ms (capture " << info.hwndCapture << ", flags "
           << info.flags << "):\n"
           << DescribeWindow(hwnd);
}

::testing::AssertionResult PressKeys(HWND hwnd, std::initializer_list<WORD> keys, Millis timeout) {
    if (auto r = BringToForeground(hwnd, timeout); !r)
        return r;
    std::vector<INPUT> inputs;
    for (WORD vk : keys)
        inputs.push_back(KeyInput(vk, false));
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        inputs.push_back(KeyInput(*it, true));
    if (!SendInputs(inputs))
        return ::testing::AssertionFailure() << ErrorText("SendInput");
    return ::testing::AssertionSuccess();
}

// ============================================================= pictures

Image Image::Opaque() const {
    Image out = *this;
    for (uint32_t& p : out.pixels)
        p |= 0xFF000000u;
    return out;
}

namespace {

// A width x height picture of what draw paints into a memory DC that holds
// a top-down 32-bit DIB; empty when draw fails.
Image PaintedImage(int width, int height, const std::function<bool(HDC)>& draw) {
    Image image;
    void* bits = nullptr;
    HBITMAP dib = plat::CreateDIB32(width, height, &bits);
    if (dib == nullptr || bits == nullptr)
        return image;
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, dib);
    if (draw(memory)) {
        GdiFlush();
        image.width = width;
        image.height = height;
        const auto* px = static_cast<const uint32_t*>(bits);
        image.pixels.assign(px, px + static_cast<size_t>(width) * height);
        image = image.Opaque();
    }
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    return image;
}

} // namespace

Image CaptureScreen(const RECT& area) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    return PaintedImage(w, h, [&](HDC memory) {
        HDC screen = GetDC(nullptr);
        const BOOL copied =
            BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        ReleaseDC(nullptr, screen);
        return copied != FALSE;
    });
}

Image CaptureScreen() {
    const RECT all{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return CaptureScreen(all);
}

Image CaptureWindowOnScreen(HWND hwnd) {
    RECT rc{};
    if (!GetWindowRect(hwnd, &rc))
        return {};
    return CaptureScreen(rc);
}

Image PrintWindowImage(HWND hwnd) {
    RECT rc{};
    if (!GetWindowRect(hwnd, &rc))
        return {};
    return PaintedImage(rc.right - rc.left, rc.bottom - rc.top,
                        [&](HDC memory) { return PrintWindow(hwnd, memory, 0) != FALSE; });
}

bool SavePng(const Image& image, const std::string& path) {
    if (image.Empty())
        return false;
    // 0xAARRGGBB words are B, G, R, A bytes: PNG wants R, G, B, A.
    std::vector<unsigned char> rgba(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t p = image.pixels[i];
        rgba[i * 4 + 0] = static_cast<unsigned char>(p >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(p);
        rgba[i * 4 + 3] = static_cast<unsigned char>(p >> 24);
    }
    return stbi_write_png(path.c_str(), image.width, image.height, 4, rgba.data(),
                          image.width * 4) != 0;
}

std::string PicturePath(const std::string& name) {
    CreateDirectoryW(L"gui_pictures", nullptr);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string stem = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name()
                                       : std::string("no_test");
    return "gui_pictures/" + stem + "." + name + ".png";
}

} // namespace gui_driver
