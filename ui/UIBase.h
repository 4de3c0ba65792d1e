// Value types of the toolkit: wide strings, pointer and value arrays, a
// string-keyed pointer map, rectangles, sizes, points and STRINGorID.
//
// These are thin wrappers over the standard library with the interface the
// rest of the toolkit is written against. Geometry is in client pixels with
// right and bottom exclusive, as RECT is.
#pragma once

#include "plat/sys/rect.h"
#include "plat/sys/wintypes.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace Veneer {

// The toolkit is written against Win32's names; plat provides them.
using namespace plat;

using TCHAR = wchar_t;
using LPCTSTR = const wchar_t*;
using LPTSTR = wchar_t*;
using LPBYTE = BYTE*;
using PRECT = RECT*;
using SIZE_T = size_t;

/////////////////////////////////////////////////////////////////////////////
// CStdString: a wide string with value semantics.
//
// `==` and the other relational operators compare exactly (code unit by code
// unit); CompareNoCase ignores letter case. A null pointer assigned or
// appended counts as the empty string. The implicit conversion to LPCTSTR is
// valid until the string is next modified or destroyed.
class CStdString {
public:
    enum { MAX_LOCAL_STRING_LEN = 63 };

    CStdString() = default;
    CStdString(const CStdString& src) = default;
    CStdString(CStdString&& src) noexcept = default;
    CStdString(wchar_t ch) : m_str(1, ch) {}
    // Copies at most nLen characters of lpsz (all of it when nLen < 0).
    CStdString(LPCTSTR lpsz, int nLen = -1) { Assign(lpsz, nLen); }
    CStdString(const std::wstring& s) : m_str(s) {}

    CStdString& operator=(const CStdString& src) = default;
    CStdString& operator=(CStdString&& src) noexcept = default;
    CStdString& operator=(LPCTSTR lpsz) {
        Assign(lpsz);
        return *this;
    }
    CStdString& operator=(wchar_t ch) {
        m_str.assign(1, ch);
        return *this;
    }

    void Empty() { m_str.clear(); }
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    // Character at nIndex; 0 when out of range.
    wchar_t GetAt(int nIndex) const;
    wchar_t operator[](int nIndex) const { return GetAt(nIndex); }
    // Replaces the character at nIndex; ignored when out of range.
    void SetAt(int nIndex, wchar_t ch);
    void Append(LPCTSTR pstr);
    void Assign(LPCTSTR pstr, int nLength = -1);
    LPCTSTR GetData() const { return m_str.c_str(); }
    operator LPCTSTR() const { return m_str.c_str(); }
    const std::wstring& str() const { return m_str; }

    CStdString& operator+=(const CStdString& src) {
        m_str += src.m_str;
        return *this;
    }
    CStdString& operator+=(LPCTSTR pstr) {
        Append(pstr);
        return *this;
    }
    CStdString& operator+=(wchar_t ch) {
        m_str += ch;
        return *this;
    }

    // <0, 0, >0 as wcscmp; CompareNoCase folds letters with towlower.
    int Compare(LPCTSTR pstr) const;
    int CompareNoCase(LPCTSTR pstr) const;

    void MakeUpper();
    void MakeLower();

    // Substrings; out-of-range arguments are clamped.
    CStdString Left(int nLength) const;
    CStdString Mid(int iPos, int nLength = -1) const;
    CStdString Right(int nLength) const;

    // Position of the first match at or after iPos, or -1.
    int Find(wchar_t ch, int iPos = 0) const;
    int Find(LPCTSTR pstr, int iPos = 0) const;
    // Position of the last occurrence of ch, or -1.
    int ReverseFind(wchar_t ch) const;
    // Replaces every occurrence of pstrFrom with pstrTo; returns the count.
    int Replace(LPCTSTR pstrFrom, LPCTSTR pstrTo);

    // printf-style formatting with wide format strings (%s takes wchar_t*).
    // Returns the resulting length.
    int Format(LPCTSTR pstrFormat, ...);
    int SmallFormat(LPCTSTR pstrFormat, ...);

private:
    std::wstring m_str;
};

CStdString operator+(const CStdString& a, const CStdString& b);
CStdString operator+(const CStdString& a, LPCTSTR b);
CStdString operator+(LPCTSTR a, const CStdString& b);
CStdString operator+(const CStdString& a, wchar_t b);

bool operator==(const CStdString& a, const CStdString& b);
bool operator==(const CStdString& a, LPCTSTR b);
bool operator==(LPCTSTR a, const CStdString& b);
bool operator!=(const CStdString& a, const CStdString& b);
bool operator!=(const CStdString& a, LPCTSTR b);
bool operator!=(LPCTSTR a, const CStdString& b);
bool operator<(const CStdString& a, const CStdString& b);
bool operator<(const CStdString& a, LPCTSTR b);
bool operator<=(const CStdString& a, LPCTSTR b);
bool operator>(const CStdString& a, LPCTSTR b);
bool operator>=(const CStdString& a, LPCTSTR b);

/////////////////////////////////////////////////////////////////////////////
// CStdPtrArray: an ordered list of pointers (not owned).
class CStdPtrArray {
public:
    explicit CStdPtrArray(int iPreallocSize = 0);

    void Empty() { m_a.clear(); }
    // Sets the size; new slots are null.
    void Resize(int iSize);
    bool IsEmpty() const { return m_a.empty(); }
    // Index of the first entry equal to pData, or -1.
    int Find(LPVOID pData) const;
    bool Add(LPVOID pData);
    // False when iIndex is out of range.
    bool SetAt(int iIndex, LPVOID pData);
    // Inserts before iIndex (0..size); false when out of range.
    bool InsertAt(int iIndex, LPVOID pData);
    bool Remove(int iIndex);
    int GetSize() const { return static_cast<int>(m_a.size()); }
    LPVOID* GetData() { return m_a.data(); }
    // Entry at iIndex; null when out of range.
    LPVOID GetAt(int iIndex) const;
    LPVOID operator[](int iIndex) const { return GetAt(iIndex); }

private:
    std::vector<LPVOID> m_a;
};

/////////////////////////////////////////////////////////////////////////////
// CStdValArray: an ordered list of fixed-size values copied in by bytes.
class CStdValArray {
public:
    explicit CStdValArray(int iElementSize, int iPreallocSize = 0);

    void Empty() { m_a.clear(); }
    bool IsEmpty() const { return m_a.empty(); }
    // Copies iElementSize bytes from pData.
    bool Add(LPCVOID pData);
    bool Remove(int iIndex);
    int GetSize() const {
        return m_iElementSize ? static_cast<int>(m_a.size()) / m_iElementSize : 0;
    }
    LPVOID GetData() { return m_a.data(); }
    // Pointer to the element at iIndex (valid until the array changes); null
    // when out of range.
    LPVOID GetAt(int iIndex);
    LPVOID operator[](int iIndex) { return GetAt(iIndex); }

private:
    std::vector<BYTE> m_a;
    int m_iElementSize;
};

/////////////////////////////////////////////////////////////////////////////
// CStdStringPtrMap: a map from exact (case-sensitive) wide-string keys to
// pointers (not owned). GetAt walks the keys in insertion order.
class CStdStringPtrMap {
public:
    explicit CStdStringPtrMap(int nSize = 83);

    // Hint for the expected number of keys.
    void Resize(int nSize = 83);
    // The pointer stored under key, or null. `optimize` is accepted for
    // interface compatibility; lookups are hashed either way.
    LPVOID Find(LPCTSTR key, bool optimize = true) const;
    // Adds key -> pData; false (and no change) when key is already present.
    bool Insert(LPCTSTR key, LPVOID pData);
    // Sets key -> pData, adding the key when absent; returns the previous
    // pointer or null.
    LPVOID Set(LPCTSTR key, LPVOID pData);
    bool Remove(LPCTSTR key);
    void RemoveAll();
    int GetSize() const { return static_cast<int>(m_keys.size()); }
    // Key number iIndex in insertion order, or null.
    LPCTSTR GetAt(int iIndex) const;
    LPCTSTR operator[](int nIndex) const { return GetAt(nIndex); }

private:
    std::unordered_map<std::wstring, LPVOID> m_map;
    std::vector<std::wstring> m_keys;
};

/////////////////////////////////////////////////////////////////////////////
// Geometry.
class CStdRect : public RECT {
public:
    CStdRect() : RECT{0, 0, 0, 0} {}
    CStdRect(const RECT& src) : RECT(src) {}
    CStdRect(int iLeft, int iTop, int iRight, int iBottom) : RECT{iLeft, iTop, iRight, iBottom} {}

    int GetWidth() const { return right - left; }
    int GetHeight() const { return bottom - top; }
    void Empty() { left = top = right = bottom = 0; }
    // True when all four values are 0.
    bool IsNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // True when the rectangle has no area.
    bool IsEmpty() const { return plat::IsRectEmpty(this) != FALSE; }
    // Grows to include rc (ignoring empty inputs).
    void Join(const RECT& rc);
    void ResetOffset() { Offset(-left, -top); }
    // Swaps coordinates so that left <= right and top <= bottom.
    void Normalize();
    void Offset(int cx, int cy);
    void Inflate(int cx, int cy);
    void Deflate(int cx, int cy) { Inflate(-cx, -cy); }
    // Becomes the union with rc (same as Join).
    void Union(const CStdRect& rc) { Join(rc); }
    // Becomes the intersection with rc; returns false (and becomes all zero)
    // when they do not meet.
    bool Intersect(const RECT& rc);
    bool PtInRect(POINT pt) const { return plat::PtInRect(this, pt) != FALSE; }
};
using CDuiRect = CStdRect;

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(const SIZE& src) : SIZE(src) {}
    CSize(const RECT& rc) : SIZE{rc.right - rc.left, rc.bottom - rc.top} {}
    CSize(int cx, int cy) : SIZE{cx, cy} {}
};

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(const POINT& src) : POINT(src) {}
    CPoint(int x, int y) : POINT{x, y} {}
    // From a mouse message's lParam (signed 16-bit x and y).
    explicit CPoint(LPARAM lParam) : POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)} {}
};

/////////////////////////////////////////////////////////////////////////////
// STRINGorID: a wide string, or a resource number below 65536 carried in the
// pointer value (as MAKEINTRESOURCE does). IS_INTRESOURCE tells them apart.
class STRINGorID {
public:
    STRINGorID(LPCTSTR lpString) : m_lpstr(lpString) {}
    STRINGorID(UINT nID) : m_lpstr(MAKEINTRESOURCE(nID)) {}
    bool IsID() const { return IS_INTRESOURCE(m_lpstr); }
    UINT GetID() const {
        return IsID() ? static_cast<UINT>(reinterpret_cast<ULONG_PTR>(m_lpstr)) : 0;
    }
    LPCTSTR m_lpstr;
};

} // namespace Veneer
