// CMarkup and CMarkupNode: the reader of skin layout files.
//
// CMarkup parses one document of the toolkit's small XML dialect in place:
// the wide text is copied into a buffer that the document owns, terminators
// are written into it, and names, attribute values and element texts are
// read straight from it afterwards. Elements are kept in one flat table
// (entry 0 is unused, the root is entry 1). The first error stops parsing;
// its message and the text where parsing stopped are kept for the caller.
//
// The dialect: elements with attributes in double quotes, element text,
// comments "<!-- ... -->" and processing instructions "<? ... ?>" (skipped),
// the five named entities (&amp; &lt; &gt; &quot; &apos;). No CDATA, no
// character references, no document type declarations. The root and its
// direct children may be left unclosed at the end of the text.
#pragma once

#include "ui/UIBase.h"

#include <vector>

namespace Veneer {

enum {
    XMLFILE_ENCODING_UTF8 = 0,
    XMLFILE_ENCODING_UNICODE = 1, // UTF-16 with a byte-order mark
    XMLFILE_ENCODING_ASNI = 2,    // the system narrow code page
    XMLFILE_ENCODING_ANSI = 2,
};

class CMarkup;

// A handle to one element of a CMarkup document, copied by value. It is valid
// only while its document lives and is not reloaded or released.
class CMarkupNode {
    friend class CMarkup;

public:
    // At most this many attributes of an element are visible.
    enum { MAX_XML_ATTRIBUTES = 64 };

    CMarkupNode();
    CMarkupNode(CMarkup* pOwner, int iPos);

    bool IsValid() const;

    // Navigation; each returns an invalid node when there is none.
    CMarkupNode GetParent();
    CMarkupNode GetSibling();
    CMarkupNode GetChild();
    // The first child whose name equals pstrName exactly.
    CMarkupNode GetChild(LPCTSTR pstrName);

    bool HasSiblings() const;
    bool HasChildren() const;
    // Element name and text; empty strings for an invalid node.
    LPCTSTR GetName() const;
    LPCTSTR GetValue() const;

    bool HasAttributes();
    bool HasAttribute(LPCTSTR pstrName);
    int GetAttributeCount();
    // Name / value of attribute iIndex in document order; "" when out of range.
    LPCTSTR GetAttributeName(int iIndex);
    LPCTSTR GetAttributeValue(int iIndex);
    // Value of the first attribute named pstrName; "" when there is none.
    LPCTSTR GetAttributeValue(LPCTSTR pstrName);
    // Copy a value into pstrValue (at most cchMax characters including the
    // terminator, which is always written when cchMax > 0); false when the
    // node is invalid or the attribute is absent.
    bool GetAttributeValue(int iIndex, LPTSTR pstrValue, SIZE_T cchMax);
    bool GetAttributeValue(LPCTSTR pstrName, LPTSTR pstrValue, SIZE_T cchMax);

private:
    void _MapAttributes();

    struct XMLATTRIBUTE {
        ULONG iName;
        ULONG iValue;
    };

    int m_iPos;
    int m_nAttributes;
    XMLATTRIBUTE m_aAttributes[MAX_XML_ATTRIBUTES];
    CMarkup* m_pOwner;
};

class CMarkup {
    friend class CMarkupNode;

public:
    // Loads pstrXML when it is given (check IsValid afterwards).
    explicit CMarkup(LPCTSTR pstrXML = nullptr);
    ~CMarkup();
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // Each load replaces the previous content; a failed load leaves the
    // document released (IsValid false) with the error stored.
    bool Load(LPCTSTR pstrXML);
    // Converts the bytes by encoding (XMLFILE_ENCODING_*) and parses them.
    bool LoadFromMem(const BYTE* pByte, DWORD dwSize, int encoding = XMLFILE_ENCODING_UTF8);
    // Fetches the file through the skin lookup (CPaintManagerUI's resource
    // path, zip file or in-memory archive) and parses it. Files larger than
    // 4,194,304 bytes are refused with "File too large".
    bool LoadFromFile(LPCTSTR pstrFilename, int encoding = XMLFILE_ENCODING_UTF8);
    void Release();
    bool IsValid() const;

    void SetPreserveWhitespace(bool bPreserve = true);
    // Copy the first error's message / location text (at most cchMax
    // characters including the terminator).
    void GetLastErrorMessage(LPTSTR pstrMessage, SIZE_T cchMax) const;
    void GetLastErrorLocation(LPTSTR pstrSource, SIZE_T cchMax) const;
    // Convenience accessors of the same texts.
    LPCTSTR GetLastErrorMessage() const { return m_szErrorMsg; }
    LPCTSTR GetLastErrorLocation() const { return m_szErrorXML; }

    // Node of the root element, or an invalid node when there is none.
    CMarkupNode GetRoot();

    // Largest markup file LoadFromFile accepts, in bytes.
    static constexpr DWORD kMaxFileSize = 4 * 1024 * 1024;
    // Deepest element nesting accepted ("Elements nested too deeply"); the
    // root element is level 1. The dialog builder never builds deeper than
    // this either, included layouts counted, so that building, laying out,
    // painting and destroying the deepest tree stay well within a thread's
    // stack (under 1 MB at this depth in a sanitizer build).
    static constexpr int kMaxDepth = 1000;

private:
    struct XMLELEMENT {
        ULONG iStart;
        ULONG iChild;
        ULONG iNext;
        ULONG iParent;
        ULONG iData;
        ULONG iFirstAttr; // index into m_aAttrs
        ULONG nAttrs;
    };

    bool _Parse();
    bool _Parse(LPTSTR& pstrText, ULONG iParent);
    // Appends an element record and returns its index; the table grows by
    // half its size plus 500 entries.
    ULONG _ReserveElement();
    void _SkipWhitespace(LPTSTR& pstr) const;
    void _SkipWhitespace(LPCTSTR& pstr) const;
    void _SkipIdentifier(LPTSTR& pstr) const;
    bool _ParseData(LPTSTR& pstrText, LPTSTR& pstrData, wchar_t cEnd);
    void _ParseMetaChar(LPTSTR& pstrText, LPTSTR& pstrDest);
    bool _ParseAttributes(LPTSTR& pstrText, ULONG iElement);
    bool _Failed(LPCTSTR pstrError, LPCTSTR pstrLocation = nullptr);
    // Parses the text already in m_text; releases on failure.
    bool _LoadText();

    std::vector<wchar_t> m_text;         // the document, NUL-terminated; empty when released
    LPTSTR m_pstrXML;                    // m_text.data() or null
    std::vector<XMLELEMENT> m_aElements; // entry 0 unused; empty when released
    bool m_bLoaded;
    int m_nDepth; // current element nesting while parsing
    // Attribute positions (name, value) of every element, in document order.
    std::vector<CMarkupNode::XMLATTRIBUTE> m_aAttrs;
    wchar_t m_szErrorMsg[100];
    wchar_t m_szErrorXML[50];
    bool m_bPreserveWhitespace;
};

} // namespace Veneer
