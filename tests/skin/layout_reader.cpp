#include "layout_reader.h"

#include <cctype>
#include <cstdlib>

namespace skintest {

bool Element::Has(const std::string& attribute) const {
    for (const auto& a : attributes)
        if (a.first == attribute)
            return true;
    return false;
}

std::string Element::Attr(const std::string& attribute) const {
    for (const auto& a : attributes)
        if (a.first == attribute)
            return a.second;
    return std::string();
}

std::vector<std::string> Element::AttributeNames() const {
    std::vector<std::string> names;
    for (const auto& a : attributes)
        names.push_back(a.first);
    return names;
}

namespace {

bool ValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0 ? 1 : 0))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += extra + 1;
    }
    return true;
}

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool Document(Element& root, std::string& error) {
        if (m_text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            m_pos = 3;
        if (!ValidUtf8(m_text.substr(m_pos)))
            return Fail("invalid UTF-8", error);
        SkipWhitespace();
        if (m_text.compare(m_pos, 5, "<?xml") == 0) {
            size_t end = m_text.find("?>", m_pos);
            if (end == std::string::npos)
                return Fail("unterminated XML declaration", error);
            m_pos = end + 2;
        }
        if (!SkipMisc(error))
            return false;
        if (!ElementAt(root, error))
            return false;
        if (!SkipMisc(error))
            return false;
        if (m_pos != m_text.size())
            return Fail("content after the root element", error);
        return true;
    }

private:
    bool Fail(const std::string& what, std::string& error) {
        int line = 1;
        for (size_t i = 0; i < m_pos && i < m_text.size(); ++i)
            line += m_text[i] == '\n';
        error = what + " at line " + std::to_string(line);
        return false;
    }

    void SkipWhitespace() {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
    }

    // Whitespace and comments.
    bool SkipMisc(std::string& error) {
        for (;;) {
            SkipWhitespace();
            if (m_text.compare(m_pos, 4, "<!--") != 0)
                return true;
            size_t end = m_text.find("-->", m_pos + 4);
            if (end == std::string::npos)
                return Fail("unterminated comment", error);
            m_pos = end + 3;
        }
    }

    bool Name(std::string& out) {
        size_t start = m_pos;
        while (m_pos < m_text.size() &&
               (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
            ++m_pos;
        out = m_text.substr(start, m_pos - start);
        return !out.empty();
    }

    bool Value(std::string& out, std::string& error) {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"')
            return Fail("attribute value not in double quotes", error);
        ++m_pos;
        out.clear();
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos];
            if (c == '<')
                return Fail("'<' inside an attribute value", error);
            if (c == '&') {
                static const std::pair<const char*, char> entities[] = {{"&amp;", '&'},
                                                                        {"&lt;", '<'},
                                                                        {"&gt;", '>'},
                                                                        {"&quot;", '"'},
                                                                        {"&apos;", '\''}};
                bool known = false;
                for (const auto& e : entities) {
                    size_t len = std::char_traits<char>::length(e.first);
                    if (m_text.compare(m_pos, len, e.first) == 0) {
                        out += e.second;
                        m_pos += len;
                        known = true;
                        break;
                    }
                }
                if (!known)
                    return Fail("unknown entity", error);
                continue;
            }
            out += c;
            ++m_pos;
        }
        if (m_pos >= m_text.size())
            return Fail("unterminated attribute value", error);
        ++m_pos;
        return true;
    }

    bool ElementAt(Element& element, std::string& error) {
        if (m_text.compare(m_pos, 1, "<") != 0)
            return Fail("expected an element", error);
        ++m_pos;
        if (!Name(element.name))
            return Fail("bad element name", error);
        for (;;) {
            size_t before = m_pos;
            SkipWhitespace();
            if (m_text.compare(m_pos, 2, "/>") == 0) {
                m_pos += 2;
                return true;
            }
            if (m_text.compare(m_pos, 1, ">") == 0) {
                ++m_pos;
                break;
            }
            if (m_pos == before)
                return Fail("attributes must be separated by whitespace", error);
            std::string name, value;
            if (!Name(name))
                return Fail("bad attribute name", error);
            if (m_text.compare(m_pos, 1, "=") != 0)
                return Fail("expected '=' after attribute " + name, error);
            ++m_pos;
            if (!Value(value, error))
                return false;
            if (element.Has(name))
                return Fail("duplicate attribute " + name, error);
            element.attributes.emplace_back(name, value);
        }
        for (;;) {
            if (!SkipMisc(error))
                return false;
            if (m_pos >= m_text.size())
                return Fail("missing end tag of " + element.name, error);
            if (m_text.compare(m_pos, 2, "</") == 0) {
                m_pos += 2;
                std::string name;
                if (!Name(name) || name != element.name)
                    return Fail("end tag does not match " + element.name, error);
                SkipWhitespace();
                if (m_text.compare(m_pos, 1, ">") != 0)
                    return Fail("bad end tag", error);
                ++m_pos;
                return true;
            }
            if (m_text[m_pos] != '<')
                return Fail("text inside element " + element.name, error);
            element.children.emplace_back();
            if (!ElementAt(element.children.back(), error))
                return false;
        }
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

bool ReadNumbers(const std::string& value, std::vector<int>& out) {
    out.clear();
    size_t i = 0;
    while (i <= value.size()) {
        size_t end = value.find(',', i);
        std::string part = value.substr(i, end == std::string::npos ? std::string::npos : end - i);
        if (part.empty())
            return false;
        char* stop = nullptr;
        long n = std::strtol(part.c_str(), &stop, 10);
        if (*stop != '\0')
            return false;
        out.push_back(static_cast<int>(n));
        if (end == std::string::npos)
            break;
        i = end + 1;
    }
    return out.size() == 4;
}

} // namespace

bool ParseLayout(const std::string& text, Element& root, std::string& error) {
    root = Element();
    Reader reader(text);
    return reader.Document(root, error);
}

const Element* FindByName(const Element& root, const std::string& name) {
    if (root.Attr("name") == name)
        return &root;
    for (const Element& child : root.children)
        if (const Element* found = FindByName(child, name))
            return found;
    return nullptr;
}

void Flatten(const Element& root, std::vector<const Element*>& out) {
    out.push_back(&root);
    for (const Element& child : root.children)
        Flatten(child, out);
}

bool ParseImageDescription(const std::string& text, std::vector<ImageRef>& images) {
    images.clear();
    if (text.find('=') == std::string::npos) {
        if (text.empty())
            return false;
        images.push_back(ImageRef{text, {}, {}});
        return true;
    }
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eq = text.find('=', pos);
        if (eq == std::string::npos || eq + 1 >= text.size() || text[eq + 1] != '\'')
            return false;
        std::string key = text.substr(pos, eq - pos);
        size_t close = text.find('\'', eq + 2);
        if (close == std::string::npos)
            return false;
        std::string value = text.substr(eq + 2, close - eq - 2);
        if (key == "file") {
            images.push_back(ImageRef{value, {}, {}});
        } else if (images.empty()) {
            return false; // settings before the first file
        } else if (key == "source" || key == "dest") {
            std::vector<int> numbers;
            if (!ReadNumbers(value, numbers))
                return false;
            (key == "source" ? images.back().source : images.back().dest) = numbers;
        } else {
            return false; // no other key is used by these layouts
        }
        pos = close + 1;
        if (pos < text.size()) {
            if (text[pos] != ' ')
                return false;
            ++pos; // a single space separates pairs; a trailing one ends the text
        }
    }
    return !images.empty();
}

} // namespace skintest
