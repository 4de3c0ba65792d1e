// TarvexPDFConver: the product the installer installs (as
// "TarvexPDFConver.exe") and starts from its finish window.
//
// One skinned window (class "TarvexPDFConver", 640 x 400, centred, with a
// drop shadow) from the skin archive embedded in the program (ZIPRES 129).
// It says what the program is, its version (read from its own version
// resource), where it is installed and how often it has been started. "关闭"
// or "X" closes it (exit code 0); "_" minimises it.
//
// Like most desktop products it keeps a little usage state in the registry:
// every start adds one to startCount and sets lastStart (UTC) under
// HKEY_CURRENT_USER\Software\TarvexPDFConver. A store that cannot be written
// does not keep the program from running; the window then says so.
#include "demo/product/start_record.h"
#include "plat/sys/files.h"
#include "plat/sys/version.h"
#include "ui/UIWindowImpl.h"

#include <string>
#include <vector>

using namespace Veneer;

namespace {

// "2.0.1.0" from the product version of the running executable; empty when
// it has no version resource.
std::wstring OwnVersion() {
    const std::wstring path = plat::GetModuleFileNameString();
    plat::DWORD handle = 0;
    const plat::DWORD size = plat::GetFileVersionInfoSize(path.c_str(), &handle);
    if (size == 0)
        return std::wstring();
    std::vector<plat::DWORD> block((size + 3) / 4);
    plat::LPVOID fixed = nullptr;
    plat::UINT length = 0;
    if (!plat::GetFileVersionInfo(path.c_str(), handle, size, block.data()) ||
        !plat::VerQueryValue(block.data(), L"\\", &fixed, &length) ||
        length < sizeof(plat::VS_FIXEDFILEINFO))
        return std::wstring();
    const auto* info = static_cast<const plat::VS_FIXEDFILEINFO*>(fixed);
    return std::to_wstring(HIWORD(info->dwProductVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwProductVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwProductVersionLS)) + L"." +
           std::to_wstring(LOWORD(info->dwProductVersionLS));
}

// The folder of the running executable.
std::wstring OwnFolder() {
    std::wstring path = plat::GetModuleFileNameString();
    const size_t slash = path.find_last_of(plat::kPathSeparators);
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

class ProductWindow : public WindowImplBase {
public:
    ProductWindow(std::wstring version, std::wstring folder, std::wstring starts)
        : m_strVersion(std::move(version)), m_strFolder(std::move(folder)),
          m_strStarts(std::move(starts)) {}

    LPCTSTR GetWindowClassName() const override { return L"TarvexPDFConver"; }
    CStdString GetSkinDirectory() override { return L""; }
    CStdString GetLayoutFileName() override { return L"product.xml"; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    LPCTSTR GetResourceID() const override { return MAKEINTRESOURCE(129); }

    void InitWindow() override {
        SetText(L"version", m_strVersion.empty() ? L"版本未知" : L"版本 " + m_strVersion);
        SetText(L"location", L"安装位置：" + m_strFolder);
        SetText(L"starts", m_strStarts);
    }

    void OnClick(TNotifyUI& msg) override {
        if (msg.pSender != nullptr && msg.pSender->GetName() == L"okbtn") {
            Close(0);
            return;
        }
        WindowImplBase::OnClick(msg);
    }

private:
    void SetText(LPCTSTR name, const std::wstring& text) {
        CControlUI* control = m_PaintManager.FindControl(name);
        if (control != nullptr)
            control->SetText(text.c_str());
    }

    std::wstring m_strVersion;
    std::wstring m_strFolder;
    std::wstring m_strStarts;
};

} // namespace

int main() {
    CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
    const demo::StartRecord record = demo::RecordStart();
    const std::wstring starts =
        record.saved ? L"第 " + std::to_wstring(record.count) + L" 次启动" : L"启动记录无法保存";
    ProductWindow window(OwnVersion(), OwnFolder(), starts);
    if (window.Create(nullptr, L"TarvexPDFConver", 0x96C80000, 0x100, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT) == nullptr)
        return 2;
    window.CenterWindow();
    window.ShowModal();
    CPaintManagerUI::Term();
    return 0;
}
