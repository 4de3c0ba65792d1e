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

    // Applies the loaded layout's Window attributes (frame size, caption,
    // default colours, shadow, ...) to the manager. Create does this itself
    // only for a manager bound to its native window; a manager without one
    // (an off-screen renderer) calls this after Create and before attaching
    // the tree. False when no layout is loaded or its root is not a Window.
    bool ApplyWindowAttributes(CPaintManagerUI* pManager);

    CMarkup* GetMarkup();
    void GetLastErrorMessage(LPWSTR pstrMessage, SIZE_T cchMax) const;
    void GetLastErrorLocation(LPWSTR pstrSource, SIZE_T cchMax) const;

    // Process-wide control factories, consulted after the element table.
    static void AddPlugin(LPCREATECONTROL pfn);
    static void RemoveAllPlugins();

    // The control for an element name of the table, or null.
    static CControlUI* CreateBuiltinControl(LPCWSTR pstrClass);

private:
    // Builds the children of one element. It recurses once per level of
    // elements, never deeper than CMarkup::kMaxDepth levels in all (included
    // layouts count), and keeps its frame small; the work for one element is
    // done by the helpers below.
    CControlUI* _Parse(CMarkupNode* parent, CControlUI* pParent = nullptr,
                       CPaintManagerUI* pManager = nullptr);
    // The control for an element name: the table, the plug-ins, then the
    // callback; null when none makes one.
    CControlUI* CreateElementControl(LPCWSTR pstrClass);
    // Default attribute list and the element's own attributes, with the
    // manager lent to the control meanwhile.
    void ApplyElementAttributes(CMarkupNode& node, CControlUI* pControl, CPaintManagerUI* pManager);
    // An Include element: builds its source "count" times into pParent.
    [[gnu::noinline]] void BuildInclude(CMarkupNode& node, CControlUI* pParent,
                                        CPaintManagerUI* pManager);
    // Image, Font and Default children of the root.
    void RegisterSharedDefinitions(CMarkupNode& root, CPaintManagerUI* pManager);
    void ApplyRootAttributes(CMarkupNode& root, CPaintManagerUI* pManager);
    // Disposes of a top-level control that nothing owns.
    static void ReleaseOrphan(CControlUI* pControl, CPaintManagerUI* pManager);
    // Destroys a control that the build cannot attach.
    static void DestroyBuilt(CControlUI* pControl, CPaintManagerUI* pManager);

    CMarkup m_xml;
    IDialogBuilderCallback* m_pCallback;
    LPCWSTR m_pstrtype;
    CStdString m_sType; // owns the text m_pstrtype points to
};

} // namespace Veneer
