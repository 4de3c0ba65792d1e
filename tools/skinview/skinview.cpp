#include "tools/skinview/skinview.h"

#include "plat/sys/text.h"
#include "ui/UIContainer.h"
#include "ui/UIDlgBuilder.h"
#include "ui/UIManager.h"
#include "ui/UIOption.h"
#include "ui/UIProgress.h"
#include "ui/test_access.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace skinview {

using namespace Veneer;

namespace {

// One state change asked for on the command line, applied in order.
struct StateChange {
    std::string what; // hot, pushed, selected, unselected, disabled, enabled, show, hide, text,
                      // value, select (a tab layout's page), focus
    std::wstring name;
    std::wstring value;
};

struct Options {
    std::string skinDir;
    std::string zipFile;
    std::string layout;
    std::string outPng;
    int width = 0;
    int height = 0;
    bool tree = false;
    std::vector<StateChange> changes;
};

bool ParseSize(const std::string& text, int* w, int* h) {
    size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    char* end = nullptr;
    long cw = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x)
        return false;
    long ch = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end != 0 || cw <= 0 || ch <= 0 || cw > 16384 || ch > 16384)
        return false;
    *w = (int)cw;
    *h = (int)ch;
    return true;
}

// Parses the arguments; returns an error text, empty on success.
std::string ParseArgs(const std::vector<std::string>& args, Options* o) {
    static const char* kNamed[] = {"--hot",        "--pushed",   "--selected",
                                   "--unselected", "--disabled", "--enabled",
                                   "--show",       "--hide",     "--focus"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&](std::string* v) {
            if (i + 1 >= args.size())
                return false;
            *v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--skin") {
            if (!next(&o->skinDir))
                return "--skin needs a folder";
        } else if (a == "--zip") {
            if (!next(&o->zipFile))
                return "--zip needs an archive";
        } else if (a == "--out" || a == "-o") {
            if (!next(&o->outPng))
                return a + " needs a file name";
        } else if (a == "--size") {
            if (!next(&v) || !ParseSize(v, &o->width, &o->height))
                return "--size needs WIDTHxHEIGHT";
        } else if (a == "--tree") {
            o->tree = true;
        } else if (a == "--text" || a == "--value" || a == "--select") {
            if (!next(&v))
                return a + " needs NAME=VALUE";
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0)
                return a + " needs NAME=VALUE";
            o->changes.push_back(StateChange{a.substr(2), plat::Utf8ToWide(v.substr(0, eq)),
                                             plat::Utf8ToWide(v.substr(eq + 1))});
        } else {
            bool named = false;
            for (const char* n : kNamed) {
                if (a == n) {
                    if (!next(&v) || v.empty())
                        return a + " needs a control name";
                    o->changes.push_back(StateChange{a.substr(2), plat::Utf8ToWide(v), L""});
                    named = true;
                }
            }
            if (!named) {
                if (!a.empty() && a[0] == '-')
                    return "unknown option " + a;
                if (!o->layout.empty())
                    return "only one layout may be given";
                o->layout = a;
            }
        }
    }
    if (o->layout.empty())
        return "no layout given";
    if (!o->skinDir.empty() && !o->zipFile.empty())
        return "--skin and --zip exclude each other";
    return "";
}

// Sends a control the events the paint manager would make for a pointer.
void SendEvent(CControlUI* c, int type) {
    TEventUI event;
    event.Type = type;
    event.pSender = c;
    const RECT& rc = c->GetPos();
    event.ptMouse = POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    c->Event(event);
}

std::string ApplyChange(CPaintManagerUI& pm, const StateChange& s) {
    CControlUI* c = pm.FindControl(s.name.c_str());
    if (c == nullptr)
        return "no control named " + plat::WideToUtf8(s.name);
    COptionUI* option = static_cast<COptionUI*>(c->GetInterface(L"Option"));
    if (s.what == "hot") {
        SendEvent(c, UIEVENT_MOUSEENTER);
    } else if (s.what == "pushed") {
        SendEvent(c, UIEVENT_MOUSEENTER);
        SendEvent(c, UIEVENT_BUTTONDOWN);
    } else if (s.what == "selected" || s.what == "unselected") {
        if (option == nullptr)
            return plat::WideToUtf8(s.name) + " is not an option";
        option->Selected(s.what == "selected");
    } else if (s.what == "disabled" || s.what == "enabled") {
        c->SetEnabled(s.what == "enabled");
    } else if (s.what == "show" || s.what == "hide") {
        c->SetVisible(s.what == "show");
    } else if (s.what == "focus") {
        c->SetFocus();
    } else if (s.what == "text") {
        c->SetText(s.value.c_str());
    } else if (s.what == "value") {
        CProgressUI* p = static_cast<CProgressUI*>(c->GetInterface(L"Progress"));
        if (p == nullptr)
            return plat::WideToUtf8(s.name) + " is not a progress bar";
        p->SetValue(std::wcstol(s.value.c_str(), nullptr, 10));
    } else if (s.what == "select") {
        CTabLayoutUI* tab = static_cast<CTabLayoutUI*>(c->GetInterface(L"TabLayout"));
        if (tab == nullptr)
            return plat::WideToUtf8(s.name) + " is not a tab layout";
        wchar_t* end = nullptr;
        long page = std::wcstol(s.value.c_str(), &end, 10);
        if (end == s.value.c_str() || *end != 0 || page < 0 || page >= tab->GetCount())
            return plat::WideToUtf8(s.name) + " has no page " + plat::WideToUtf8(s.value);
        tab->SelectItem((int)page);
    }
    return "";
}

// A text in double quotes, its quotes, backslashes and line ends escaped.
std::string Quoted(const std::wstring& text) {
    std::string out = "\"";
    for (char ch : plat::WideToUtf8(text)) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        if (ch == '\n')
            out += "\\n";
        else if (ch != '\r')
            out += ch;
    }
    return out + "\"";
}

void PrintTree(CControlUI* c, int depth, std::ostream& out) {
    const RECT& rc = c->GetPos();
    out << std::string(depth * 2, ' ') << plat::WideToUtf8(c->GetClass()) << " \""
        << plat::WideToUtf8(c->GetName().str()) << "\" " << rc.left << "," << rc.top << ","
        << rc.right << "," << rc.bottom << " " << (c->IsVisible() ? "visible" : "hidden");
    const std::wstring text = c->GetText().str();
    if (!text.empty())
        out << " " << Quoted(text);
    out << "\n";
    IContainerUI* container = static_cast<IContainerUI*>(c->GetInterface(L"IContainer"));
    if (container == nullptr)
        return;
    for (int i = 0; i < container->GetCount(); ++i)
        PrintTree(container->GetItemAt(i), depth + 1, out);
}

} // namespace

std::string Usage() {
    return "usage: skinview [--skin DIR | --zip FILE] [--size WxH] [--out FILE.png] [--tree]\n"
           "                [--hot NAME] [--pushed NAME] [--selected NAME] [--unselected NAME]\n"
           "                [--disabled NAME] [--enabled NAME] [--show NAME] [--hide NAME]\n"
           "                [--focus NAME] [--text NAME=TEXT] [--value NAME=N]\n"
           "                [--select TABLAYOUT=PAGE] LAYOUT\n"
           "Builds LAYOUT (a file of the skin folder or archive, default: the layout's own\n"
           "folder) for the window size (default: its Window element's size), applies the\n"
           "state options in order, paints it and writes the PNG; --tree (or no --out)\n"
           "prints every control: class, \"name\", left,top,right,bottom, visible|hidden,\n"
           "and its \"text\" when it has one.\n";
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    std::string problem = ParseArgs(args, &o);
    if (!problem.empty()) {
        err << "skinview: " << problem << "\n" << Usage();
        return 2;
    }

    std::string layout = o.layout;
    if (!o.zipFile.empty()) {
        std::filesystem::path zip(o.zipFile);
        std::string folder = zip.parent_path().string();
        CPaintManagerUI::SetResourcePath(plat::Utf8ToWide(folder.empty() ? "." : folder).c_str());
        CPaintManagerUI::SetResourceZip(plat::Utf8ToWide(zip.filename().string()).c_str(), true);
    } else {
        std::string folder = o.skinDir;
        if (folder.empty()) {
            std::filesystem::path p(o.layout);
            folder = p.parent_path().string();
            layout = p.filename().string();
        }
        CPaintManagerUI::SetResourcePath(plat::Utf8ToWide(folder.empty() ? "." : folder).c_str());
    }

    int status = 0;
    {
        CPaintManagerUI pm;
        CDialogBuilder builder;
        std::wstring wlayout = plat::Utf8ToWide(layout);
        CControlUI* root = builder.Create(STRINGorID(wlayout.c_str()), nullptr, nullptr, &pm);
        if (root == nullptr) {
            wchar_t message[512] = {0};
            wchar_t location[512] = {0};
            builder.GetLastErrorMessage(message, 512);
            builder.GetLastErrorLocation(location, 512);
            err << "skinview: cannot build " << layout << ": " << plat::WideToUtf8(message);
            if (location[0] != 0)
                err << " at \"" << plat::WideToUtf8(location) << "\"";
            err << "\n";
            status = 1;
        } else {
            // No native window here: the layout's Window attributes (its
            // size above all) are applied explicitly.
            builder.ApplyWindowAttributes(&pm);
            pm.AttachDialog(root);
            if (o.width > 0)
                pm.SetClientSize(o.width, o.height);
            if (pm.GetClientSize().cx <= 0 || pm.GetClientSize().cy <= 0) {
                err << "skinview: the layout gives no window size; use --size\n";
                status = 2;
            } else {
                Inspect(pm).PaintOffscreen(); // lay out, so that states find positions
                for (const StateChange& s : o.changes) {
                    std::string e = ApplyChange(pm, s);
                    if (!e.empty()) {
                        err << "skinview: " << e << "\n";
                        status = 2;
                    }
                }
                RECT all = {0, 0, pm.GetClientSize().cx, pm.GetClientSize().cy};
                Inspect(pm).PaintOffscreen(&all);
                // A layout change asked for while painting takes one more.
                if (pm.IsUpdateNeeded())
                    Inspect(pm).PaintOffscreen(&all);
                if (status == 0 && !o.outPng.empty() &&
                    !Inspect(pm).SaveOffscreenPng(o.outPng.c_str())) {
                    err << "skinview: cannot write " << o.outPng << "\n";
                    status = 1;
                }
                if (status == 0 && (o.tree || o.outPng.empty()))
                    PrintTree(root, 0, out);
            }
        }
    }
    CPaintManagerUI::Term();
    return status;
}

} // namespace skinview
