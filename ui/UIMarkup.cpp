// The skin layout reader (see UIMarkup.h).
#include "ui/UIMarkup.h"

#include "ui/UIManager.h"

#include <cwchar>
#include <cwctype>

namespace Veneer {

namespace {

// Appends one code point: as it is where wchar_t holds any code point, as a
// surrogate pair above U+FFFF where wchar_t holds UTF-16 code units.
void AppendCodePoint(std::vector<wchar_t>& out, uint32_t cp) {
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        return;
    }
    out.push_back(static_cast<wchar_t>(cp));
}

// Decodes UTF-8 into wide characters; every invalid or truncated sequence
// becomes U+FFFD.
void AppendUtf8(std::vector<wchar_t>& out, const BYTE* p, size_t n) {
    out.reserve(out.size() + n + 1);
    size_t i = 0;
    while (i < n) {
        BYTE c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        int len = 0;
        uint32_t cp = 0;
        uint32_t min = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
            min = 0x10000;
        }
        if (len == 0) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        int k = 1;
        for (; k < len && i + static_cast<size_t>(k) < n; ++k) {
            BYTE cc = p[i + static_cast<size_t>(k)];
            if ((cc & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (k < len) {
            // Truncated sequence: replace what was consumed so far.
            out.push_back(0xFFFD);
            i += static_cast<size_t>(k);
            continue;
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        AppendCodePoint(out, cp);
        i += static_cast<size_t>(len);
    }
}

// Decodes UTF-16 code units (already in host order); surrogate pairs are
// kept as one character, unpaired surrogates become U+FFFD.
void AppendUtf16(std::vector<wchar_t>& out, const std::vector<uint16_t>& units) {
    out.reserve(out.size() + units.size() + 1);
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            AppendCodePoint(out, cp);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(static_cast<wchar_t>(u));
        }
    }
}

void CopyText(LPTSTR dst, SIZE_T cchMax, LPCTSTR src) {
    if (!dst || cchMax == 0)
        return;
    SIZE_T i = 0;
    for (; i + 1 < cchMax && src[i] != 0; ++i)
        dst[i] = src[i];
    dst[i] = 0;
}

bool IsNameChar(wchar_t ch) {
    return ch == L'_' || ch == L':' || (ch > 0 && iswalnum(static_cast<wint_t>(ch)));
}

} // namespace

/////////////////////////////////////////////////////////////////////////////
// CMarkupNode

CMarkupNode::CMarkupNode() : m_iPos(0), m_nAttributes(0), m_pOwner(nullptr) {}

CMarkupNode::CMarkupNode(CMarkup* pOwner, int iPos)
    : m_iPos(iPos), m_nAttributes(0), m_pOwner(pOwner) {}

bool CMarkupNode::IsValid() const {
    return m_pOwner != nullptr && m_pOwner->m_bLoaded;
}

CMarkupNode CMarkupNode::GetParent() {
    if (!IsValid())
        return CMarkupNode();
    ULONG iPos = m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iParent;
    if (iPos == 0)
        return CMarkupNode();
    return CMarkupNode(m_pOwner, static_cast<int>(iPos));
}

CMarkupNode CMarkupNode::GetSibling() {
    if (!IsValid())
        return CMarkupNode();
    ULONG iPos = m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iNext;
    if (iPos == 0)
        return CMarkupNode();
    return CMarkupNode(m_pOwner, static_cast<int>(iPos));
}

CMarkupNode CMarkupNode::GetChild() {
    if (!IsValid())
        return CMarkupNode();
    ULONG iPos = m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iChild;
    if (iPos == 0)
        return CMarkupNode();
    return CMarkupNode(m_pOwner, static_cast<int>(iPos));
}

CMarkupNode CMarkupNode::GetChild(LPCTSTR pstrName) {
    if (!IsValid() || !pstrName)
        return CMarkupNode();
    ULONG iPos = m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iChild;
    while (iPos != 0) {
        const auto& el = m_pOwner->m_aElements[iPos];
        if (wcscmp(m_pOwner->m_pstrXML + el.iStart, pstrName) == 0)
            return CMarkupNode(m_pOwner, static_cast<int>(iPos));
        iPos = el.iNext;
    }
    return CMarkupNode();
}

bool CMarkupNode::HasSiblings() const {
    if (!IsValid())
        return false;
    return m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iNext > 0;
}

bool CMarkupNode::HasChildren() const {
    if (!IsValid())
        return false;
    return m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iChild != 0;
}

LPCTSTR CMarkupNode::GetName() const {
    if (!IsValid())
        return L"";
    return m_pOwner->m_pstrXML + m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iStart;
}

LPCTSTR CMarkupNode::GetValue() const {
    if (!IsValid())
        return L"";
    return m_pOwner->m_pstrXML + m_pOwner->m_aElements[static_cast<size_t>(m_iPos)].iData;
}

void CMarkupNode::_MapAttributes() {
    m_nAttributes = 0;
    const auto& el = m_pOwner->m_aElements[static_cast<size_t>(m_iPos)];
    ULONG n = el.nAttrs;
    if (n > MAX_XML_ATTRIBUTES)
        n = MAX_XML_ATTRIBUTES;
    for (ULONG i = 0; i < n; ++i)
        m_aAttributes[i] = m_pOwner->m_aAttrs[el.iFirstAttr + i];
    m_nAttributes = static_cast<int>(n);
}

bool CMarkupNode::HasAttributes() {
    if (!IsValid())
        return false;
    if (m_nAttributes == 0)
        _MapAttributes();
    return m_nAttributes > 0;
}

bool CMarkupNode::HasAttribute(LPCTSTR pstrName) {
    if (!IsValid() || !pstrName)
        return false;
    if (m_nAttributes == 0)
        _MapAttributes();
    for (int i = 0; i < m_nAttributes; ++i) {
        if (wcscmp(m_pOwner->m_pstrXML + m_aAttributes[i].iName, pstrName) == 0)
            return true;
    }
    return false;
}

int CMarkupNode::GetAttributeCount() {
    if (!IsValid())
        return 0;
    if (m_nAttributes == 0)
        _MapAttributes();
    return m_nAttributes;
}

LPCTSTR CMarkupNode::GetAttributeName(int iIndex) {
    if (!IsValid() || iIndex < 0)
        return L"";
    if (m_nAttributes == 0)
        _MapAttributes();
    if (iIndex >= m_nAttributes)
        return L"";
    return m_pOwner->m_pstrXML + m_aAttributes[iIndex].iName;
}

LPCTSTR CMarkupNode::GetAttributeValue(int iIndex) {
    if (!IsValid() || iIndex < 0)
        return L"";
    if (m_nAttributes == 0)
        _MapAttributes();
    if (iIndex >= m_nAttributes)
        return L"";
    return m_pOwner->m_pstrXML + m_aAttributes[iIndex].iValue;
}

LPCTSTR CMarkupNode::GetAttributeValue(LPCTSTR pstrName) {
    if (!IsValid() || !pstrName)
        return L"";
    if (m_nAttributes == 0)
        _MapAttributes();
    for (int i = 0; i < m_nAttributes; ++i) {
        if (wcscmp(m_pOwner->m_pstrXML + m_aAttributes[i].iName, pstrName) == 0)
            return m_pOwner->m_pstrXML + m_aAttributes[i].iValue;
    }
    return L"";
}

bool CMarkupNode::GetAttributeValue(int iIndex, LPTSTR pstrValue, SIZE_T cchMax) {
    if (!IsValid() || iIndex < 0)
        return false;
    if (m_nAttributes == 0)
        _MapAttributes();
    if (iIndex >= m_nAttributes)
        return false;
    CopyText(pstrValue, cchMax, m_pOwner->m_pstrXML + m_aAttributes[iIndex].iValue);
    return true;
}

bool CMarkupNode::GetAttributeValue(LPCTSTR pstrName, LPTSTR pstrValue, SIZE_T cchMax) {
    if (!IsValid() || !pstrName)
        return false;
    if (m_nAttributes == 0)
        _MapAttributes();
    for (int i = 0; i < m_nAttributes; ++i) {
        if (wcscmp(m_pOwner->m_pstrXML + m_aAttributes[i].iName, pstrName) == 0) {
            CopyText(pstrValue, cchMax, m_pOwner->m_pstrXML + m_aAttributes[i].iValue);
            return true;
        }
    }
    return false;
}

/////////////////////////////////////////////////////////////////////////////
// CMarkup

CMarkup::CMarkup(LPCTSTR pstrXML)
    : m_pstrXML(nullptr), m_bLoaded(false), m_nDepth(0), m_bPreserveWhitespace(true) {
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
    if (pstrXML)
        Load(pstrXML);
}

CMarkup::~CMarkup() {
    Release();
}

bool CMarkup::IsValid() const {
    return m_bLoaded;
}

void CMarkup::SetPreserveWhitespace(bool bPreserve) {
    m_bPreserveWhitespace = bPreserve;
}

void CMarkup::Release() {
    std::vector<wchar_t>().swap(m_text);
    std::vector<XMLELEMENT>().swap(m_aElements);
    std::vector<CMarkupNode::XMLATTRIBUTE>().swap(m_aAttrs);
    m_pstrXML = nullptr;
    m_bLoaded = false;
}

bool CMarkup::Load(LPCTSTR pstrXML) {
    Release();
    if (!pstrXML)
        pstrXML = L"";
    size_t len = wcslen(pstrXML);
    m_text.assign(pstrXML, pstrXML + len);
    m_text.push_back(0);
    return _LoadText();
}

bool CMarkup::LoadFromMem(const BYTE* pByte, DWORD dwSize, int encoding) {
    Release();
    if (!pByte)
        dwSize = 0;
    if (encoding == XMLFILE_ENCODING_UTF8) {
        if (dwSize >= 3 && pByte[0] == 0xEF && pByte[1] == 0xBB && pByte[2] == 0xBF) {
            pByte += 3;
            dwSize -= 3;
        }
        AppendUtf8(m_text, pByte, dwSize);
    } else if (encoding == XMLFILE_ENCODING_UNICODE) {
        bool little;
        if (dwSize >= 2 && pByte[0] == 0xFF && pByte[1] == 0xFE)
            little = true;
        else if (dwSize >= 2 && pByte[0] == 0xFE && pByte[1] == 0xFF)
            little = false;
        else
            return _Failed(L"Unknown file encoding");
        std::vector<uint16_t> units;
        units.reserve(dwSize / 2);
        // The mark is dropped; an odd final byte is ignored.
        for (DWORD i = 2; i + 1 < dwSize; i += 2) {
            uint16_t u = little ? static_cast<uint16_t>(pByte[i] | (pByte[i + 1] << 8))
                                : static_cast<uint16_t>((pByte[i] << 8) | pByte[i + 1]);
            units.push_back(u);
        }
        AppendUtf16(m_text, units);
    } else if (encoding == XMLFILE_ENCODING_ASNI) {
        // The narrow code page is UTF-8 on this platform; no mark is skipped.
        AppendUtf8(m_text, pByte, dwSize);
    } else {
        return _Failed(L"Unknown file encoding");
    }
    m_text.push_back(0);
    return _LoadText();
}

bool CMarkup::LoadFromFile(LPCTSTR pstrFilename, int encoding) {
    Release();
    std::vector<BYTE> data;
    switch (CPaintManagerUI::LoadSkinFile(pstrFilename, data, kMaxFileSize)) {
    case SkinFileStatus::Ok:
        break;
    case SkinFileStatus::OpenFileFailed:
        return _Failed(L"Error opening file");
    case SkinFileStatus::Empty:
        return _Failed(L"File is empty");
    case SkinFileStatus::TooLarge:
        return _Failed(L"File too large");
    case SkinFileStatus::ReadFailed:
        return _Failed(L"Could not read file");
    case SkinFileStatus::ZipOpenFailed:
        return _Failed(L"Error opening zip file");
    case SkinFileStatus::NotInZip:
        return _Failed(L"Could not find ziped file");
    case SkinFileStatus::UnzipFailed:
        return _Failed(L"Could not unzip file");
    }
    return LoadFromMem(data.data(), static_cast<DWORD>(data.size()), encoding);
}

void CMarkup::GetLastErrorMessage(LPTSTR pstrMessage, SIZE_T cchMax) const {
    CopyText(pstrMessage, cchMax, m_szErrorMsg);
}

void CMarkup::GetLastErrorLocation(LPTSTR pstrSource, SIZE_T cchMax) const {
    CopyText(pstrSource, cchMax, m_szErrorXML);
}

CMarkupNode CMarkup::GetRoot() {
    if (!m_bLoaded || m_aElements.size() < 2)
        return CMarkupNode();
    return CMarkupNode(this, 1);
}

bool CMarkup::_LoadText() {
    m_pstrXML = m_text.data();
    m_szErrorMsg[0] = 0;
    m_szErrorXML[0] = 0;
    bool bRes = _Parse();
    if (!bRes)
        Release();
    return bRes;
}

bool CMarkup::_Parse() {
    m_aElements.clear();
    m_aAttrs.clear();
    _ReserveElement(); // entry 0 is the unused dummy
    LPTSTR pstrXML = m_pstrXML;
    m_nDepth = 0;
    bool ok = _Parse(pstrXML, 0);
    m_bLoaded = ok;
    return ok;
}

ULONG CMarkup::_ReserveElement() {
    if (m_aElements.size() == m_aElements.capacity())
        m_aElements.reserve(m_aElements.size() + m_aElements.size() / 2 + 500);
    m_aElements.push_back(XMLELEMENT{0, 0, 0, 0, 0, 0, 0});
    return static_cast<ULONG>(m_aElements.size() - 1);
}

void CMarkup::_SkipWhitespace(LPTSTR& pstr) const {
    while (*pstr > 0 && *pstr <= L' ')
        ++pstr;
}

void CMarkup::_SkipWhitespace(LPCTSTR& pstr) const {
    while (*pstr > 0 && *pstr <= L' ')
        ++pstr;
}

void CMarkup::_SkipIdentifier(LPTSTR& pstr) const {
    while (IsNameChar(*pstr))
        ++pstr;
}

// Parses the elements of one level (the document, or the children of
// iParent). Returns at the end of the text or in front of an end tag "</".
bool CMarkup::_Parse(LPTSTR& pstrText, ULONG iParent) {
    // Each level of elements is one level of recursion; refuse documents
    // that would exhaust the stack.
    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
    } guard(m_nDepth);
    if (m_nDepth > kMaxDepth)
        return _Failed(L"Elements nested too deeply", pstrText);
    _SkipWhitespace(pstrText);
    ULONG iPrevious = 0;
    for (;;) {
        if (*pstrText == 0 && iParent <= 1)
            return true;
        _SkipWhitespace(pstrText);
        if (*pstrText != L'<')
            return _Failed(L"Expected start tag", pstrText);
        if (pstrText[1] == L'/')
            return true;
        *pstrText++ = 0;
        _SkipWhitespace(pstrText);
        // Comments run to "->", processing instructions to "?>"; an unclosed
        // one takes the rest of the text.
        if (*pstrText == L'!' || *pstrText == L'?') {
            wchar_t ch = *pstrText == L'!' ? L'-' : L'?';
            while (*pstrText != 0 && !(pstrText[0] == ch && pstrText[1] == L'>'))
                ++pstrText;
            if (*pstrText != 0)
                pstrText += 2;
            _SkipWhitespace(pstrText);
            continue;
        }
        _SkipWhitespace(pstrText);
        ULONG iPos = _ReserveElement();
        {
            XMLELEMENT& el = m_aElements[iPos];
            el.iStart = static_cast<ULONG>(pstrText - m_pstrXML);
            el.iParent = iParent;
            el.iNext = el.iChild = 0;
        }
        if (iPrevious != 0)
            m_aElements[iPrevious].iNext = iPos;
        else if (iParent > 0)
            m_aElements[iParent].iChild = iPos;
        iPrevious = iPos;
        // Name
        LPCTSTR pstrName = pstrText;
        _SkipIdentifier(pstrText);
        LPTSTR pstrNameEnd = pstrText;
        if (*pstrText == 0)
            return _Failed(L"Error parsing element name", pstrText);
        // Attributes
        if (!_ParseAttributes(pstrText, iPos))
            return false;
        _SkipWhitespace(pstrText);
        if (pstrText[0] == L'/' && pstrText[1] == L'>') {
            // Empty element: its text is the empty string at the '/'.
            m_aElements[iPos].iData = static_cast<ULONG>(pstrText - m_pstrXML);
            *pstrText = 0;
            pstrText += 2;
        } else {
            if (*pstrText != L'>')
                return _Failed(L"Expected start-tag closing", pstrText);
            // Element text
            m_aElements[iPos].iData = static_cast<ULONG>(++pstrText - m_pstrXML);
            LPTSTR pstrDest = pstrText;
            if (!_ParseData(pstrText, pstrDest, L'<'))
                return false;
            // Terminate the text now when decoding shortened it; otherwise the
            // '<' (or the end of the text) right after it terminates it later.
            if (pstrDest != pstrText)
                *pstrDest = 0;
            if (*pstrText == 0 && iParent <= 1) {
                *pstrNameEnd = 0;
                return true;
            }
            if (*pstrText != L'<')
                return _Failed(L"Expected end-tag start", pstrText);
            if (pstrText[0] == L'<' && pstrText[1] != L'/') {
                if (!_Parse(pstrText, iPos))
                    return false;
            }
            if (pstrText[0] == L'<' && pstrText[1] == L'/') {
                *pstrDest = 0;
                *pstrText = 0;
                pstrText += 2;
                _SkipWhitespace(pstrText);
                size_t cchName = static_cast<size_t>(pstrNameEnd - pstrName);
                if (wcsncmp(pstrText, pstrName, cchName) != 0)
                    return _Failed(L"Unmatched closing tag", pstrText);
                pstrText += cchName;
                _SkipWhitespace(pstrText);
                if (*pstrText++ != L'>')
                    return _Failed(L"Unmatched closing tag", pstrText - 1);
            }
        }
        *pstrNameEnd = 0;
        _SkipWhitespace(pstrText);
    }
}

// Reads text up to cEnd (or the end of the text), decoding entities and
// writing the result at pstrDest. The gap that decoding leaves behind the
// result is filled with spaces.
bool CMarkup::_ParseData(LPTSTR& pstrText, LPTSTR& pstrDest, wchar_t cEnd) {
    while (*pstrText != 0 && *pstrText != cEnd) {
        if (*pstrText == L'&') {
            _ParseMetaChar(++pstrText, pstrDest);
            continue;
        }
        if (*pstrText == L' ') {
            *pstrDest++ = *pstrText++;
            if (!m_bPreserveWhitespace)
                _SkipWhitespace(pstrText);
        } else {
            *pstrDest++ = *pstrText++;
        }
    }
    for (LPTSTR pstrFill = pstrDest + 1; pstrFill < pstrText; ++pstrFill)
        *pstrFill = L' ';
    return true;
}

// pstrText is just past an '&'. Known entities are replaced by their
// character; anything else leaves a literal '&'.
void CMarkup::_ParseMetaChar(LPTSTR& pstrText, LPTSTR& pstrDest) {
    static const struct {
        const wchar_t* name;
        size_t len;
        wchar_t ch;
    } kEntities[] = {
        {L"amp;", 4, L'&'},  {L"lt;", 3, L'<'},    {L"gt;", 3, L'>'},
        {L"quot;", 5, L'"'}, {L"apos;", 5, L'\''},
    };
    for (const auto& e : kEntities) {
        if (wcsncmp(pstrText, e.name, e.len) == 0) {
            *pstrDest++ = e.ch;
            pstrText += e.len;
            return;
        }
    }
    *pstrDest++ = L'&';
}

bool CMarkup::_ParseAttributes(LPTSTR& pstrText, ULONG iElement) {
    m_aElements[iElement].iFirstAttr = static_cast<ULONG>(m_aAttrs.size());
    m_aElements[iElement].nAttrs = 0;
    // The name may be followed directly by ">" or "/>".
    if (*pstrText == L'>' || *pstrText == L'/')
        return true;
    // Otherwise a whitespace character ends the name.
    *pstrText++ = 0;
    _SkipWhitespace(pstrText);
    while (*pstrText != 0 && *pstrText != L'>' && *pstrText != L'/') {
        LPTSTR pstrName = pstrText;
        _SkipIdentifier(pstrText);
        LPTSTR pstrIdentifierEnd = pstrText;
        _SkipWhitespace(pstrText);
        if (*pstrText != L'=')
            return _Failed(L"Error while parsing attributes", pstrText);
        *pstrText++ = L' ';
        *pstrIdentifierEnd = 0;
        _SkipWhitespace(pstrText);
        if (*pstrText != L'"')
            return _Failed(L"Expected attribute value", pstrText);
        ++pstrText;
        LPTSTR pstrDest = pstrText;
        LPTSTR pstrValue = pstrText;
        if (!_ParseData(pstrText, pstrDest, L'"'))
            return false;
        if (*pstrText == 0)
            return _Failed(L"Error while parsing attribute string", pstrText);
        *pstrDest = 0;
        if (pstrText != pstrDest)
            *pstrText = L' ';
        ++pstrText;
        m_aAttrs.push_back(CMarkupNode::XMLATTRIBUTE{static_cast<ULONG>(pstrName - m_pstrXML),
                                                     static_cast<ULONG>(pstrValue - m_pstrXML)});
        m_aElements[iElement].nAttrs++;
        _SkipWhitespace(pstrText);
    }
    return true;
}

bool CMarkup::_Failed(LPCTSTR pstrError, LPCTSTR pstrLocation) {
    CopyText(m_szErrorMsg, sizeof(m_szErrorMsg) / sizeof(m_szErrorMsg[0]), pstrError);
    CopyText(m_szErrorXML, sizeof(m_szErrorXML) / sizeof(m_szErrorXML[0]),
             pstrLocation ? pstrLocation : L"");
    return false;
}

} // namespace Veneer
