// The installer's windows rendered from the packed skin by tools/skinview in
// each state the windows go through: the control tree puts every control
// where the windows expect it, and the pictures show the artwork lined up
// with the controls. The pictures are kept in the build tree
// (tests/skin/rendered/) for a person to look at.
#include "skin_files.h"

#include "ui/UIContainer.h"
#include "ui/UIDlgBuilder.h"
#include "ui/UIManager.h"
#include "ui/test_access.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

using namespace skintest;

namespace {

struct Placed {
    std::string cls;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
};

struct Rendered {
    int status = -1;
    std::map<std::string, Placed> controls; // named controls, first of a name
    Image picture;
    std::string errors;
};

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Runs skinview on one layout of the packed archive with state options and
// reads back its control tree and picture.
Rendered RunSkinview(const std::string& layout, const std::string& picture,
                     const std::vector<std::string>& options) {
    Rendered r;
    std::string dir = OutputDir();
    std::string png = dir + "/" + picture + ".png";
    std::string tree = dir + "/" + picture + ".tree.txt";
    std::string err = dir + "/" + picture + ".err.txt";
    std::string command = Quote(SKINVIEW_EXE) + " --zip " + Quote(TARVEX_SKIN_ZIP) + " --out " +
                          Quote(png) + " --tree";
    for (const std::string& o : options)
        command += " " + Quote(o);
    command += " " + layout + " >" + Quote(tree) + " 2>" + Quote(err);
    int status = std::system(command.c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.errors = ReadText(err);
    std::istringstream lines(ReadText(tree));
    // Each line: indentation, class, "name", left,top,right,bottom, visible|hidden.
    std::string text;
    while (std::getline(lines, text)) {
        size_t open = text.find('"'), close = text.find('"', open + 1);
        if (open == std::string::npos || close == std::string::npos || close == open + 1)
            continue;
        Placed p;
        size_t first = text.find_first_not_of(' ');
        p.cls = text.substr(first, open - 1 - first);
        char state[16] = {0};
        if (std::sscanf(text.c_str() + close + 1, " %d,%d,%d,%d %15s", &p.left, &p.top, &p.right,
                        &p.bottom, state) != 5)
            continue;
        p.visible = std::string(state) == "visible";
        r.controls.emplace(text.substr(open + 1, close - open - 1), p);
    }
    r.picture = LoadImageFile(png);
    return r;
}

// The control's rectangle and visibility.
void ExpectAt(const Rendered& r, const std::string& name, int left, int top, int right, int bottom,
              bool visible = true) {
    auto it = r.controls.find(name);
    ASSERT_NE(it, r.controls.end()) << name << " missing from the tree";
    const Placed& p = it->second;
    EXPECT_EQ(p.visible, visible) << name;
    if (visible) {
        EXPECT_EQ(p.left, left) << name;
        EXPECT_EQ(p.top, top) << name;
        EXPECT_EQ(p.right, right) << name;
        EXPECT_EQ(p.bottom, bottom) << name;
    }
}

// Pixels of the window that differ from the opaque pixels of an image part
// drawn at (x, y) at its own size; partly transparent pixels are skipped.
int PartMismatches(const Image& window, int x, int y, const std::string& imageName, int sx, int sy,
                   int w, int h) {
    Image part = LoadSkinImage(imageName);
    if (part.Empty() || window.Empty())
        return w * h;
    int mismatches = 0;
    for (int dy = 0; dy < h; ++dy) {
        for (int dx = 0; dx < w; ++dx) {
            Rgba p = part.At(sx + dx, sy + dy);
            if (p.a != 255)
                continue;
            Rgba q = window.At(x + dx, y + dy);
            if (std::abs(p.r - q.r) > 3 || std::abs(p.g - q.g) > 3 || std::abs(p.b - q.b) > 3)
                ++mismatches;
        }
    }
    return mismatches;
}

struct Box {
    int left, top, right, bottom;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Pixels of the window inside `area` that differ from the background image
// drawn at the origin, outside the rectangles where controls draw.
int BackgroundMismatches(const Image& window, const std::string& background, Box area,
                         const std::vector<Box>& controls) {
    Image bg = LoadSkinImage(background);
    if (bg.Empty() || window.Empty())
        return -1;
    int mismatches = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            bool covered = false;
            for (const Box& c : controls)
                covered = covered || c.Contains(x, y);
            if (covered)
                continue;
            Rgba p = bg.At(x, y), q = window.At(x, y);
            if (std::abs(p.r - q.r) > 2 || std::abs(p.g - q.g) > 2 || std::abs(p.b - q.b) > 2)
                ++mismatches;
        }
    }
    return mismatches;
}

bool NearColour(const Rgba& p, int r, int g, int b, int tolerance = 6) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
           std::abs(p.b - b) <= tolerance;
}

const char* kStart = "installerstart.xml";
const char* kInstall = "installerinstall.xml";
const char* kFinish = "installerfinish.xml";
const char* kDialog = "commondlg.xml";

} // namespace

// ---- Start window ---------------------------------------------------------

TEST(SkinWindows, StartWindowCollapsedWithTheLicenceTicked) {
    Rendered r = RunSkinview(kStart, "start_collapsed", {"--selected", "licensechk"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ASSERT_EQ(r.picture.width, 560);
    ASSERT_EQ(r.picture.height, 408);
    ExpectAt(r, "msgdlg", 0, 0, 560, 242);
    ExpectAt(r, "closebtn", 541, 10, 550, 19);     // 9 x 9, 10 from the top and right
    ExpectAt(r, "installbtn", 160, 282, 400, 320); // 240 x 38, centred
    ExpectAt(r, "licensechk", 12, 386, 112, 409);
    ExpectAt(r, "licensebtn", 112, 386, 207, 409);
    ExpectAt(r, "showmorechk", 452, 386, 538, 401);
    ExpectAt(r, "moreopt", 0, 0, 0, 0, false);

    // The hero is the start background at its own size; the controls show
    // their normal parts where they land.
    EXPECT_EQ(BackgroundMismatches(r.picture, "installerstartbg.png", {0, 0, 560, 242},
                                   {{541, 10, 550, 19}}),
              0);
    EXPECT_EQ(PartMismatches(r.picture, 160, 282, "installBtn.png", 0, 0, 240, 38), 0);
    EXPECT_EQ(PartMismatches(r.picture, 12, 386, "checkboxBtn.png", 26, 0, 13, 13), 0);
    EXPECT_EQ(PartMismatches(r.picture, 452, 386, "showmoredownBtn.png", 0, 0, 86, 15), 0);
    // The close glyph is drawn (white over the red hero).
    int light = 0;
    for (int y = 10; y < 19; ++y)
        for (int x = 541; x < 550; ++x)
            light += r.picture.At(x, y).g > 150;
    EXPECT_GT(light, 8);
}

TEST(SkinWindows, StartWindowExpanded) {
    Rendered r =
        RunSkinview(kStart, "start_expanded",
                    {"--size", "560x490", "--selected", "licensechk", "--show", "moreopt",
                     "--selected", "showmorechk", "--text", "installpathedit=/opt/TarvexPDFConver",
                     "--text", "needsize=100M", "--text", "usablesize=20.5G"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ASSERT_EQ(r.picture.height, 490);
    ExpectAt(r, "installbtn", 160, 282, 400, 320); // unchanged by growing
    ExpectAt(r, "moreopt", 22, 408, 538, 508);
    ExpectAt(r, "installpathedit", 78, 426, 483, 454);
    ExpectAt(r, "selectdirbtn", 483, 426, 538, 454);
    auto need = r.controls.find("needsize");
    ASSERT_NE(need, r.controls.end());
    EXPECT_EQ(need->second.top, 464);
    EXPECT_EQ(need->second.bottom, 477);
    EXPECT_GT(need->second.left, 80); // after its caption label, which starts at 80
    auto usable = r.controls.find("usablesize");
    ASSERT_NE(usable, r.controls.end());
    EXPECT_EQ(usable->second.right - usable->second.left, 100);
    EXPECT_EQ(PartMismatches(r.picture, 452, 386, "showmoreupBtn.png", 0, 0, 86, 15), 0);
    EXPECT_EQ(PartMismatches(r.picture, 483, 426, "selectdirBtn.png", 0, 0, 55, 28), 0);
    // Below the hero the expanded window stays white, apart from the controls.
    EXPECT_TRUE(NearColour(r.picture.At(300, 485), 255, 255, 255, 0));
}

TEST(SkinWindows, StartWindowLicenceUntickedDisablesInstall) {
    Rendered r = RunSkinview(kStart, "start_licence_unticked",
                             {"--unselected", "licensechk", "--disabled", "installbtn"});
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(PartMismatches(r.picture, 160, 282, "installBtn.png", 720, 0, 240, 38), 0);
    EXPECT_EQ(PartMismatches(r.picture, 12, 386, "checkboxBtn.png", 0, 0, 13, 13), 0);
}

TEST(SkinWindows, StartWindowInstallButtonHotAndPushed) {
    Rendered hot = RunSkinview(kStart, "start_install_hot",
                               {"--selected", "licensechk", "--hot", "installbtn"});
    Rendered pushed = RunSkinview(kStart, "start_install_pushed",
                                  {"--selected", "licensechk", "--pushed", "installbtn"});
    ASSERT_EQ(hot.status, 0) << hot.errors;
    ASSERT_EQ(pushed.status, 0) << pushed.errors;
    EXPECT_EQ(PartMismatches(hot.picture, 160, 282, "installBtn.png", 240, 0, 240, 38), 0);
    EXPECT_EQ(PartMismatches(pushed.picture, 160, 282, "installBtn.png", 480, 0, 240, 38), 0);
    // And the two pictures really differ there.
    EXPECT_GT(PartMismatches(hot.picture, 160, 282, "installBtn.png", 480, 0, 240, 38), 1000);
}

// ---- Message dialog ---------------------------------------------------------

TEST(SkinWindows, MessageDialogMessageForm) {
    Rendered r = RunSkinview(kDialog, "dialog_message",
                             {"--text", "msgtitle=提示", "--text", "msgtext=安装磁盘空间不足！"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ASSERT_EQ(r.picture.width, 416);
    ASSERT_EQ(r.picture.height, 198);
    ExpectAt(r, "msgdlg", 0, 0, 416, 32);
    ExpectAt(r, "msgtitle", 12, 0, 395, 32);
    ExpectAt(r, "closebtn", 395, 10, 404, 19); // 9 x 9, 10 from the top
    ExpectAt(r, "MsgDlg", 40, 67, 376, 198);
    ExpectAt(r, "ico", 110, 67, 132, 89);
    ExpectAt(r, "msgtext", 142, 67, 376, 89);
    ExpectAt(r, "msgconfirmbtn", 160, 127, 255, 157);
    ExpectAt(r, "MsgYNDlg", 0, 0, 0, 0, false);
    EXPECT_TRUE(NearColour(r.picture.At(300, 4), 0xC6, 0x2F, 0x2F, 0)); // the red band
    EXPECT_EQ(PartMismatches(r.picture, 110, 67, "infoSign.png", 0, 0, 22, 22), 0);
    // The confirm image's description ends in a space; it is still drawn.
    EXPECT_EQ(PartMismatches(r.picture, 160, 127, "confirmBtn.png", 0, 0, 95, 30), 0);
    // The message text is drawn in the label, right of the icon.
    int dark = 0;
    for (int y = 67; y < 89; ++y)
        for (int x = 142; x < 300; ++x)
            dark += r.picture.At(x, y).r < 128;
    EXPECT_GT(dark, 20);
}

TEST(SkinWindows, MessageDialogYesNoForm) {
    // The yes/no form is tab page 1, which the dialog selects before it is
    // shown; the toolkit builds and paints it here from the in-memory archive
    // as the installer does.
    static std::vector<uint8_t> zip = ReadFileBytes(TARVEX_SKIN_ZIP);
    ASSERT_FALSE(zip.empty());
    Veneer::CPaintManagerUI::SetResourcePath(L"");
    Veneer::CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned int>(zip.size()));
    std::string png = OutputDir() + "/dialog_yesno.png";
    {
        Veneer::CPaintManagerUI pm;
        Veneer::CDialogBuilder builder;
        Veneer::CControlUI* root =
            builder.Create(Veneer::STRINGorID(L"commondlg.xml"), nullptr, nullptr, &pm);
        ASSERT_NE(root, nullptr);
        builder.ApplyWindowAttributes(&pm); // off-screen: no native window
        pm.AttachDialog(root);
        ASSERT_EQ(pm.GetClientSize().cx, 416);
        ASSERT_EQ(pm.GetClientSize().cy, 198);
        Inspect(pm).PaintOffscreen();
        auto* tabs = static_cast<Veneer::CTabLayoutUI*>(
            pm.FindControl(L"commondlgTabModule")->GetInterface(L"TabLayout"));
        ASSERT_NE(tabs, nullptr);
        ASSERT_TRUE(tabs->SelectItem(1));
        pm.FindControl(L"msgyntext")->SetText(L"您确定要退出TarvexPDF安装过程？");
        plat::RECT all = {0, 0, 416, 198};
        Inspect(pm).PaintOffscreen(&all);
        if (pm.IsUpdateNeeded())
            Inspect(pm).PaintOffscreen(&all);
        ASSERT_TRUE(Inspect(pm).SaveOffscreenPng(png.c_str()));

        auto rect = [&](const wchar_t* name) {
            Veneer::CControlUI* c = pm.FindControl(name);
            return c ? c->GetPos() : plat::RECT{-1, -1, -1, -1};
        };
        plat::RECT yes = rect(L"msgynconfirmbtn"), no = rect(L"msgyncancelbtn");
        EXPECT_EQ(yes.left, 94);
        EXPECT_EQ(yes.top, 127);
        EXPECT_EQ(yes.right - yes.left, 95);
        EXPECT_EQ(yes.bottom - yes.top, 30);
        EXPECT_EQ(no.left, yes.right + 37);
        EXPECT_EQ(no.top, 127);
        EXPECT_EQ(no.right - no.left, 95);
        EXPECT_FALSE(pm.FindControl(L"MsgDlg")->IsVisible());
    }
    Veneer::CPaintManagerUI::Term();
    Image picture = LoadImageFile(png);
    ASSERT_EQ(picture.width, 416);
    EXPECT_EQ(PartMismatches(picture, 94, 127, "confirmBtn.png", 0, 0, 95, 30), 0);
    EXPECT_EQ(PartMismatches(picture, 226, 127, "cancelBtn.png", 0, 0, 95, 30), 0);
}

// ---- Install window ---------------------------------------------------------

TEST(SkinWindows, InstallWindowDownloadingAt37Percent) {
    Rendered r = RunSkinview(kInstall, "install_downloading_37",
                             {"--value", "down_progress=37", "--text", "down_text=37%"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ASSERT_EQ(r.picture.width, 560);
    ASSERT_EQ(r.picture.height, 408);
    ExpectAt(r, "closebtn", 541, 10, 550, 19);
    // Floating controls sit in the row below the 32-pixel top row.
    ExpectAt(r, "down_label", 26, 309, 86, 334);
    ExpectAt(r, "down_text", 86, 309, 186, 334);
    ExpectAt(r, "down_progress", 30, 329, 530, 334);
    ExpectAt(r, "install_text", 0, 0, 0, 0, false);
    ExpectAt(r, "installgif", 0, 0, 0, 0, false);
    // 37 % of 500 pixels is 185: red up to x 214, the track after it.
    for (int x : {31, 120, 213})
        EXPECT_TRUE(NearColour(r.picture.At(x, 331), 0xC6, 0x2F, 0x2F)) << x;
    for (int x : {216, 400, 528})
        EXPECT_TRUE(NearColour(r.picture.At(x, 331), 0xEC, 0xEC, 0xEC)) << x;
    // Everything but the controls is the install background at its own size.
    EXPECT_EQ(BackgroundMismatches(r.picture, "installerinstallbg.png", {0, 0, 560, 408},
                                   {{541, 10, 550, 19}, {26, 309, 186, 334}, {30, 329, 530, 334}}),
              0);
    // The status texts are drawn in grey on white.
    int grey = 0;
    for (int y = 309; y < 329; ++y)
        for (int x = 26; x < 120; ++x)
            grey += r.picture.At(x, y).r < 200;
    EXPECT_GT(grey, 20);
}

TEST(SkinWindows, InstallWindowInstalling) {
    Rendered r =
        RunSkinview(kInstall, "install_installing",
                    {"--value", "down_progress=100", "--hide", "down_label", "--hide", "down_text",
                     "--show", "install_text", "--hide", "down_progress", "--show", "installgif"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ExpectAt(r, "install_text", 26, 309, 126, 334);
    ExpectAt(r, "installgif", 30, 329, 530, 334);
    ExpectAt(r, "down_progress", 0, 0, 0, 0, false);
    ExpectAt(r, "down_label", 0, 0, 0, 0, false);
    // The animation's first frame shows its red sweep over the track.
    int red = 0, track = 0;
    for (int x = 30; x < 530; ++x) {
        Rgba p = r.picture.At(x, 331);
        red += NearColour(p, 0xC6, 0x2F, 0x2F, 12);
        track += NearColour(p, 0xEC, 0xEC, 0xEC, 4);
    }
    EXPECT_GT(red, 60);
    EXPECT_GT(track, 200);
}

TEST(SkinWindows, InstallWindowFailed) {
    Rendered r =
        RunSkinview(kInstall, "install_failed",
                    {"--value", "down_progress=37", "--hide", "down_label", "--hide", "down_text",
                     "--show", "install_text", "--text", "install_text=获取信息失败！"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ExpectAt(r, "install_text", 26, 309, 126, 334);
    ExpectAt(r, "down_progress", 30, 329, 530, 334); // kept at its last value
    ExpectAt(r, "installgif", 0, 0, 0, 0, false);
    EXPECT_TRUE(NearColour(r.picture.At(100, 331), 0xC6, 0x2F, 0x2F));
    EXPECT_TRUE(NearColour(r.picture.At(400, 331), 0xEC, 0xEC, 0xEC));
}

// ---- Finish window ----------------------------------------------------------

TEST(SkinWindows, FinishWindow) {
    Rendered r = RunSkinview(kFinish, "finish", {});
    Rendered hot = RunSkinview(kFinish, "finish_start_hot", {"--hot", "startbtn"});
    ASSERT_EQ(r.status, 0) << r.errors;
    ASSERT_EQ(hot.status, 0) << hot.errors;
    ExpectAt(r, "msgdlg", 0, 0, 560, 32);
    ExpectAt(r, "startbtn", 182, 299, 372, 347); // x 182..371, y 299..346
    EXPECT_EQ(r.controls.count("closebtn"), 0u);
    EXPECT_EQ(BackgroundMismatches(r.picture, "installerfinishbg.png", {0, 0, 560, 408},
                                   {{182, 299, 372, 347}}),
              0);
    EXPECT_EQ(PartMismatches(r.picture, 182, 299, "startBtn.png", 0, 0, 190, 48), 0);
    EXPECT_EQ(PartMismatches(hot.picture, 182, 299, "startBtn.png", 190, 0, 190, 48), 0);
}
