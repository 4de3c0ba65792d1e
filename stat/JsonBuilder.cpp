// The payload tree and its JSON text.
#include "stat/JsonBuilder.h"

#include <boost/property_tree/json_parser.hpp>

#include <exception>
#include <sstream>

namespace ns_zr_stat {

using boost::property_tree::wptree;

namespace {

// UTF-16 form of a text: characters above U+FFFF become surrogate pairs and
// values beyond U+10FFFF the replacement character, so that the writer,
// which escapes one wchar_t at a time as \uXXXX, writes every character as
// the same text would be written from UTF-16.
std::wstring ToUtf16Units(const std::wstring& text) {
    // Nothing to do where wchar_t is 16 bits: text is UTF-16 already.
    bool needed = false;
    for (wchar_t ch : text) {
        const unsigned long code = static_cast<unsigned long>(ch);
        if (code > 0xFFFFul) {
            needed = true;
            break;
        }
    }
    if (!needed) {
        return text;
    }
    std::wstring units;
    units.reserve(text.size() + 8);
    for (wchar_t ch : text) {
        unsigned long code = static_cast<unsigned long>(ch);
        if (code <= 0xFFFFul) {
            units.push_back(ch);
        } else if (code <= 0x10FFFFul) {
            code -= 0x10000ul;
            units.push_back(static_cast<wchar_t>(0xD800ul + (code >> 10)));
            units.push_back(static_cast<wchar_t>(0xDC00ul + (code & 0x3FFul)));
        } else {
            units.push_back(static_cast<wchar_t>(0xFFFD));
        }
    }
    return units;
}

void CopyAsUtf16(const wptree& from, wptree& to) {
    to.data() = ToUtf16Units(from.data());
    for (const auto& child : from) {
        wptree& added = to.push_back(std::make_pair(ToUtf16Units(child.first), wptree()))->second;
        CopyAsUtf16(child.second, added);
    }
}

} // namespace

CJsonBuilder::CJsonBuilder() : m_pCursor(&m_root) {
    ResetNavigation();
}

CJsonBuilder::~CJsonBuilder() = default;

void CJsonBuilder::ResetNavigation() {
    m_mapParent.clear();
    m_mapParent[&m_root] = &m_root;
    m_pCursor = &m_root;
}

void CJsonBuilder::Clear() {
    m_root.clear();
    ResetNavigation();
}

bool CJsonBuilder::AddObject(const std::wstring& strKey) {
    wptree& child = m_pCursor->push_back(std::make_pair(strKey, wptree()))->second;
    m_mapParent[&child] = m_pCursor;
    m_pCursor = &child;
    return true;
}

bool CJsonBuilder::AddElement() {
    return AddObject(std::wstring());
}

bool CJsonBuilder::Put(const std::wstring& strKey, const std::wstring& strValue) {
    wptree& child = m_pCursor->push_back(std::make_pair(strKey, wptree(strValue)))->second;
    m_mapParent[&child] = m_pCursor;
    return true;
}

bool CJsonBuilder::Put(const std::wstring& strKey, const wchar_t* pszValue) {
    return Put(strKey, pszValue != nullptr ? std::wstring(pszValue) : std::wstring());
}

void CJsonBuilder::Up() {
    auto found = m_mapParent.find(m_pCursor);
    m_pCursor = found != m_mapParent.end() ? found->second : &m_root;
}

CJsonBuilder* CJsonBuilder::Clone() const {
    CJsonBuilder* pCopy = new CJsonBuilder();
    pCopy->m_root = m_root;
    pCopy->ResetNavigation();
    return pCopy;
}

std::wstring CJsonBuilder::ToJson() const {
    try {
        wptree units;
        CopyAsUtf16(m_root, units);
        std::wostringstream stream;
        boost::property_tree::write_json(stream, units, false);
        return stream.str();
    } catch (const std::exception&) {
        // A node with both a value and children cannot be written; the
        // client never makes one.
        return std::wstring();
    }
}

} // namespace ns_zr_stat
