// The layout reader: any bytes in any of the three encodings parse or fail
// with a message, never crash; every node and attribute of a parsed
// document can be read.
#include "ui/UIMarkup.h"

#include <cstddef>
#include <cstdint>

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    int encoding = data[0] % 3;
    bool preserve = (data[0] & 0x80) == 0;
    CMarkup xml;
    xml.SetPreserveWhitespace(preserve);
    if (!xml.LoadFromMem(data + 1, static_cast<DWORD>(size - 1), encoding)) {
        wchar_t msg[100], loc[50];
        xml.GetLastErrorMessage(msg, 100);
        xml.GetLastErrorLocation(loc, 50);
        return 0;
    }
    // Walk the whole tree depth first without recursion.
    CMarkupNode node = xml.GetRoot();
    size_t visited = 0;
    while (node.IsValid() && visited < 100000) {
        ++visited;
        (void)node.GetName();
        (void)node.GetValue();
        for (int i = 0; i < node.GetAttributeCount(); ++i) {
            LPCTSTR name = node.GetAttributeName(i);
            (void)node.GetAttributeValue(name);
            wchar_t buf[8];
            node.GetAttributeValue(i, buf, 8);
        }
        if (node.HasChildren()) {
            node = node.GetChild();
            continue;
        }
        while (node.IsValid() && !node.HasSiblings())
            node = node.GetParent();
        if (node.IsValid())
            node = node.GetSibling();
    }
    return 0;
}
