#include "ui/UIDlgBuilder.h"

#include "plat/sys/resource.h"
#include "ui/UIAttrParse.h"
#include "ui/UIContainer.h"
#include "ui/UIGifAnim.h"
#include "ui/UILabel.h"
#include "ui/UIManager.h"
#include "ui/UIOption.h"
#include "ui/UIProgress.h"
#include "ui/UIRichEdit.h"
#include "ui/UIShadow.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <vector>

namespace Veneer {

namespace {

std::vector<LPCREATECONTROL>& Plugins() {
    static std::vector<LPCREATECONTROL> plugins;
    return plugins;
}

// Nesting of builders through Include. A layout that includes itself (or a
// cycle of layouts) would otherwise recurse until the stack runs out.
constexpr int kMaxIncludeDepth = 16;
thread_local int t_includeDepth = 0;
// Layouts an outermost build may include in all: a huge "count" (or counts
// multiplied through nested includes) must not build without end.
constexpr int kMaxIncludes = 10000;
thread_local int t_includeBudget = kMaxIncludes;

// Longest Include source read, in characters.
constexpr size_t kMaxIncludeSource = 499;
// Levels of elements being built on this thread, through includes too.
thread_local int t_buildLevel = 0;

struct LevelGuard {
    LevelGuard() { ++t_buildLevel; }
    ~LevelGuard() { --t_buildLevel; }
    LevelGuard(const LevelGuard&) = delete;
    LevelGuard& operator=(const LevelGuard&) = delete;
};

bool NameIs(LPCWSTR name, LPCWSTR expected) {
    return AttrNameIs(name, expected);
}

// Node handles carry their attribute map; the recursive builder keeps them
// on the heap and moves them here, outside its own frame.
[[gnu::noinline]] std::unique_ptr<CMarkupNode> FirstChild(CMarkupNode& parent) {
    return std::make_unique<CMarkupNode>(parent.GetChild());
}

[[gnu::noinline]] void NextSibling(CMarkupNode& node) {
    node = node.GetSibling();
}

} // namespace

CDialogBuilder::CDialogBuilder() : m_pCallback(nullptr), m_pstrtype(nullptr) {}

void CDialogBuilder::AddPlugin(LPCREATECONTROL pfn) {
    if (pfn != nullptr)
        Plugins().push_back(pfn);
}

void CDialogBuilder::RemoveAllPlugins() {
    Plugins().clear();
}

CControlUI* CDialogBuilder::CreateBuiltinControl(LPCWSTR pstrClass) {
    if (pstrClass == nullptr)
        return nullptr;
    // The element names are matched exactly (case-sensitive). Names of the
    // toolkit's controls that this build does not carry (lists, edits,
    // sliders, trees, ...) create nothing.
    if (NameIs(pstrClass, L"Control"))
        return new CControlUI;
    if (NameIs(pstrClass, L"Container"))
        return new CContainerUI;
    if (NameIs(pstrClass, L"VerticalLayout"))
        return new CVerticalLayoutUI;
    if (NameIs(pstrClass, L"HorizontalLayout"))
        return new CHorizontalLayoutUI;
    if (NameIs(pstrClass, L"TabLayout"))
        return new CTabLayoutUI;
    if (NameIs(pstrClass, L"Label"))
        return new CLabelUI;
    if (NameIs(pstrClass, L"Text"))
        return new CTextUI;
    if (NameIs(pstrClass, L"Button"))
        return new CButtonUI;
    if (NameIs(pstrClass, L"Option"))
        return new COptionUI;
    if (NameIs(pstrClass, L"CheckBox"))
        return new CCheckBoxUI;
    if (NameIs(pstrClass, L"Progress"))
        return new CProgressUI;
    if (NameIs(pstrClass, L"GifAnim"))
        return new CGifAnimUI;
    if (NameIs(pstrClass, L"RichEdit"))
        return new CRichEditUI;
    return nullptr;
}

CControlUI* CDialogBuilder::Create(STRINGorID xml, LPCWSTR type, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
    if (xml.IsID()) {
        if (type == nullptr)
            return nullptr;
        HINSTANCE hModule = CPaintManagerUI::GetResourceDll();
        HRSRC hResource = plat::FindResource(hModule, MAKEINTRESOURCE(xml.GetID()), type);
        if (hResource == nullptr)
            return nullptr;
        HGLOBAL hGlobal = plat::LoadResource(hModule, hResource);
        if (hGlobal == nullptr)
            return nullptr;
        const BYTE* pData = static_cast<const BYTE*>(plat::LockResource(hGlobal));
        const DWORD dwSize = plat::SizeofResource(hModule, hResource);
        if (pData == nullptr || !m_xml.LoadFromMem(pData, dwSize))
            return nullptr;
        // Keep the type: Include sources are then resource numbers of it.
        if (IS_INTRESOURCE(type)) {
            m_pstrtype = type;
        } else {
            m_sType = type;
            m_pstrtype = m_sType.GetData();
        }
    } else {
        if (xml.m_lpstr == nullptr)
            return nullptr;
        if (xml.m_lpstr[0] == L'<') {
            if (!m_xml.Load(xml.m_lpstr))
                return nullptr;
        } else {
            if (!m_xml.LoadFromFile(xml.m_lpstr))
                return nullptr;
        }
    }
    return Create(pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                                   CControlUI* pParent) {
    m_pCallback = pCallback;
    const bool bOutermost = t_includeDepth == 0;
    if (bOutermost)
        t_includeBudget = kMaxIncludes;
    CMarkupNode root = m_xml.GetRoot();
    if (!root.IsValid())
        return nullptr;

    if (pManager != nullptr) {
        RegisterSharedDefinitions(root, pManager);
        // Without its native window the manager has nothing to apply them
        // to; an off-screen user calls ApplyWindowAttributes itself.
        if (pManager->GetPaintWindow() != nullptr)
            ApplyWindowAttributes(pManager);
    }
    IContainerUI* pContainer =
        pParent != nullptr ? static_cast<IContainerUI*>(pParent->GetInterface(L"IContainer"))
                           : nullptr;
    const int nBefore = pContainer != nullptr ? pContainer->GetCount() : 0;
    CControlUI* pResult = _Parse(&root, pParent, pManager);

    // What the controls registered with the manager while it was lent to
    // them (an option's group, the focus a tab layout's selection gives)
    // must not outlive them, and the tree may be thrown away unattached: the
    // manager forgets the whole build, and attaching the tree registers it
    // anew. Included layouts are part of the outermost build.
    if (bOutermost && pManager != nullptr) {
        pManager->ReapControls(pResult);
        for (int i = nBefore; pContainer != nullptr && i < pContainer->GetCount(); ++i)
            pManager->ReapControls(pContainer->GetItemAt(i));
    }
    return pResult;
}

bool CDialogBuilder::ApplyWindowAttributes(CPaintManagerUI* pManager) {
    CMarkupNode root = m_xml.GetRoot();
    if (pManager == nullptr || !root.IsValid() || !NameIs(root.GetName(), L"Window"))
        return false;
    ApplyRootAttributes(root, pManager);
    return true;
}

void CDialogBuilder::RegisterSharedDefinitions(CMarkupNode& root, CPaintManagerUI* pManager) {
    for (CMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        LPCWSTR pstrClass = node.GetName();
        const int nAttributes = node.GetAttributeCount();
        if (NameIs(pstrClass, L"Image")) {
            LPCWSTR pImageName = nullptr;
            LPCWSTR pImageResType = nullptr;
            DWORD mask = 0;
            for (int i = 0; i < nAttributes; ++i) {
                LPCWSTR pstrName = node.GetAttributeName(i);
                LPCWSTR pstrValue = node.GetAttributeValue(i);
                if (NameIs(pstrName, L"name"))
                    pImageName = pstrValue;
                else if (NameIs(pstrName, L"restype"))
                    pImageResType = pstrValue;
                else if (NameIs(pstrName, L"mask"))
                    mask = ParseAttrColor(pstrValue);
            }
            if (pImageName != nullptr)
                pManager->AddImage(pImageName, pImageResType, mask);
        } else if (NameIs(pstrClass, L"Font")) {
            LPCWSTR pFontName = nullptr;
            int size = 12;
            bool bold = false, underline = false, italic = false, defaultfont = false;
            for (int i = 0; i < nAttributes; ++i) {
                LPCWSTR pstrName = node.GetAttributeName(i);
                LPCWSTR pstrValue = node.GetAttributeValue(i);
                if (NameIs(pstrName, L"name"))
                    pFontName = pstrValue;
                else if (NameIs(pstrName, L"size"))
                    size = ParseAttrInt(pstrValue);
                else if (NameIs(pstrName, L"bold"))
                    bold = ParseAttrBool(pstrValue);
                else if (NameIs(pstrName, L"underline"))
                    underline = ParseAttrBool(pstrValue);
                else if (NameIs(pstrName, L"italic"))
                    italic = ParseAttrBool(pstrValue);
                else if (NameIs(pstrName, L"default"))
                    defaultfont = ParseAttrBool(pstrValue);
            }
            if (pFontName != nullptr) {
                pManager->AddFont(pFontName, size, bold, underline, italic);
                if (defaultfont)
                    pManager->SetDefaultFont(pFontName, size, bold, underline, italic);
            }
        } else if (NameIs(pstrClass, L"Default")) {
            LPCWSTR pControlName = nullptr;
            LPCWSTR pControlValue = nullptr;
            for (int i = 0; i < nAttributes; ++i) {
                LPCWSTR pstrName = node.GetAttributeName(i);
                LPCWSTR pstrValue = node.GetAttributeValue(i);
                if (NameIs(pstrName, L"name"))
                    pControlName = pstrValue;
                else if (NameIs(pstrName, L"value"))
                    pControlValue = pstrValue;
            }
            if (pControlName != nullptr)
                pManager->AddDefaultAttributeList(pControlName,
                                                  pControlValue ? pControlValue : L"");
        }
    }
}

void CDialogBuilder::ApplyRootAttributes(CMarkupNode& root, CPaintManagerUI* pManager) {
    const int nAttributes = root.GetAttributeCount();
    for (int i = 0; i < nAttributes; ++i) {
        LPCWSTR pstrName = root.GetAttributeName(i);
        LPCWSTR pstrValue = root.GetAttributeValue(i);
        if (pstrValue == nullptr)
            pstrValue = L"";
        if (NameIs(pstrName, L"size")) {
            SIZE sz = ParseAttrSize(pstrValue);
            pManager->SetInitSize(sz.cx, sz.cy);
        } else if (NameIs(pstrName, L"sizebox")) {
            pManager->SetSizeBox(ParseAttrRect(pstrValue));
        } else if (NameIs(pstrName, L"caption")) {
            pManager->SetCaptionRect(ParseAttrRect(pstrValue));
        } else if (NameIs(pstrName, L"roundcorner")) {
            SIZE sz = ParseAttrSize(pstrValue);
            pManager->SetRoundCorner(sz.cx, sz.cy);
        } else if (NameIs(pstrName, L"mininfo")) {
            SIZE sz = ParseAttrSize(pstrValue);
            pManager->SetMinInfo(sz.cx, sz.cy);
        } else if (NameIs(pstrName, L"maxinfo")) {
            SIZE sz = ParseAttrSize(pstrValue);
            pManager->SetMaxInfo(sz.cx, sz.cy);
        } else if (NameIs(pstrName, L"alpha")) {
            pManager->SetTransparent(ParseAttrInt(pstrValue));
        } else if (NameIs(pstrName, L"bktrans")) {
            pManager->SetBackgroundTransparent(ParseAttrBool(pstrValue));
        } else if (NameIs(pstrName, L"disabledfontcolor")) {
            pManager->SetDefaultDisabledColor(ParseAttrColor(pstrValue));
        } else if (NameIs(pstrName, L"defaultfontcolor")) {
            pManager->SetDefaultFontColor(ParseAttrColor(pstrValue));
        } else if (NameIs(pstrName, L"linkfontcolor")) {
            pManager->SetDefaultLinkFontColor(ParseAttrColor(pstrValue));
        } else if (NameIs(pstrName, L"linkhoverfontcolor")) {
            pManager->SetDefaultLinkHoverFontColor(ParseAttrColor(pstrValue));
        } else if (NameIs(pstrName, L"selectedcolor")) {
            pManager->SetDefaultSelectedBkColor(ParseAttrColor(pstrValue));
        } else if (NameIs(pstrName, L"shadowsize")) {
            pManager->GetShadow()->SetSize(ParseAttrInt(pstrValue));
        } else if (NameIs(pstrName, L"shadowsharpness")) {
            pManager->GetShadow()->SetSharpness(static_cast<unsigned>(ParseAttrInt(pstrValue)));
        } else if (NameIs(pstrName, L"shadowdarkness")) {
            pManager->GetShadow()->SetDarkness(static_cast<unsigned>(ParseAttrInt(pstrValue)));
        } else if (NameIs(pstrName, L"shadowposition")) {
            SIZE sz = ParseAttrSize(pstrValue);
            pManager->GetShadow()->SetPosition(sz.cx, sz.cy);
        } else if (NameIs(pstrName, L"shadowcolor")) {
            pManager->GetShadow()->SetColor(ParseAttrColor(pstrValue));
        } else if (NameIs(pstrName, L"shadowcorner")) {
            pManager->GetShadow()->SetShadowCorner(ParseAttrRect(pstrValue));
        } else if (NameIs(pstrName, L"shadowimage")) {
            if (*pstrValue != L'\0')
                pManager->GetShadow()->SetImage(pstrValue);
        } else if (NameIs(pstrName, L"showshadow")) {
            pManager->GetShadow()->ShowShadow(ParseAttrBool(pstrValue));
        } else if (NameIs(pstrName, L"gdiplustext")) {
            pManager->SetUseGdiplusText(ParseAttrBool(pstrValue));
        }
    }
}

CMarkup* CDialogBuilder::GetMarkup() {
    return &m_xml;
}

void CDialogBuilder::GetLastErrorMessage(LPWSTR pstrMessage, SIZE_T cchMax) const {
    m_xml.GetLastErrorMessage(pstrMessage, cchMax);
}

void CDialogBuilder::GetLastErrorLocation(LPWSTR pstrSource, SIZE_T cchMax) const {
    m_xml.GetLastErrorLocation(pstrSource, cchMax);
}

void CDialogBuilder::ReleaseOrphan(CControlUI* pControl, CPaintManagerUI* pManager) {
    // A control at the top level after the first belongs to no parent and is
    // never handed out. With a manager it may sit in an option group, so the
    // manager's clean-up destroys it (and takes it out of the group).
    if (pManager != nullptr)
        pManager->AddDelayedCleanup(pControl);
    else
        delete pControl;
}

void CDialogBuilder::DestroyBuilt(CControlUI* pControl, CPaintManagerUI* pManager) {
    // Its subtree was configured under the manager; the controls no longer
    // know it, so the manager must forget them before they go.
    if (pManager != nullptr)
        pManager->ReapControls(pControl);
    delete pControl;
}

CControlUI* CDialogBuilder::CreateElementControl(LPCWSTR pstrClass) {
    CControlUI* pControl = CreateBuiltinControl(pstrClass);
    if (pControl == nullptr) {
        for (LPCREATECONTROL pfn : Plugins()) {
            pControl = pfn(pstrClass);
            if (pControl != nullptr)
                break;
        }
    }
    if (pControl == nullptr && m_pCallback != nullptr)
        pControl = m_pCallback->CreateControl(pstrClass);
    return pControl;
}

void CDialogBuilder::ApplyElementAttributes(CMarkupNode& node, CControlUI* pControl,
                                            CPaintManagerUI* pManager) {
    // The manager is lent for the attributes only, so that they reach its
    // fonts, images and option groups.
    if (pManager != nullptr) {
        pControl->SetManager(pManager, nullptr, false);
        LPCWSTR pDefaultAttributes = pManager->GetDefaultAttributeList(node.GetName());
        if (pDefaultAttributes != nullptr)
            pControl->ApplyAttributeList(pDefaultAttributes);
    }
    const int nAttributes = node.GetAttributeCount();
    for (int i = 0; i < nAttributes; ++i)
        pControl->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    if (pManager != nullptr)
        pControl->SetManager(nullptr, nullptr, false);
}

void CDialogBuilder::BuildInclude(CMarkupNode& node, CControlUI* pParent,
                                  CPaintManagerUI* pManager) {
    if (!node.HasAttributes())
        return;
    int count = 1;
    CStdString source;
    const int nAttributes = node.GetAttributeCount();
    for (int i = 0; i < nAttributes; ++i) {
        LPCWSTR pstrName = node.GetAttributeName(i);
        LPCWSTR pstrValue = node.GetAttributeValue(i);
        if (NameIs(pstrName, L"count"))
            count = ParseAttrInt(pstrValue);
        else if (NameIs(pstrName, L"source") && pstrValue != nullptr)
            source = CStdString(pstrValue, static_cast<int>(std::min<size_t>(std::wcslen(pstrValue),
                                                                             kMaxIncludeSource)));
    }
    if (source.IsEmpty() || t_includeDepth >= kMaxIncludeDepth)
        return;
    ++t_includeDepth;
    for (int i = 0; i < count && t_includeBudget > 0; ++i) {
        --t_includeBudget;
        CDialogBuilder builder;
        CControlUI* pIncluded = nullptr;
        if (m_pstrtype != nullptr)
            pIncluded = builder.Create(STRINGorID((UINT)ParseAttrInt(source.GetData())), m_pstrtype,
                                       m_pCallback, pManager, pParent);
        else
            pIncluded = builder.Create(STRINGorID(source.GetData()), nullptr, m_pCallback, pManager,
                                       pParent);
        // Without a parent nothing owns what the include built.
        if (pParent == nullptr && pIncluded != nullptr)
            ReleaseOrphan(pIncluded, pManager);
        // A source that cannot be loaded fails the same way each time.
        if (!builder.GetMarkup()->IsValid())
            break;
    }
    --t_includeDepth;
}

CControlUI* CDialogBuilder::_Parse(CMarkupNode* pRoot, CControlUI* pParent,
                                   CPaintManagerUI* pManager) {
    // One call per level of elements, included layouts counted too. The
    // frame holds pointers only (the current node lives on the heap and the
    // per-element work is done in helpers), so that the deepest layout the
    // markup reader accepts builds within the stack.
    LevelGuard level;
    if (t_buildLevel >= CMarkup::kMaxDepth)
        return nullptr;
    IContainerUI* pContainer = nullptr;
    CControlUI* pReturn = nullptr;
    for (std::unique_ptr<CMarkupNode> node = FirstChild(*pRoot); node->IsValid();
         NextSibling(*node)) {
        LPCWSTR pstrClass = node->GetName();
        if (NameIs(pstrClass, L"Image") || NameIs(pstrClass, L"Font") ||
            NameIs(pstrClass, L"Default"))
            continue;
        if (NameIs(pstrClass, L"Include")) {
            BuildInclude(*node, pParent, pManager);
            continue;
        }
        if (NameIs(pstrClass, L"TreeNode"))
            continue; // tree views are not part of this toolkit build

        CControlUI* pControl = CreateElementControl(pstrClass);
        if (pControl == nullptr)
            continue;
        if (node->HasChildren())
            _Parse(node.get(), pControl, pManager);

        if (pParent != nullptr) {
            if (pContainer == nullptr)
                pContainer = static_cast<IContainerUI*>(pParent->GetInterface(L"IContainer"));
            if (pContainer == nullptr) {
                // The parent takes no children: this level ends here, and the
                // control built for it is released rather than lost.
                DestroyBuilt(pControl, pManager);
                return nullptr;
            }
            if (!pContainer->Add(pControl)) {
                DestroyBuilt(pControl, pManager);
                continue;
            }
        }
        ApplyElementAttributes(*node, pControl, pManager);

        if (pReturn == nullptr)
            pReturn = pControl;
        else if (pParent == nullptr)
            ReleaseOrphan(pControl, pManager); // only the first is handed out
    }
    return pReturn;
}

} // namespace Veneer
