#include "wine_session.h"

#include <winsock2.h>

#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/common/skin_tree.h"
#include "tools/skinview/skinview.h"

using namespace std::chrono_literals;

namespace wine_e2e {

const wchar_t* const kStartClass = L"InstallerStartWnd";
const wchar_t* const kInstallClass = L"InstallerDownloadlWnd";
const wchar_t* const kFinishClass = L"InstallerFinishWnd";
const wchar_t* const kDialogClass = L"CommonDlg";

const char* const kStartLayout = "installerstart.xml";
const char* const kInstallLayout = "installerinstall.xml";
const char* const kFinishLayout = "installerfinish.xml";
const char* const kDialogLayout = "commondlg.xml";

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::vector<std::string> SkinviewArguments(int width, int height,
                                           const std::vector<std::string>& states) {
    std::vector<std::string> args = {
        "--skin", Narrow(gui_driver::WindowsPathOf(TARVEX_SOURCE_DIR "/skin")), "--size",
        std::to_string(width) + "x" + std::to_string(height)};
    args.insert(args.end(), states.begin(), states.end());
    return args;
}

} // namespace

std::wstring DistdUrl() {
    const std::string url = Environment("TARVEX_DISTD_URL");
    return std::wstring(url.begin(), url.end());
}

std::string WorkFolder() {
    return Environment("TARVEX_E2E_WORK");
}

std::wstring ClosedUrl() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof addr;
    int port = 9;
    if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &size) == 0)
        port = ntohs(addr.sin_port);
    closesocket(s);
    return L"http://127.0.0.1:" + std::to_wstring(port);
}

void ExpectStoredReports(const std::vector<std::string>& lines) {
    ASSERT_FALSE(WorkFolder().empty()) << "TARVEX_E2E_WORK is not set (run through with_distd.sh)";
    std::ofstream out(
        std::filesystem::path(gui_driver::WindowsPathOf(WorkFolder() + "/expected-reports")));
    for (const std::string& line : lines)
        out << line << "\n";
    ASSERT_TRUE(out.good());
}

std::string ProgramFilesFolder() {
    wchar_t folder[MAX_PATH + 1] = {0};
    GetEnvironmentVariableW(L"ProgramFiles", folder, MAX_PATH);
    return Narrow(folder);
}

std::vector<std::string> StartStates(bool expanded) {
    std::vector<std::string> states = {"--text",     "needsize=100M",
                                       "--text",     "installpathedit=" + ProgramFilesFolder(),
                                       "--selected", "licensechk"};
    if (expanded)
        states.insert(states.end(), {"--show", "moreopt", "--selected", "showmorechk"});
    return states;
}

std::vector<std::string> FailureStates(const std::string& text, int percent) {
    return {"--hide",  "down_label",
            "--hide",  "down_text",
            "--show",  "install_text",
            "--text",  "install_text=" + text,
            "--value", "down_progress=" + std::to_string(percent)};
}

RECT ControlRect(const std::string& layout, const std::string& name, int width, int height,
                 const std::vector<std::string>& states) {
    std::vector<std::string> args = SkinviewArguments(width, height, states);
    args.push_back("--tree");
    args.push_back(layout);
    std::ostringstream out, err;
    if (skinview::Run(args, out, err) != 0)
        return RECT{0, 0, 0, 0};
    const skintree::Rect rc = skintree::ControlRect(out.str(), name);
    return RECT{rc.left, rc.top, rc.right, rc.bottom};
}

POINT Centre(const RECT& rc) {
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

gui_driver::Image Render(const std::string& layout, int width, int height,
                         const std::vector<std::string>& states) {
    gui_driver::Image image;
    char temp[MAX_PATH + 1] = {0};
    GetTempPathA(MAX_PATH, temp);
    const std::string png =
        std::string(temp) + "wine-e2e-reference-" + std::to_string(GetCurrentProcessId()) + ".png";
    std::vector<std::string> args = SkinviewArguments(width, height, states);
    args.insert(args.end(), {"--out", png, layout});
    std::ostringstream out, err;
    if (skinview::Run(args, out, err) != 0) {
        ADD_FAILURE() << "skinview: " << err.str();
        return image;
    }
    int w = 0, h = 0, n = 0;
    unsigned char* rgba = stbi_load(png.c_str(), &w, &h, &n, 4);
    std::remove(png.c_str());
    if (rgba == nullptr) {
        ADD_FAILURE() << "cannot read " << png;
        return image;
    }
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = 0xFF000000u | uint32_t(rgba[i * 4]) << 16 |
                          uint32_t(rgba[i * 4 + 1]) << 8 | uint32_t(rgba[i * 4 + 2]);
    stbi_image_free(rgba);
    return image;
}

Difference Compare(const gui_driver::Image& window, const gui_driver::Image& reference,
                   const RECT& skip) {
    Difference d;
    if (window.width != reference.width || window.height != reference.height) {
        d.differing = window.width * window.height + 1;
        d.first = "size " + std::to_string(window.width) + "x" + std::to_string(window.height) +
                  " against " + std::to_string(reference.width) + "x" +
                  std::to_string(reference.height);
        return d;
    }
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            if (x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom)
                continue;
            const uint32_t a = window.At(x, y) & 0xFFFFFF, b = reference.At(x, y) & 0xFFFFFF;
            if (a == b)
                continue;
            if (d.differing++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "%d,%d window=%06X reference=%06X", x, y, a, b);
                d.first = text;
            }
        }
    }
    return d;
}

Session::~Session() {
    m_process.Kill();
}

::testing::AssertionResult Session::Start(HWND* startWindow, const std::wstring& api) {
    if (auto started = m_process.Start(gui_driver::WindowsPathOf(INSTALLER_TESTHOST),
                                       {L"--api", api, L"--web", api, L"--stat", api});
        !started)
        return started;
    return Wait(kStartClass, startWindow);
}

::testing::AssertionResult Session::Wait(const wchar_t* windowClass, HWND* found, Millis timeout,
                                         bool painted) {
    ::testing::AssertionResult seen = gui_driver::WaitForWindow(
        {m_process.Id(), windowClass, L"", true}, timeout, found, &m_process);
    if (!seen)
        return seen << "\ninstaller output:\n" << m_process.Output();
    if (!painted)
        return seen;
    return gui_driver::WaitUntilPainted(*found, Millis(20000));
}

::testing::AssertionResult Session::ClickControl(HWND window, const std::string& layout,
                                                 const std::string& name,
                                                 const std::vector<std::string>& states) {
    RECT client{};
    GetClientRect(window, &client);
    const RECT rc = ControlRect(layout, name, client.right, client.bottom, states);
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return ::testing::AssertionFailure() << name << " is not laid out in " << layout;
    return gui_driver::Click(window, Centre(rc), Millis(10000));
}

namespace {

// Moves the mouse off the window, so that no control shows its hot look.
void MoveMouseOff(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const POINT away{rect.left - 40 > 0 ? -40 : (rect.right - rect.left) + 40, 10};
    gui_driver::MoveMouse(window, away, Millis(5000));
}

} // namespace

::testing::AssertionResult Session::WaitForPicture(HWND window, const gui_driver::Image& reference,
                                                   const char* what, const RECT& skip) {
    MoveMouseOff(window);
    gui_driver::Image last;
    Difference d;
    const bool same = gui_driver::PollUntil(
        [&] {
            last = gui_driver::CaptureWindowOnScreen(window);
            d = Compare(last, reference, skip);
            return d.differing == 0;
        },
        Millis(20000), Millis(100));
    if (same)
        return ::testing::AssertionSuccess();
    const std::string path = gui_driver::PicturePath(what);
    gui_driver::SavePng(last, path);
    gui_driver::SavePng(reference, path + ".reference.png");
    return ::testing::AssertionFailure() << what << ": " << d.differing << " pixels differ, first "
                                         << d.first << " (pictures in " << path << ")";
}

::testing::AssertionResult Session::WaitForFailure(HWND install, const std::string& text,
                                                   int percent) {
    const std::vector<std::string> states = FailureStates(text, percent);
    RECT client{};
    GetClientRect(install, &client);
    const gui_driver::Image reference = Render(kInstallLayout, client.right, client.bottom, states);
    return WaitForPicture(install, reference, "failure");
}

::testing::AssertionResult
Session::KeepForLinuxComparison(const std::string& name, HWND window, const std::string& layout,
                                const std::vector<std::string>& states,
                                const std::vector<std::string>& ignore,
                                const std::vector<std::string>& inkOnly) {
    if (WorkFolder().empty())
        return ::testing::AssertionFailure()
               << "TARVEX_E2E_WORK is not set (run through with_distd.sh)";
    MoveMouseOff(window);
    if (auto painted = gui_driver::WaitUntilPainted(window, Millis(20000)); !painted)
        return painted;
    gui_driver::Image picture = gui_driver::CaptureWindowOnScreen(window);
    // The screen's alpha byte means nothing: the window is opaque.
    for (uint32_t& pixel : picture.pixels)
        pixel |= 0xFF000000u;
    const std::string folder = WorkFolder() + "/pictures";
    std::filesystem::create_directories(std::filesystem::path(gui_driver::WindowsPathOf(folder)));
    const std::string png = Narrow(gui_driver::WindowsPathOf(folder + "/" + name + ".png"));
    if (!gui_driver::SavePng(picture, png))
        return ::testing::AssertionFailure() << "cannot write " << png;
    // One line a state, its fields separated by tabs (texts have spaces):
    // name, layout, size, the controls left out and the boxes judged by
    // their ink (each comma-separated, or -), then skinview's state options.
    std::ofstream list(
        std::filesystem::path(gui_driver::WindowsPathOf(WorkFolder() + "/expected-pictures")),
        std::ios::app);
    auto commaList = [](const std::vector<std::string>& items) {
        std::string joined;
        for (const std::string& item : items)
            joined += (joined.empty() ? "" : ",") + item;
        return joined.empty() ? std::string("-") : joined;
    };
    list << name << '\t' << layout << '\t' << picture.width << 'x' << picture.height << '\t'
         << commaList(ignore) << '\t' << commaList(inkOnly);
    for (const std::string& option : states)
        list << '\t' << option;
    list << '\n';
    if (!list.good())
        return ::testing::AssertionFailure() << "cannot write the list of pictures";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Session::WaitForExit(DWORD* exitCode, Millis timeout) {
    return m_process.WaitForExit(timeout, exitCode);
}

} // namespace wine_e2e
