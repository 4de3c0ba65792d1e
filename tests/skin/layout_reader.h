// A strict reader for the skin's layout files, used to check that each layout
// is well-formed XML and carries the elements and attribute values the
// installer's windows are built from. Stricter than the toolkit's own parser
// on purpose: a layout that passes here is read the same way by any reader.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace skintest {

struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes; // document order
    std::vector<Element> children;

    bool Has(const std::string& attribute) const;
    // Value of the first attribute with that name; empty when absent.
    std::string Attr(const std::string& attribute) const;
    // Attribute names in document order.
    std::vector<std::string> AttributeNames() const;
};

// Parses UTF-8 layout text (an optional byte-order mark, an optional XML
// declaration, comments, one root element). Returns false with a message
// naming the line on any error: unbalanced or mismatched tags, attribute
// values not in double quotes, duplicate attributes, unknown entities, text
// inside elements, or invalid UTF-8.
bool ParseLayout(const std::string& text, Element& root, std::string& error);

// Depth-first search for the first element whose "name" attribute matches.
const Element* FindByName(const Element& root, const std::string& name);

// Every element of the tree in document order.
void Flatten(const Element& root, std::vector<const Element*>& out);

// One image of an image description ("file='a.png' source='0,0,9,9'" or a
// bare file name), with its four-number settings; absent ones are empty.
struct ImageRef {
    std::string file;
    std::vector<int> source;
    std::vector<int> dest;
};

// Reads an image description the way the drawing code reads it: key='value'
// pairs separated by single spaces, or the whole text as a file name when it
// holds no "=". Returns false for a malformed description.
bool ParseImageDescription(const std::string& text, std::vector<ImageRef>& images);

} // namespace skintest
