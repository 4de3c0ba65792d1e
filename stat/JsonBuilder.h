// The payload tree in which a report's JSON document is assembled.
#pragma once

#include <boost/property_tree/ptree.hpp>

#include <map>
#include <string>

namespace ns_zr_stat {

// A tree of wide-string keys and values with a cursor under which the next
// node is appended. As JSON, a node without children is a string (empty
// when it has no value), a node whose children all have empty keys is an
// array, any other node is an object with its members in insertion order.
// Not thread-safe: the client uses it under its lock.
class CJsonBuilder {
public:
    // Empty root; cursor at the root.
    CJsonBuilder();
    CJsonBuilder(const CJsonBuilder&) = delete;
    CJsonBuilder& operator=(const CJsonBuilder&) = delete;
    ~CJsonBuilder();

    // Empties the root (value and children); cursor back at the root.
    void Clear();
    // Appends a child with this key and no value; the cursor moves into it.
    bool AddObject(const std::wstring& strKey);
    // Appends an array element (empty key); the cursor moves into it.
    bool AddElement();
    // Appends a child with this key and value; the cursor stays. Keys may
    // repeat. A null text is taken as empty.
    bool Put(const std::wstring& strKey, const std::wstring& strValue);
    bool Put(const std::wstring& strKey, const wchar_t* pszValue);
    // Moves the cursor to the node the cursor's node was appended under;
    // at the root it stays at the root.
    void Up();
    // A deep copy of the whole tree with its cursor at its root. The caller
    // owns (deletes) it.
    CJsonBuilder* Clone() const;
    // The compact JSON text of the whole tree, ending in one line feed.
    // Characters above U+FFFF are written as their UTF-16 surrogate pair
    // (two \uXXXX escapes). Empty text if the tree cannot be written.
    std::wstring ToJson() const;

    // The whole tree and the node under the cursor, for reading.
    boost::property_tree::wptree& Root() { return m_root; }
    const boost::property_tree::wptree& Root() const { return m_root; }
    const boost::property_tree::wptree* Cursor() const { return m_pCursor; }

private:
    void ResetNavigation();

    boost::property_tree::wptree m_root;
    boost::property_tree::wptree* m_pCursor;
    // For each appended node, the node it was appended under.
    std::map<const boost::property_tree::wptree*, boost::property_tree::wptree*> m_mapParent;
};

} // namespace ns_zr_stat
