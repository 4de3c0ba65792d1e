// The install window inside the test process on the headless screen: what
// the engine's calls show, how they cross from the worker thread (one
// progress message in flight however many calls), and that calls after the
// window has gone are dropped.
#include "windows/InstallerInstallWnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/install_context.h"
#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "tests/common/test_util.h"
#include "ui/UIManager.h"
#include "windows/InstallerFinishWnd.h"

using namespace installer;

namespace {

// The window without its engine: the test plays the worker.
class QuietInstallWnd : public InstallerInstallWnd {
protected:
    void StartWorker() override {}
};

void PumpNow() {
    MSG msg;
    while (plat::PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            plat::TranslateMessage(&msg);
            plat::DispatchMessage(&msg);
        }
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        PumpNow();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Removes and dispatches the window's progress messages now queued;
// returns how many there were.
int TakeProgressMessages(HWND hwnd) {
    int count = 0;
    MSG msg;
    while (plat::PeekMessage(&msg, hwnd, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE)) {
        ++count;
        plat::DispatchMessage(&msg);
    }
    return count;
}

class InstallWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr)); }

    void SetUp() override {
        ASSERT_NE(m_wnd.CreateFrame(nullptr, L"InstallerInstallWnd"), nullptr);
        m_hWnd = m_wnd.GetHWND();
        PumpNow();
    }
    void TearDown() override {
        if (plat::IsWindow(m_hWnd))
            plat::DestroyWindow(m_hWnd);
        PumpNow();
    }

    std::wstring Text(CControlUI* control) { return control->GetText().str(); }

    QuietInstallWnd m_wnd;
    HWND m_hWnd = nullptr;
};

} // namespace

TEST_F(InstallWindow, ABurstFromTheWorkerPostsOneMessageAndShowsTheNewestValue) {
    std::thread worker([this] {
        for (int i = 0; i < 1000; ++i)
            m_wnd.SetProgress(i % 100);
        m_wnd.SetProgress(37);
    });
    worker.join();
    EXPECT_EQ(TakeProgressMessages(m_hWnd), 1);
    EXPECT_EQ(Text(m_wnd.m_pDownText), L"37%");
    EXPECT_EQ(m_wnd.m_pDownProgress->GetValue(), 37);
    // The next value posts again.
    m_wnd.SetProgress(38);
    EXPECT_EQ(TakeProgressMessages(m_hWnd), 1);
    EXPECT_EQ(Text(m_wnd.m_pDownText), L"38%");
}

TEST_F(InstallWindow, PercentagesThenTheInstallingDisplayThenAFailure) {
    for (int value : {0, 37, 99}) {
        m_wnd.SetProgress(value);
        TakeProgressMessages(m_hWnd);
        EXPECT_EQ(Text(m_wnd.m_pDownText), std::to_wstring(value) + L"%");
        EXPECT_EQ(m_wnd.m_pDownProgress->GetValue(), value);
        EXPECT_TRUE(m_wnd.m_pDownLabel->IsVisible());
        EXPECT_FALSE(m_wnd.m_pInstallGif->IsVisible());
    }
    m_wnd.SetProgress(100);
    TakeProgressMessages(m_hWnd);
    EXPECT_FALSE(m_wnd.m_pDownLabel->IsVisible());
    EXPECT_FALSE(m_wnd.m_pDownText->IsVisible());
    EXPECT_FALSE(m_wnd.m_pDownProgress->IsVisible());
    EXPECT_TRUE(m_wnd.m_pInstallText->IsVisible());
    EXPECT_EQ(Text(m_wnd.m_pInstallText), L"正在安装...");
    EXPECT_TRUE(m_wnd.m_pInstallGif->IsVisible());
    EXPECT_EQ(m_wnd.m_pDownProgress->GetValue(), 100);

    // A failure after the downloads stops the animation and shows the bar.
    m_wnd.ShowFailure(L"安装失败！");
    PumpNow();
    EXPECT_TRUE(m_wnd.m_pInstallText->IsVisible());
    EXPECT_EQ(Text(m_wnd.m_pInstallText), L"安装失败！");
    EXPECT_FALSE(m_wnd.m_pInstallGif->IsVisible());
    EXPECT_TRUE(m_wnd.m_pDownProgress->IsVisible());
    EXPECT_TRUE(m_wnd.m_pCloseBtn->IsEnabled());
}

TEST_F(InstallWindow, WorkerAndWindowThreadTogetherEndWithTheLastValueAndTheDoneMessage) {
    std::atomic<bool> done{false};
    std::thread worker([this, &done] {
        for (int i = 0; i <= 5000; ++i) {
            m_wnd.SetProgress(i * 99 / 5000);
            if (i % 500 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // Sent: returns once the window has handled it (and closed).
        m_wnd.InstallDone();
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load() && !plat::IsWindow(m_hWnd); }));
    worker.join();
    EXPECT_EQ(Text(m_wnd.m_pDownText), L"99%");
}

TEST_F(InstallWindow, CallsAfterTheWindowHasGoneAreDropped) {
    plat::DestroyWindow(m_hWnd);
    PumpNow();
    ASSERT_FALSE(plat::IsWindow(m_hWnd));
    std::thread worker([this] {
        m_wnd.SetProgress(50);
        m_wnd.ShowFailure(L"获取信息失败！");
        m_wnd.InstallDone(); // returns at once: nobody to handle it
    });
    worker.join();
    MSG msg;
    EXPECT_FALSE(
        plat::PeekMessage(&msg, nullptr, WM_INSTALL_PROGRESS, WM_INSTALL_FAILURE, PM_REMOVE));
    PumpNow();
}

namespace {

// An install window whose worker hands over the product's path and ends
// the installation, as the engine does once the product has installed.
class HandOverInstallWnd : public InstallerInstallWnd {
public:
    explicit HandOverInstallWnd(std::wstring product) : m_strProduct(std::move(product)) {}
    ~HandOverInstallWnd() {
        if (m_worker.joinable())
            m_worker.join();
    }

protected:
    void StartWorker() override {
        m_worker = std::thread([this] {
            SetProductExePath(m_strProduct);
            InstallDone();
        });
    }

private:
    std::wstring m_strProduct;
    std::thread m_worker;
};

} // namespace

// The product path crosses from the worker to the finish window: written on
// the worker's thread, read on the window's when its button is activated.
TEST(FinishWindowHandOver, TheButtonStartsTheProductTheWorkerNamed) {
    CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
    testutil::TempDir dir("finish_handover");
    const std::string product = dir / "TarvexPDFConver.exe";
    const std::string marker = dir / "started";
    testutil::WriteAll(product, "#!/bin/sh\necho started > '" + marker + "'\n");
    std::filesystem::permissions(product, std::filesystem::perms::owner_all);
    const std::wstring saved = ProductExePath();
    SetProductExePath(L"");

    HandOverInstallWnd install(plat::Utf8ToWide(product));
    ASSERT_NE(install.CreateFrame(nullptr, L"InstallerInstallWnd"), nullptr);
    const HWND hInstall = install.GetHWND();
    // WM_INSTALL_DONE closes the window once the path has been handed over.
    EXPECT_TRUE(PumpUntil([&] { return !plat::IsWindow(hInstall); }));

    InstallerFinishWnd finish;
    ASSERT_NE(finish.CreateFrame(nullptr, L"InstallerFinishWnd"), nullptr);
    const HWND hFinish = finish.GetHWND();
    CControlUI* start = finish.GetPaintManager().FindControl(L"startbtn");
    ASSERT_NE(start, nullptr);
    EXPECT_TRUE(start->Activate());
    EXPECT_TRUE(PumpUntil([&] { return !plat::IsWindow(hFinish); }));
    EXPECT_TRUE(PumpUntil([&] { return std::filesystem::exists(marker); }))
        << "the product was not started";
    SetProductExePath(saved);
}
