// CDialogBuilder: turns one skin layout into a tree of controls for one
// window, registering the layout's shared definitions (images, fonts,
// default attribute lists) and window attributes with the paint manager.
#pragma once

#include "ui/UIControl.h"
#include "ui/UIMarkup.h"

namespace Veneer {

// Consulted for element names the builder's table does not know.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A new control for the element name, or null.
    virtual CControlUI* CreateControl(LPCWSTR pstrClass) = 0;
};

// A control factory registered process-wide (the plug-in list).
using LPCREATECONTROL = CControlUI* (*)(LPCWSTR pstrType);

class CDialogBuilder {
public:
    CDialogBuilder();

    // Loads the layout and builds it. xml is a resource number (loaded from
    // the resource module with the given type), markup text (first character
    // "<"), or a skin file name. Null when loading fails (see the error
    // operations) or nothing was built.
    CControlUI* Create(STRINGorID xml, LPCWSTR type = nullptr,
                       IDialogBuilderCallback* pCallback = nullptr,
                       CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
    // Builds from the markup already loaded; the first control created
    // directly under the root element, or null.
    CControlUI* Create(IDialogBuilderCallback* pCallback = nullptr,
                       CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);

    CMarkup* GetMarkup();
    void GetLastErrorMessage(LPWSTR pstrMessage, SIZE_T cchMax) const;
    void GetLastErrorLocation(LPWSTR pstrSource, SIZE_T cchMax) const;

    // Process-wide control factories, consulted after the element table.
    static void AddPlugin(LPCREATECONTROL pfn);
    static void RemoveAllPlugins();

    // The control for an element name of the table, or null.
    static CControlUI* CreateBuiltinControl(LPCWSTR pstrClass);

private:
    CControlUI* _Parse(CMarkupNode* parent, CControlUI* pParent = nullptr,
                       CPaintManagerUI* pManager = nullptr);
    // Image, Font and Default children of the root.
    void RegisterSharedDefinitions(CMarkupNode& root, CPaintManagerUI* pManager);
    void ApplyWindowAttributes(CMarkupNode& root, CPaintManagerUI* pManager);
    // Disposes of a top-level control that nothing owns.
    static void ReleaseOrphan(CControlUI* pControl, CPaintManagerUI* pManager);

    CMarkup m_xml;
    IDialogBuilderCallback* m_pCallback;
    LPCWSTR m_pstrtype;
    CStdString m_sType; // owns the text m_pstrtype points to
};

} // namespace Veneer
