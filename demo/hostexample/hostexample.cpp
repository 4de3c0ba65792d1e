// hostexample: one skinned window on the toolkit's window base.
//
// The window (class "HostExample", 560 x 408, centred, with a drop shadow)
// loads its layout from the skin archive embedded in the program (ZIPRES
// 129). "Count" adds one to the click counter, "Ask" asks a yes/no question
// in a message box and shows the answer, the caption band drags the window,
// "_" minimises it and "X" closes it. The exit code is the window's modal
// result: 1 after "X", 0 after Alt+F4. Each click notification prints a line
// "click <control name>" on standard output, and each answer "answer yes" or
// "answer no", so that a program that starts it sees what a person did. Run
// it with PLAT_AUTOMATION=<socket path> to drive it from outside.
#include "plat/sys/files.h"
#include "plat/sys/text.h"
#include "ui/UIWindowImpl.h"

#include <cstdio>
#include <string>

using namespace Veneer;

namespace {

class HostExample : public WindowImplBase {
public:
    LPCTSTR GetWindowClassName() const override { return L"HostExample"; }
    CStdString GetSkinDirectory() override { return L""; }
    CStdString GetLayoutFileName() override { return L"hostexample.xml"; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    LPCTSTR GetResourceID() const override { return MAKEINTRESOURCE(129); }

    void InitWindow() override {
        m_pCounter = m_PaintManager.FindControl(L"counter");
        m_pAnswer = m_PaintManager.FindControl(L"answer");
    }

    void OnClick(TNotifyUI& msg) override {
        const CStdString name = msg.pSender != nullptr ? msg.pSender->GetName() : CStdString();
        PrintLine("click " + plat::WideToUtf8(name.GetData()));
        if (name == L"countbtn") {
            ++m_nClicks;
            if (m_pCounter != nullptr)
                m_pCounter->SetText((L"Clicks: " + std::to_wstring(m_nClicks)).c_str());
            return;
        }
        if (name == L"askbtn") {
            const int answer = plat::MessageBox(m_hWnd, L"Do you like this window?",
                                                L"Host Example", MB_YESNO | MB_ICONQUESTION);
            if (m_pAnswer != nullptr)
                m_pAnswer->SetText(answer == IDYES ? L"Answer: yes" : L"Answer: no");
            PrintLine(answer == IDYES ? "answer yes" : "answer no");
            return;
        }
        WindowImplBase::OnClick(msg);
    }

private:
    static void PrintLine(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout); // a pipe holds nothing back
    }

    int m_nClicks = 0;
    CControlUI* m_pCounter = nullptr;
    CControlUI* m_pAnswer = nullptr;
};

} // namespace

int main() {
    CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
    HostExample window;
    if (window.Create(nullptr, L"Host Example", 0x96C80000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT) == nullptr)
        return 2;
    window.CenterWindow();
    const UINT result = window.ShowModal();
    CPaintManagerUI::Term();
    return static_cast<int>(result);
}
