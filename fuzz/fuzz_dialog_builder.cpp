// The dialog builder on any layout text: the layout builds or fails, the
// tree lays out and paints off-screen at a fixed size, and the attribute
// readers and attribute lists take any value; never a crash.
#include "ui/UIAttrParse.h"
#include "ui/UIDlgBuilder.h"
#include "ui/UIManager.h"
#include "ui/test_access.h"
#include "ui/UIOption.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes as characters (the layout reader's own decoding is fuzzed
    // elsewhere): anything may appear in names and values.
    std::wstring text(reinterpret_cast<const char*>(data),
                      reinterpret_cast<const char*>(data) + size);
    for (wchar_t& c : text)
        c = static_cast<unsigned char>(c);

    // Readers and attribute lists on their own.
    int list[4];
    ParseAttrIntList(text.c_str(), list, 4);
    (void)ParseAttrColor(text.c_str(), true);
    COptionUI option;
    option.ApplyAttributeList(text.c_str());

    // The builder, layout and painting, when the text is markup.
    std::wstring doc =
        (!text.empty() && text[0] == L'<') ? text : L"<Window>" + text + L"</Window>";
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(doc.c_str()), nullptr, nullptr, &pm);
    if (root == nullptr)
        return 0;
    builder.ApplyWindowAttributes(&pm);
    pm.AttachDialog(root);
    pm.SetClientSize(120, 80);
    Inspect(pm).PaintOffscreen();
    Inspect(pm).PaintOffscreen();
    return 0;
}
