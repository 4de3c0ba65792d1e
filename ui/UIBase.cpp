// Value types of the toolkit (see UIBase.h).
#include "ui/UIBase.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <cwctype>

namespace Veneer {

/////////////////////////////////////////////////////////////////////////////
// CStdString

wchar_t CStdString::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetLength())
        return 0;
    return m_str[static_cast<size_t>(nIndex)];
}

void CStdString::SetAt(int nIndex, wchar_t ch) {
    if (nIndex < 0 || nIndex >= GetLength())
        return;
    m_str[static_cast<size_t>(nIndex)] = ch;
}

void CStdString::Append(LPCTSTR pstr) {
    if (pstr)
        m_str += pstr;
}

void CStdString::Assign(LPCTSTR pstr, int nLength) {
    if (!pstr) {
        m_str.clear();
        return;
    }
    size_t len = wcslen(pstr);
    if (nLength >= 0 && static_cast<size_t>(nLength) < len)
        len = static_cast<size_t>(nLength);
    // Assigning part of ourselves is safe: assign copies before it frees.
    m_str.assign(pstr, len);
}

int CStdString::Compare(LPCTSTR pstr) const {
    return wcscmp(m_str.c_str(), pstr ? pstr : L"");
}

int CStdString::CompareNoCase(LPCTSTR pstr) const {
    const wchar_t* a = m_str.c_str();
    const wchar_t* b = pstr ? pstr : L"";
    for (;; ++a, ++b) {
        wint_t ca = towlower(static_cast<wint_t>(*a));
        wint_t cb = towlower(static_cast<wint_t>(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

void CStdString::MakeUpper() {
    for (auto& ch : m_str)
        ch = static_cast<wchar_t>(towupper(static_cast<wint_t>(ch)));
}

void CStdString::MakeLower() {
    for (auto& ch : m_str)
        ch = static_cast<wchar_t>(towlower(static_cast<wint_t>(ch)));
}

CStdString CStdString::Left(int nLength) const {
    if (nLength < 0)
        nLength = 0;
    return CStdString(m_str.substr(0, static_cast<size_t>(std::min(nLength, GetLength()))));
}

CStdString CStdString::Mid(int iPos, int nLength) const {
    if (iPos < 0)
        iPos = 0;
    if (iPos >= GetLength())
        return CStdString();
    int avail = GetLength() - iPos;
    if (nLength < 0 || nLength > avail)
        nLength = avail;
    return CStdString(m_str.substr(static_cast<size_t>(iPos), static_cast<size_t>(nLength)));
}

CStdString CStdString::Right(int nLength) const {
    if (nLength < 0)
        nLength = 0;
    int n = std::min(nLength, GetLength());
    return CStdString(m_str.substr(static_cast<size_t>(GetLength() - n)));
}

int CStdString::Find(wchar_t ch, int iPos) const {
    if (iPos < 0 || iPos > GetLength())
        return -1;
    size_t p = m_str.find(ch, static_cast<size_t>(iPos));
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CStdString::Find(LPCTSTR pstr, int iPos) const {
    if (!pstr || iPos < 0 || iPos > GetLength())
        return -1;
    size_t p = m_str.find(pstr, static_cast<size_t>(iPos));
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CStdString::ReverseFind(wchar_t ch) const {
    size_t p = m_str.rfind(ch);
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CStdString::Replace(LPCTSTR pstrFrom, LPCTSTR pstrTo) {
    if (!pstrFrom || !*pstrFrom)
        return 0;
    std::wstring from(pstrFrom);
    std::wstring to(pstrTo ? pstrTo : L"");
    int count = 0;
    size_t pos = 0;
    while ((pos = m_str.find(from, pos)) != std::wstring::npos) {
        m_str.replace(pos, from.size(), to);
        pos += to.size();
        ++count;
    }
    return count;
}

static int FormatInto(std::wstring& out, LPCTSTR fmt, va_list args) {
    if (!fmt) {
        out.clear();
        return 0;
    }
    // vswprintf reports overflow only as -1, so grow until it fits.
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = vswprintf(buf.data(), buf.size(), fmt, copy);
        va_end(copy);
        if (n >= 0) {
            out.assign(buf.data(), static_cast<size_t>(n));
            return n;
        }
        if (buf.size() >= (1u << 24)) {
            out.clear();
            return 0;
        }
        buf.resize(buf.size() * 4);
    }
}

int CStdString::Format(LPCTSTR pstrFormat, ...) {
    va_list args;
    va_start(args, pstrFormat);
    int n = FormatInto(m_str, pstrFormat, args);
    va_end(args);
    return n;
}

int CStdString::SmallFormat(LPCTSTR pstrFormat, ...) {
    va_list args;
    va_start(args, pstrFormat);
    int n = FormatInto(m_str, pstrFormat, args);
    va_end(args);
    return n;
}

CStdString operator+(const CStdString& a, const CStdString& b) {
    CStdString r(a);
    r += b;
    return r;
}
CStdString operator+(const CStdString& a, LPCTSTR b) {
    CStdString r(a);
    r += b;
    return r;
}
CStdString operator+(LPCTSTR a, const CStdString& b) {
    CStdString r(a);
    r += b;
    return r;
}
CStdString operator+(const CStdString& a, wchar_t b) {
    CStdString r(a);
    r += b;
    return r;
}

bool operator==(const CStdString& a, const CStdString& b) {
    return a.str() == b.str();
}
bool operator==(const CStdString& a, LPCTSTR b) {
    return a.Compare(b) == 0;
}
bool operator==(LPCTSTR a, const CStdString& b) {
    return b.Compare(a) == 0;
}
bool operator!=(const CStdString& a, const CStdString& b) {
    return !(a == b);
}
bool operator!=(const CStdString& a, LPCTSTR b) {
    return !(a == b);
}
bool operator!=(LPCTSTR a, const CStdString& b) {
    return !(a == b);
}
bool operator<(const CStdString& a, const CStdString& b) {
    return a.str() < b.str();
}
bool operator<(const CStdString& a, LPCTSTR b) {
    return a.Compare(b) < 0;
}
bool operator<=(const CStdString& a, LPCTSTR b) {
    return a.Compare(b) <= 0;
}
bool operator>(const CStdString& a, LPCTSTR b) {
    return a.Compare(b) > 0;
}
bool operator>=(const CStdString& a, LPCTSTR b) {
    return a.Compare(b) >= 0;
}

/////////////////////////////////////////////////////////////////////////////
// CStdPtrArray

CStdPtrArray::CStdPtrArray(int iPreallocSize) {
    if (iPreallocSize > 0)
        m_a.reserve(static_cast<size_t>(iPreallocSize));
}

void CStdPtrArray::Resize(int iSize) {
    m_a.resize(iSize > 0 ? static_cast<size_t>(iSize) : 0);
}

int CStdPtrArray::Find(LPVOID pData) const {
    for (size_t i = 0; i < m_a.size(); ++i)
        if (m_a[i] == pData)
            return static_cast<int>(i);
    return -1;
}

bool CStdPtrArray::Add(LPVOID pData) {
    m_a.push_back(pData);
    return true;
}

bool CStdPtrArray::SetAt(int iIndex, LPVOID pData) {
    if (iIndex < 0 || iIndex >= GetSize())
        return false;
    m_a[static_cast<size_t>(iIndex)] = pData;
    return true;
}

bool CStdPtrArray::InsertAt(int iIndex, LPVOID pData) {
    if (iIndex < 0 || iIndex > GetSize())
        return false;
    m_a.insert(m_a.begin() + iIndex, pData);
    return true;
}

bool CStdPtrArray::Remove(int iIndex) {
    if (iIndex < 0 || iIndex >= GetSize())
        return false;
    m_a.erase(m_a.begin() + iIndex);
    return true;
}

LPVOID CStdPtrArray::GetAt(int iIndex) const {
    if (iIndex < 0 || iIndex >= GetSize())
        return nullptr;
    return m_a[static_cast<size_t>(iIndex)];
}

/////////////////////////////////////////////////////////////////////////////
// CStdValArray

CStdValArray::CStdValArray(int iElementSize, int iPreallocSize)
    : m_iElementSize(iElementSize > 0 ? iElementSize : 0) {
    if (iPreallocSize > 0 && m_iElementSize > 0)
        m_a.reserve(static_cast<size_t>(iPreallocSize) * static_cast<size_t>(m_iElementSize));
}

bool CStdValArray::Add(LPCVOID pData) {
    if (!pData || m_iElementSize == 0)
        return false;
    const BYTE* p = static_cast<const BYTE*>(pData);
    m_a.insert(m_a.end(), p, p + m_iElementSize);
    return true;
}

bool CStdValArray::Remove(int iIndex) {
    if (iIndex < 0 || iIndex >= GetSize())
        return false;
    auto first = m_a.begin() + static_cast<ptrdiff_t>(iIndex) * m_iElementSize;
    m_a.erase(first, first + m_iElementSize);
    return true;
}

LPVOID CStdValArray::GetAt(int iIndex) {
    if (iIndex < 0 || iIndex >= GetSize())
        return nullptr;
    return m_a.data() + static_cast<size_t>(iIndex) * static_cast<size_t>(m_iElementSize);
}

/////////////////////////////////////////////////////////////////////////////
// CStdStringPtrMap

CStdStringPtrMap::CStdStringPtrMap(int nSize) {
    Resize(nSize);
}

void CStdStringPtrMap::Resize(int nSize) {
    if (nSize > 0)
        m_map.reserve(static_cast<size_t>(nSize));
}

LPVOID CStdStringPtrMap::Find(LPCTSTR key, bool) const {
    if (!key)
        return nullptr;
    auto it = m_map.find(key);
    return it == m_map.end() ? nullptr : it->second;
}

bool CStdStringPtrMap::Insert(LPCTSTR key, LPVOID pData) {
    if (!key)
        return false;
    auto res = m_map.emplace(key, pData);
    if (!res.second)
        return false;
    m_keys.emplace_back(key);
    return true;
}

LPVOID CStdStringPtrMap::Set(LPCTSTR key, LPVOID pData) {
    if (!key)
        return nullptr;
    auto it = m_map.find(key);
    if (it == m_map.end()) {
        m_map.emplace(key, pData);
        m_keys.emplace_back(key);
        return nullptr;
    }
    LPVOID old = it->second;
    it->second = pData;
    return old;
}

bool CStdStringPtrMap::Remove(LPCTSTR key) {
    if (!key || m_map.erase(key) == 0)
        return false;
    m_keys.erase(std::find(m_keys.begin(), m_keys.end(), std::wstring(key)));
    return true;
}

void CStdStringPtrMap::RemoveAll() {
    m_map.clear();
    m_keys.clear();
}

LPCTSTR CStdStringPtrMap::GetAt(int iIndex) const {
    if (iIndex < 0 || iIndex >= GetSize())
        return nullptr;
    return m_keys[static_cast<size_t>(iIndex)].c_str();
}

/////////////////////////////////////////////////////////////////////////////
// Geometry

void CStdRect::Join(const RECT& rc) {
    if (!plat::IsRectEmpty(&rc))
        plat::UnionRect(this, this, &rc);
}

void CStdRect::Normalize() {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

void CStdRect::Offset(int cx, int cy) {
    plat::OffsetRect(this, cx, cy);
}

void CStdRect::Inflate(int cx, int cy) {
    plat::InflateRect(this, cx, cy);
}

bool CStdRect::Intersect(const RECT& rc) {
    return plat::IntersectRect(this, this, &rc) != FALSE;
}

} // namespace Veneer
