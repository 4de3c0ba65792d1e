// The folder chooser a person answers: the one plat draws (driven here with
// real input on the headless screen, and looked at through its pixels) and
// the desktop's chooser program (a stand-in `zenity` first on PATH).
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>

#include "helpers.h"
#include "plat/sys/text.h"
#include "plat/win/dialog_answers.h"
#include "plat/win/shell_dialogs.h"
#include "tests/common/test_util.h"

using namespace wintest;
using testutil::ScopedEnv;
using testutil::TempDir;

namespace {

// Where the drawn chooser puts things (client coordinates).
constexpr int kListLeft = 17, kListTop = 91, kRowH = 22, kVisibleRows = 11;
constexpr POINT kOkButton{284, 370}, kCancelButton{380, 370};
constexpr RECT kPathLine{16, 64, 216, 84};
const uint32_t kSelectedRow = Argb(RGB(204, 232, 255));

std::wstring W(const std::string& s) {
    return plat::Utf8ToWide(s);
}

class FolderChooserTest : public WinTest {
protected:
    void SetUp() override {
        WinTest::SetUp();
        SetFolderChooserModeForTests(FolderChooserMode::Drawn);
    }
    void TearDown() override {
        SetFolderChooserModeForTests(FolderChooserMode::ByDisplay);
        WinTest::TearDown();
    }

    // Asks for a folder on this thread while `drive` works the chooser from
    // another one, once it is open. Returns the chosen path, or nullopt when
    // cancelled. A chooser still open afterwards is answered with "/left-open"
    // so that a failing test never hangs.
    std::optional<std::wstring> Choose(HWND owner, const std::function<void(HWND)>& drive,
                                       const wchar_t* title = L"选择一个文件夹") {
        std::atomic<bool> helperDone{false};
        std::thread helper([&] {
            HWND box = WaitForChooser();
            if (box) {
                HeadlessWaitIdle(3000);
                drive(box);
                HeadlessWaitIdle(3000);
            }
            for (int i = 0; i < 300 && box && IsWindow(box); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!box || IsWindow(box))
                QueueFolderAnswer(L"/left-open");
            helperDone = true;
        });
        wchar_t name[MAX_PATH];
        BROWSEINFO bi{};
        bi.hwndOwner = owner;
        bi.pszDisplayName = name;
        bi.lpszTitle = title;
        PIDLIST_ABSOLUTE item = SHBrowseForFolder(&bi);
        // The helper's last waits for idle input need this thread's messages
        // handled.
        PumpUntil([&] { return helperDone.load(); }, 10000);
        helper.join();
        if (!item)
            return std::nullopt;
        std::wstring path = SHGetPathFromIDListString(item);
        CoTaskMemFree(item);
        return path;
    }

    static HWND WaitForChooser(int limitMs = 3000) {
        for (int waited = 0; waited < limitMs; waited += 5) {
            HWND box = FindWindow(FOLDER_CHOOSER_CLASS, nullptr);
            if (box && IsWindowVisible(box))
                return box;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return nullptr;
    }
};

POINT ToScreen(HWND box, POINT client) {
    ClientToScreen(box, &client);
    return client;
}

void ClickAt(HWND box, POINT client) {
    POINT p = ToScreen(box, client);
    Click(p.x, p.y);
    HeadlessWaitIdle(3000);
}

POINT RowPoint(int visibleRow) {
    return POINT{kListLeft + 40, kListTop + visibleRow * kRowH + kRowH / 2};
}

void ClickRow(HWND box, int visibleRow) {
    ClickAt(box, RowPoint(visibleRow));
}

void DoubleClickRow(HWND box, int visibleRow) {
    POINT p = ToScreen(box, RowPoint(visibleRow));
    Click(p.x, p.y);
    Click(p.x, p.y);
    HeadlessWaitIdle(3000);
}

void Key(UINT vk) {
    input_key(vk, true);
    input_key(vk, false);
    HeadlessWaitIdle(3000);
}

bool IsInk(uint32_t pixel) {
    return (pixel & 0xFF) < 100 && ((pixel >> 8) & 0xFF) < 100 && ((pixel >> 16) & 0xFF) < 100;
}

// The width of the text drawn in one visible row of the list (0: none).
int RowInkWidth(const HeadlessImage& img, int visibleRow) {
    int left = -1, right = -1;
    for (int y = kListTop + visibleRow * kRowH; y < kListTop + (visibleRow + 1) * kRowH; ++y)
        for (int x = kListLeft; x < kListLeft + 390; ++x)
            if (IsInk(img.At(x, y))) {
                left = left < 0 ? x : std::min(left, x);
                right = std::max(right, x);
            }
    return left < 0 ? 0 : right - left + 1;
}

bool RowSelected(const HeadlessImage& img, int visibleRow) {
    return img.At(kListLeft + 2, kListTop + visibleRow * kRowH + 1) == kSelectedRow;
}

TEST_F(FolderChooserTest, OpensModalOverItsOwnerShowsTheFolderAndReturnsTheClickedOne) {
    TempDir home("chooser_home");
    for (const char* name : {"beta-with-a-longer-name", "alpha", ".hidden"})
        std::filesystem::create_directory(home / name);
    testutil::WriteAll(home / "note.txt", "not a folder");
    ScopedEnv env("HOME", home.Path());
    HWND owner = Make(300, 200, 560, 408);
    PumpNow();

    bool ownerDisabled = false, ownedByOwner = false;
    int ink[6] = {};
    bool pathShown = false, selectedAfterClick = false, selectedBefore = true;
    std::wstring caption;
    auto result = Choose(owner, [&](HWND box) {
        ownerDisabled = !IsWindowEnabled(owner);
        ownedByOwner = GetWindow(box, GW_OWNER) == owner;
        wchar_t text[64] = {};
        GetWindowText(box, text, 64);
        caption = text;
        HeadlessImage img = HeadlessCaptureWindow(box);
        for (int row = 0; row < 6; ++row)
            ink[row] = RowInkWidth(img, row);
        for (int y = kPathLine.top; y < kPathLine.bottom; ++y)
            for (int x = kPathLine.left; x < kPathLine.right; ++x)
                pathShown = pathShown || img.At(x, y) != 0xFFFFFFFFu;
        selectedBefore = RowSelected(img, 1);
        ClickRow(box, 1);
        selectedAfterClick = RowSelected(HeadlessCaptureWindow(box), 1);
        HeadlessSaveWindowPng(box, "/tmp/plat_win_folder_chooser.png");
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "alpha"));
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(ownedByOwner);
    EXPECT_EQ(caption, L"浏览文件夹");
    EXPECT_TRUE(pathShown);
    // "..", then the folders (visible ones first), and nothing for the file.
    EXPECT_GT(ink[0], 0);
    EXPECT_GT(ink[1], 0);
    EXPECT_GT(ink[2], 2 * ink[1]); // the long name is drawn wider than "alpha"
    EXPECT_GT(ink[3], 0);          // ".hidden" comes last
    EXPECT_EQ(ink[4], 0);
    EXPECT_FALSE(selectedBefore);
    EXPECT_TRUE(selectedAfterClick);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(FindWindow(FOLDER_CHOOSER_CLASS, nullptr), nullptr);
    EXPECT_EQ(FolderRequestsMade().back(), L"选择一个文件夹");
}

TEST_F(FolderChooserTest, DoubleClickEntersAFolderAndDotDotGoesUp) {
    TempDir home("chooser_home");
    std::filesystem::create_directories(home / "alpha/inner");
    std::filesystem::create_directory(home / "beta");
    ScopedEnv env("HOME", home.Path());
    HWND owner = Make(300, 200, 560, 408);

    int inkInside[3] = {};
    auto result = Choose(owner, [&](HWND box) {
        DoubleClickRow(box, 1); // alpha
        HeadlessImage img = HeadlessCaptureWindow(box);
        for (int row = 0; row < 3; ++row)
            inkInside[row] = RowInkWidth(img, row);
        ClickRow(box, 1); // inner
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "alpha/inner"));
    EXPECT_GT(inkInside[0], 0);
    EXPECT_GT(inkInside[1], 0);
    EXPECT_EQ(inkInside[2], 0); // only ".." and "inner"

    // In and out again: going up selects the folder it came from, so OK
    // returns it.
    result = Choose(owner, [&](HWND box) {
        DoubleClickRow(box, 2); // beta
        DoubleClickRow(box, 0); // ..
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "beta"));

    // Nothing selected: OK returns the folder shown.
    result = Choose(owner, [&](HWND box) {
        DoubleClickRow(box, 1);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "alpha"));
}

TEST_F(FolderChooserTest, CancelEscapeAndTheCloseCommandReturnNothing) {
    TempDir home("chooser_home");
    std::filesystem::create_directory(home / "alpha");
    ScopedEnv env("HOME", home.Path());
    HWND owner = Make(300, 200, 560, 408);
    auto cancelButton = [&](HWND box) {
        ClickRow(box, 1);
        ClickAt(box, kCancelButton);
    };
    auto escape = [&](HWND box) {
        ClickRow(box, 1);
        Key(VK_ESCAPE);
    };
    auto altF4 = [&](HWND) {
        input_key(VK_MENU, true);
        input_key(VK_F4, true);
        input_key(VK_F4, false);
        input_key(VK_MENU, false);
        HeadlessWaitIdle(3000);
    };
    for (const auto& drive :
         {std::function<void(HWND)>(cancelButton), std::function<void(HWND)>(escape),
          std::function<void(HWND)>(altF4)}) {
        EXPECT_EQ(Choose(owner, drive), std::nullopt);
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(FindWindow(FOLDER_CHOOSER_CLASS, nullptr), nullptr);
    }
    EXPECT_TRUE(IsWindow(owner)); // the close command closed only the chooser
}

TEST_F(FolderChooserTest, ALongListScrollsWithTheWheelAndTheKeys) {
    TempDir home("chooser_home");
    for (int i = 0; i < 30; ++i)
        std::filesystem::create_directory(home / ((i < 10 ? "d0" : "d") + std::to_string(i)));
    std::filesystem::create_directory(home / "d01/sub");
    ScopedEnv env("HOME", home.Path());
    HWND owner = Make(300, 200, 560, 408);

    // End selects the last folder, scrolled into view.
    bool lastRowSelected = false;
    auto result = Choose(owner, [&](HWND box) {
        Key(VK_END);
        lastRowSelected = RowSelected(HeadlessCaptureWindow(box), kVisibleRows - 1);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "d29"));
    EXPECT_TRUE(lastRowSelected);

    // One notch down scrolls three rows: the first row shown is then d02.
    result = Choose(owner, [&](HWND box) {
        POINT p = ToScreen(box, RowPoint(4));
        input_mouse_move(p.x, p.y);
        input_wheel(-WHEEL_DELTA);
        HeadlessWaitIdle(3000);
        ClickRow(box, 0);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "d02"));

    // Home, Down, Down, Enter opens d01; Backspace comes back out of it.
    result = Choose(owner, [&](HWND box) {
        Key(VK_HOME);
        Key(VK_DOWN);
        Key(VK_DOWN);
        Key(VK_RETURN);
        Key(VK_DOWN);
        Key(VK_DOWN);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "d01/sub"));
    result = Choose(owner, [&](HWND box) {
        Key(VK_HOME);
        Key(VK_DOWN);
        Key(VK_DOWN);
        Key(VK_RETURN);
        Key(VK_BACK); // out again, with d01 selected
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "d01"));
}

TEST_F(FolderChooserTest, ALongPathComesBackWhole) {
    TempDir base("chooser_home");
    std::string home = base.Path();
    for (int i = 0; i < 4; ++i)
        home += "/" + std::string(80, char('a' + i));
    std::filesystem::create_directories(home + "/最后");
    ScopedEnv env("HOME", home);
    HWND owner = Make(300, 200, 560, 408);
    auto result = Choose(owner, [&](HWND box) {
        ClickRow(box, 1);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home + "/最后"));
    EXPECT_GT(result->size(), size_t(MAX_PATH));
}

TEST_F(FolderChooserTest, UnreadableAndVanishedFoldersAreHandled) {
    TempDir home("chooser_home");
    std::filesystem::create_directories(home / "gone/child");
    std::filesystem::create_directories(home / "locked/hidden-inside");
    ScopedEnv env("HOME", home.Path());
    ::chmod((home / "locked").c_str(), 0);
    HWND owner = Make(300, 200, 560, 408);

    // A folder that cannot be read is entered and shows no children (root
    // reads it anyway).
    int inkInside[3] = {};
    auto result = Choose(owner, [&](HWND box) {
        DoubleClickRow(box, 2); // locked
        HeadlessImage img = HeadlessCaptureWindow(box);
        for (int row = 0; row < 3; ++row)
            inkInside[row] = RowInkWidth(img, row);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home / "locked"));
    EXPECT_GT(inkInside[0], 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(inkInside[1], 0);
    }

    // A folder removed while the chooser shows it is not entered; the list
    // is read again without it.
    int inkAfter[3] = {};
    result = Choose(owner, [&](HWND box) {
        std::filesystem::remove_all(home / "gone");
        DoubleClickRow(box, 1); // gone
        HeadlessImage img = HeadlessCaptureWindow(box);
        for (int row = 0; row < 3; ++row)
            inkAfter[row] = RowInkWidth(img, row);
        ClickAt(box, kOkButton);
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(home.Path()));
    EXPECT_GT(inkAfter[1], 0); // "locked" moved up
    EXPECT_EQ(inkAfter[2], 0);
}

TEST_F(FolderChooserTest, AnAnswerQueuedWhileItIsOpenEndsIt) {
    TempDir home("chooser_home");
    ScopedEnv env("HOME", home.Path());
    HWND owner = Make(300, 200, 560, 408);
    auto result = Choose(owner, [&](HWND) { QueueFolderAnswer(L"/srv/queued"); });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, L"/srv/queued");
    EXPECT_TRUE(IsWindowEnabled(owner));
}

// The desktop's chooser program, played by a script named `zenity` first on
// PATH: it records its arguments, says it started, waits for "go" and then
// ends as told.
class DesktopChooserTest : public FolderChooserTest {
protected:
    void SetUp() override {
        FolderChooserTest::SetUp();
        SetFolderChooserModeForTests(FolderChooserMode::AsInteractive);
        std::filesystem::create_directory(m_dir / "bin");
        std::filesystem::create_directory(m_dir / "home");
    }
    void WriteStandIn(const std::string& ending) {
        std::string script = m_dir / "bin/zenity";
        testutil::WriteAll(script, "#!/bin/sh\n"
                                   "printf '%s|' \"$@\" > '" +
                                       m_dir / "args" +
                                       "'\n"
                                       "echo $$ > '" +
                                       m_dir / "started" +
                                       "'\n"
                                       "while [ ! -e '" +
                                       m_dir / "go" + "' ]; do sleep 0.01; done\n" + ending + "\n");
        ::chmod(script.c_str(), 0755);
    }
    std::string Dir(const std::string& name) const { return m_dir / name; }
    void Go() { testutil::WriteAll(m_dir / "go", "1"); }

    // Asks for a folder while `during` runs on another thread once the
    // stand-in has started. A drawn chooser that opens is noted and
    // cancelled with Escape.
    std::optional<std::wstring> Ask(HWND owner, const std::function<void()>& during,
                                    bool* drawnShown) {
        std::atomic<bool> asking{true}, helperDone{false};
        *drawnShown = false;
        std::thread helper([&] {
            bool started = false;
            while (asking) {
                if (!started && std::filesystem::exists(m_dir / "started")) {
                    started = true;
                    testutil::WaitForFile(m_dir / "started", 3000);
                    during();
                }
                if (HWND box = FindWindow(FOLDER_CHOOSER_CLASS, nullptr)) {
                    if (IsWindowVisible(box)) {
                        *drawnShown = true;
                        HeadlessWaitIdle(3000);
                        Key(VK_ESCAPE);
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            helperDone = true;
        });
        BROWSEINFO bi{};
        bi.hwndOwner = owner;
        bi.lpszTitle = L"选择一个文件夹";
        PIDLIST_ABSOLUTE item = SHBrowseForFolder(&bi);
        asking = false;
        PumpUntil([&] { return helperDone.load(); }, 10000);
        helper.join();
        if (!item)
            return std::nullopt;
        std::wstring path = SHGetPathFromIDListString(item);
        CoTaskMemFree(item);
        return path;
    }

    TempDir m_dir{"chooser_zenity"};
    ScopedEnv m_path{"PATH", m_dir / "bin" + ":/usr/bin:/bin"};
    ScopedEnv m_home{"HOME", m_dir / "home"};
};

TEST_F(DesktopChooserTest, ItsPrintedFolderIsTheAnswerAndTheOwnerKeepsPainting) {
    std::string chosen = Dir("home") + "/" + std::string(300, 'x') + "/选 中";
    WriteStandIn("printf '%s\\n' '" + chosen + "'\nexit 0");
    HWND owner = Make(300, 200, 560, 408);
    PumpNow();
    bool ownerDisabled = false, ownerRepainted = false, drawn = false;
    auto result = Ask(
        owner,
        [&] {
            ownerDisabled = !IsWindowEnabled(owner);
            int before = CountOf(owner, WM_PAINT);
            InvalidateRect(owner, nullptr, FALSE);
            for (int i = 0; i < 300 && !ownerRepainted; ++i) {
                ownerRepainted = CountOf(owner, WM_PAINT) > before;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            Go();
        },
        &drawn);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, W(chosen));
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(ownerRepainted);
    EXPECT_FALSE(drawn);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(testutil::ReadAll(Dir("args")),
              "--file-selection|--directory|--title=选择一个文件夹|--filename=" + Dir("home") +
                  "/|");
}

TEST_F(DesktopChooserTest, ItsCancelIsFinal) {
    WriteStandIn("exit 1");
    HWND owner = Make(300, 200, 560, 408);
    bool drawn = false;
    EXPECT_EQ(Ask(
                  owner, [&] { Go(); }, &drawn),
              std::nullopt);
    EXPECT_FALSE(drawn);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(DesktopChooserTest, WithoutAWorkingDesktopChooserThePlatOneOpens) {
    HWND owner = Make(300, 200, 560, 408);
    bool drawn = false;
    {
        // None installed.
        std::filesystem::create_directory(Dir("empty"));
        ScopedEnv path("PATH", Dir("empty"));
        EXPECT_EQ(Ask(
                      owner, [] {}, &drawn),
                  std::nullopt);
        EXPECT_TRUE(drawn);
    }
    // One that fails without an answer.
    WriteStandIn("echo 'cannot open display' >&2\nexit 255");
    EXPECT_EQ(Ask(
                  owner, [&] { Go(); }, &drawn),
              std::nullopt);
    EXPECT_TRUE(drawn);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(DesktopChooserTest, AQuitOrAQueuedAnswerEndsTheChooserProgram) {
    WriteStandIn("exit 0");
    HWND owner = Make(300, 200, 560, 408);
    DWORD tid = GetCurrentThreadId();
    bool drawn = false;
    // A quit request: cancelled, the program ended, the quit passed on.
    auto result = Ask(
        owner, [&] { PostThreadMessage(tid, WM_QUIT, 7, 0); }, &drawn);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_FALSE(drawn);
    // The quit comes once the messages posted before it are gone.
    MSG msg{};
    bool quitSeen = false;
    while (!quitSeen && PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
        quitSeen = msg.message == WM_QUIT;
    EXPECT_TRUE(quitSeen);
    EXPECT_EQ(msg.wParam, WPARAM(7));
    pid_t pid = std::stoi(testutil::ReadAll(Dir("started")));
    EXPECT_NE(::kill(pid, 0), 0); // gone, and reaped

    std::filesystem::remove(Dir("started"));
    result = Ask(
        owner, [&] { QueueFolderAnswer(L"/srv/queued"); }, &drawn);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, L"/srv/queued");
    EXPECT_FALSE(drawn);
    pid = std::stoi(testutil::ReadAll(Dir("started")));
    EXPECT_NE(::kill(pid, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

} // namespace
