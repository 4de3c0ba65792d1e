// The four layouts: well-formed, UTF-8, and carrying exactly the elements and
// attribute values the installer's windows are built from.
#include "layout_reader.h"
#include "skin_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace skintest;

namespace {

using Attrs = std::vector<std::pair<std::string, std::string>>;

Element Load(const std::string& name) {
    std::vector<uint8_t> bytes = ReadFileBytes(SkinDir() + "/" + name);
    std::string text(bytes.begin(), bytes.end());
    Element root;
    std::string error;
    EXPECT_TRUE(ParseLayout(text, root, error)) << name << ": " << error;
    return root;
}

// Every listed attribute is present with exactly this value.
void ExpectAttrs(const Element* e, const Attrs& expected) {
    ASSERT_NE(e, nullptr);
    for (const auto& a : expected) {
        EXPECT_TRUE(e->Has(a.first)) << e->name << " " << e->Attr("name") << " lacks " << a.first;
        EXPECT_EQ(e->Attr(a.first), a.second)
            << e->name << " " << e->Attr("name") << " " << a.first;
    }
}

// Names of the children, in order.
std::vector<std::string> ChildNames(const Element& e) {
    std::vector<std::string> names;
    for (const Element& c : e.children)
        names.push_back(c.name);
    return names;
}

const Attrs kShadowedWindow = {{"showshadow", "true"},
                               {"shadowsize", "5"},
                               {"shadowdarkness", "70"},
                               {"shadowcolor", "#333333"}};

const Attrs kCloseButton = {{"width", "9"},
                            {"height", "9"},
                            {"padding", "0,10,10,0"},
                            {"normalimage", "file='dlgcloseBtn.png' source='0,0,9,9'"},
                            {"hotimage", "file='dlgcloseBtn.png' source='9,0,18,9'"},
                            {"pushedimage", "file='dlgcloseBtn.png' source='9,0,18,9'"},
                            {"cursor", "hand"}};

} // namespace

TEST(SkinLayouts, AreUtf8WithAnXmlDeclarationAndParse) {
    for (const std::string& name : LayoutNames()) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = ReadFileBytes(SkinDir() + "/" + name);
        ASSERT_FALSE(bytes.empty());
        std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
        Element root = Load(name);
        EXPECT_EQ(root.name, "Window");
        EXPECT_EQ(root.Attr("size").empty(), false);
    }
}

TEST(SkinLayouts, ReaderRejectsWhatTheLayoutsMustNotContain) {
    Element root;
    std::string error;
    EXPECT_FALSE(ParseLayout("<Window><Button name='x' /></Window>", root, error));
    EXPECT_FALSE(ParseLayout("<Window><Button></Window>", root, error));
    EXPECT_FALSE(ParseLayout("<Window a=\"1\" a=\"2\" />", root, error));
    EXPECT_FALSE(ParseLayout("<Window text=\"&nbsp;\" />", root, error));
    EXPECT_FALSE(ParseLayout("<Window>text</Window>", root, error));
    EXPECT_FALSE(ParseLayout("<Window text=\"\xC3\" />", root, error));
    ASSERT_TRUE(ParseLayout("\xEF\xBB\xBF<!-- c --><Window text=\"a&amp;b\"/>", root, error))
        << error;
    EXPECT_EQ(root.Attr("text"), "a&b");

    std::vector<ImageRef> images;
    ASSERT_TRUE(ParseImageDescription("file='a.png' source='0,0,95,30' ", images));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].source, (std::vector<int>{0, 0, 95, 30}));
    EXPECT_FALSE(ParseImageDescription("file=\"a.png\"", images));
    EXPECT_FALSE(ParseImageDescription("file='a.png'  source='0,0,1,1'", images));
    EXPECT_FALSE(ParseImageDescription("file='a.png' source='0,0,1'", images));
}

TEST(SkinLayouts, MessageDialog) {
    Element root = Load("commondlg.xml");
    ExpectAttrs(&root, {{"size", "416,198"}, {"caption", "0,0,0,32"}, {"roundcorner", "2,2"}});
    ExpectAttrs(&root, kShadowedWindow);
    ASSERT_EQ(ChildNames(root), (std::vector<std::string>{"Include", "VerticalLayout"}));
    ExpectAttrs(&root.children[0], {{"source", "font.xml"}}); // absent from the archive
    const Element& body = root.children[1];
    ExpectAttrs(&body, {{"bkcolor", "#FFFFFFFF"}});
    ASSERT_EQ(ChildNames(body), (std::vector<std::string>{"HorizontalLayout", "TabLayout"}));

    const Element& band = body.children[0];
    ExpectAttrs(&band, {{"name", "msgdlg"}, {"height", "32"}, {"bkcolor", "#FFC62F2F"}});
    ASSERT_EQ(ChildNames(band), (std::vector<std::string>{"Control", "Label", "Button"}));
    ExpectAttrs(&band.children[0], {{"width", "12"}});
    ExpectAttrs(&band.children[1], {{"name", "msgtitle"},
                                    {"width", "383"},
                                    {"text", "提示"},
                                    {"align", "left"},
                                    {"textcolor", "#FFFFFFFF"},
                                    {"endellipsis", "true"}});
    ExpectAttrs(&band.children[2], {{"name", "closebtn"}});
    ExpectAttrs(&band.children[2], kCloseButton);

    const Element& tabs = body.children[1];
    ExpectAttrs(&tabs, {{"name", "commondlgTabModule"}, {"selectedid", "0"}});
    ASSERT_EQ(tabs.children.size(), 2u);
    const char* pageNames[] = {"MsgDlg", "MsgYNDlg"};
    const char* textNames[] = {"msgtext", "msgyntext"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(pageNames[i]);
        const Element& page = tabs.children[i];
        EXPECT_EQ(page.name, "VerticalLayout");
        ExpectAttrs(&page,
                    {{"name", pageNames[i]}, {"bkcolor", "#FFFFFFFF"}, {"padding", "40,35,40,0"}});
        ASSERT_EQ(page.children.size(), 3u);
        const Element& iconRow = page.children[0];
        ExpectAttrs(&iconRow, {{"height", "22"}});
        ASSERT_EQ(ChildNames(iconRow),
                  (std::vector<std::string>{"Control", "Control", "Control", "Label"}));
        ExpectAttrs(&iconRow.children[0], {{"width", "70"}});
        ExpectAttrs(&iconRow.children[1],
                    {{"name", "ico"}, {"width", "22"}, {"bkimage", "infoSign.png"}});
        ExpectAttrs(&iconRow.children[2], {{"width", "10"}});
        ExpectAttrs(&iconRow.children[3], {{"name", textNames[i]}, {"align", "left"}});
        ExpectAttrs(&page.children[1], {{"height", "38"}});
        const Element& buttons = page.children[2];
        ExpectAttrs(&buttons, {{"height", "36"}});
        // Flexible spacers around the buttons centre them.
        EXPECT_FALSE(buttons.children.front().Has("width"));
        EXPECT_FALSE(buttons.children.back().Has("width"));
    }
    const Element* ok = FindByName(root, "msgconfirmbtn");
    const Element* yes = FindByName(root, "msgynconfirmbtn");
    const Element* no = FindByName(root, "msgyncancelbtn");
    for (const Element* b : {ok, yes}) {
        ExpectAttrs(b, {{"width", "95"},
                        {"height", "30"},
                        {"cursor", "hand"},
                        {"hotimage", "file='confirmBtn.png' source='95,0,190,30'"},
                        {"pushedimage", "file='confirmBtn.png' source='190,0,285,30'"}});
    }
    ExpectAttrs(no, {{"width", "95"},
                     {"height", "30"},
                     {"cursor", "hand"},
                     {"normalimage", "file='cancelBtn.png' source='0,0,95,30'"},
                     {"hotimage", "file='cancelBtn.png' source='95,0,190,30'"},
                     {"pushedimage", "file='cancelBtn.png' source='190,0,285,30'"}});
    const Element& ynRow = tabs.children[1].children[2];
    ASSERT_EQ(ynRow.children.size(), 5u);
    ExpectAttrs(&ynRow.children[2], {{"width", "37"}});
}

TEST(SkinLayouts, StartWindow) {
    Element root = Load("installerstart.xml");
    ExpectAttrs(&root, {{"size", "560,408"}, {"caption", "0,0,0,242"}});
    ExpectAttrs(&root, kShadowedWindow);
    EXPECT_FALSE(root.Has("roundcorner"));
    ASSERT_EQ(ChildNames(root), (std::vector<std::string>{"Font", "VerticalLayout"}));
    ExpectAttrs(&root.children[0], {{"id", "0"},
                                    {"name", "微软雅黑"},
                                    {"size", "14"},
                                    {"bold", "false"},
                                    {"italic", "false"}});
    const Element& body = root.children[1];
    ExpectAttrs(&body, {{"bkcolor", "#ffffffff"}});
    ASSERT_EQ(body.children.size(), 2u);
    const Element& hero = body.children[0];
    ExpectAttrs(&hero,
                {{"name", "msgdlg"}, {"height", "242"}, {"bkimage", "installerstartbg.png"}});
    ASSERT_EQ(ChildNames(hero), (std::vector<std::string>{"Control", "Button"}));
    EXPECT_FALSE(hero.children[0].Has("width"));
    ExpectAttrs(&hero.children[1], kCloseButton);
    ExpectAttrs(&hero.children[1], {{"name", "closebtn"}});

    const Element& startwnd = body.children[1];
    ExpectAttrs(&startwnd, {{"name", "startwnd"}});
    ASSERT_EQ(startwnd.children.size(), 2u);
    const Element& main = startwnd.children[0];
    ExpectAttrs(&main, {{"height", "166"}});
    ASSERT_EQ(main.children.size(), 2u);
    ExpectAttrs(&main.children[0], {{"padding", "0,40,0,0"}, {"height", "44"}});
    ASSERT_EQ(ChildNames(main.children[0]),
              (std::vector<std::string>{"Control", "Button", "Control"}));
    ExpectAttrs(&main.children[0].children[1],
                {{"name", "installbtn"},
                 {"width", "240"},
                 {"height", "38"},
                 {"cursor", "hand"},
                 {"normalimage", "file='installBtn.png' source='0,0,240,38'"},
                 {"hotimage", "file='installBtn.png' source='240,0,480,38'"},
                 {"pushedimage", "file='installBtn.png' source='480,0,720,38'"},
                 {"disabledimage", "file='installBtn.png' source='720,0,960,38'"}});
    const Element& licenceRow = main.children[1];
    ExpectAttrs(&licenceRow, {{"padding", "12,60,22,0"}, {"height", "23"}});
    ASSERT_EQ(ChildNames(licenceRow),
              (std::vector<std::string>{"Option", "Button", "Control", "Option"}));
    ExpectAttrs(&licenceRow.children[0],
                {{"name", "licensechk"},
                 {"text", "已经阅读并同意"},
                 {"width", "100"},
                 {"textcolor", "#FF999999"},
                 {"align", "left"},
                 {"textpadding", "15,0,0,0"},
                 {"cursor", "hand"},
                 {"normalimage", "file='checkboxBtn.png' source='0,0,13,13' dest='0,0,13,13'"},
                 {"selectedimage", "file='checkboxBtn.png' source='26,0,39,13' dest='0,0,13,13'"}});
    ExpectAttrs(&licenceRow.children[1], {{"name", "licensebtn"},
                                          {"width", "95"},
                                          {"text", "用户许可协议"},
                                          {"textcolor", "0xFFc62f2f"},
                                          {"align", "left"}});
    ExpectAttrs(&licenceRow.children[3],
                {{"name", "showmorechk"},
                 {"width", "86"},
                 {"height", "15"},
                 {"cursor", "hand"},
                 {"normalimage", "file='showmoredownBtn.png' source='0,0,86,15'"},
                 {"hotimage", "file='showmoredownBtn.png' source='86,0,172,15'"},
                 {"pushedimage", "file='showmoredownBtn.png' source='86,0,172,15'"},
                 {"selectedimage", "file='showmoreupBtn.png' source='0,0,86,15'"}});

    const Element& more = startwnd.children[1];
    ExpectAttrs(
        &more,
        {{"name", "moreopt"}, {"visible", "false"}, {"height", "100"}, {"padding", "22,0,22,0"}});
    ASSERT_EQ(ChildNames(more),
              (std::vector<std::string>{"Control", "HorizontalLayout", "HorizontalLayout"}));
    ExpectAttrs(&more.children[0], {{"height", "18"}});
    const Element& pathRow = more.children[1];
    ExpectAttrs(&pathRow, {{"height", "28"}});
    ASSERT_EQ(ChildNames(pathRow), (std::vector<std::string>{"Label", "RichEdit", "Button"}));
    ExpectAttrs(
        &pathRow.children[0],
        {{"text", "安装路径："}, {"padding", "0,8,0,10"}, {"width", "56"}, {"height", "13"}});
    ExpectAttrs(&pathRow.children[1], {{"name", "installpathedit"},
                                       {"readonly", "true"},
                                       {"multiline", "false"},
                                       {"textcolor", "#FF999999"},
                                       {"textpadding", "10,2,10,2"},
                                       {"bordercolor", "#FF999999"},
                                       {"bordersize", "1"},
                                       {"font", "0"}});
    ExpectAttrs(&pathRow.children[2],
                {{"name", "selectdirbtn"},
                 {"width", "55"},
                 {"height", "28"},
                 {"tooltip", "选择文件夹"},
                 {"cursor", "hand"},
                 {"normalimage", "file='selectdirBtn.png' source='0,0,55,28'"},
                 {"hotimage", "file='selectdirBtn.png' source='55,0,110,28'"},
                 {"pushedimage", "file='selectdirBtn.png' source='55,0,110,28'"}});
    const Element& spaceRow = more.children[2];
    ExpectAttrs(&spaceRow, {{"padding", "58,10"}, {"height", "13"}});
    ASSERT_EQ(ChildNames(spaceRow),
              (std::vector<std::string>{"Label", "Label", "Control", "Label", "Label"}));
    ExpectAttrs(&spaceRow.children[0], {{"text", "所需磁盘空间："}, {"autocalcwidth", "true"}});
    ExpectAttrs(&spaceRow.children[1],
                {{"name", "needsize"}, {"text", "0.0MB"}, {"autocalcwidth", "true"}});
    ExpectAttrs(&spaceRow.children[2], {{"width", "26"}});
    ExpectAttrs(&spaceRow.children[3], {{"text", "可用磁盘空间："}, {"autocalcwidth", "true"}});
    ExpectAttrs(&spaceRow.children[4],
                {{"name", "usablesize"}, {"text", "0.0MB"}, {"width", "100"}});
    for (int i : {0, 1, 3, 4})
        ExpectAttrs(&spaceRow.children[i], {{"textcolor", "#FF999999"}});
}

TEST(SkinLayouts, InstallWindowFloatsItsStatusControls) {
    Element root = Load("installerinstall.xml");
    ExpectAttrs(&root, {{"size", "560,408"}, {"caption", "0,0,0,243"}});
    ExpectAttrs(&root, kShadowedWindow);
    ASSERT_EQ(ChildNames(root), (std::vector<std::string>{"VerticalLayout"}));
    const Element& body = root.children[0];
    ExpectAttrs(&body, {{"bkimage", "installerinstallbg.png"}});
    ASSERT_EQ(body.children.size(), 2u);
    ExpectAttrs(&body.children[0], {{"height", "32"}});
    ASSERT_EQ(ChildNames(body.children[0]), (std::vector<std::string>{"Control", "Button"}));
    ExpectAttrs(&body.children[0].children[1], kCloseButton);
    ExpectAttrs(&body.children[0].children[1], {{"name", "closebtn"}});

    // The row below the top row holds only floating controls.
    const Element& row = body.children[1];
    EXPECT_FALSE(row.Has("height"));
    struct Float {
        const char* element;
        const char* name;
        const char* pos;
        const char* width;
        const char* height;
    };
    const Float floats[] = {{"Text", "down_label", "26,277,60,25", "60", "25"},
                            {"Text", "down_text", "86,277,100,25", "100", "25"},
                            {"Text", "install_text", "26,277,100,25", "100", "25"},
                            {"Progress", "down_progress", "30,297,500,5", "500", "5"},
                            {"GifAnim", "installgif", "30,297,500,5", "500", "5"}};
    ASSERT_EQ(row.children.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        const Element& c = row.children[i];
        SCOPED_TRACE(floats[i].name);
        EXPECT_EQ(c.name, floats[i].element);
        ExpectAttrs(&c, {{"name", floats[i].name},
                         {"float", "true"},
                         {"pos", floats[i].pos},
                         {"width", floats[i].width},
                         {"height", floats[i].height}});
        // "width" and "height" come after "pos" so that they replace the size
        // that "pos" computes from its right and bottom numbers.
        std::vector<std::string> names = c.AttributeNames();
        auto at = [&](const char* n) { return std::find(names.begin(), names.end(), n); };
        EXPECT_LT(at("pos"), at("width"));
        EXPECT_LT(at("pos"), at("height"));
    }
    ExpectAttrs(&row.children[0], {{"text", "正在下载"}, {"textcolor", "#FF737373"}});
    ExpectAttrs(&row.children[1], {{"text", "0%"}, {"textcolor", "#FF737373"}});
    ExpectAttrs(&row.children[2],
                {{"visible", "false"}, {"text", "正在安装..."}, {"textcolor", "#FF737373"}});
    ExpectAttrs(&row.children[3], {{"min", "0"},
                                   {"max", "100"},
                                   {"value", "0"},
                                   {"foreimage", "progress_pro_fore.png"},
                                   {"bkimage", "progress_pro_bk.png"}});
    ExpectAttrs(&row.children[4], {{"visible", "false"},
                                   {"bkimage", "installgif.gif"},
                                   {"auto", "true"},
                                   {"mouse", "false"}});
    EXPECT_FALSE(row.children[0].Has("visible"));
    EXPECT_FALSE(row.children[3].Has("visible"));
}

TEST(SkinLayouts, FinishWindowHasOnlyTheStartButton) {
    Element root = Load("installerfinish.xml");
    ExpectAttrs(&root, {{"size", "560,408"}, {"caption", "0,0,0,243"}});
    ExpectAttrs(&root, kShadowedWindow);
    EXPECT_FALSE(root.Has("roundcorner"));
    ASSERT_EQ(root.children.size(), 1u);
    const Element& body = root.children[0];
    ExpectAttrs(&body, {{"bkimage", "installerfinishbg.png"}});
    ASSERT_EQ(body.children.size(), 2u);
    ExpectAttrs(&body.children[0], {{"name", "msgdlg"}, {"height", "32"}});
    EXPECT_TRUE(body.children[0].children.empty());
    const Element& holder = body.children[1];
    ExpectAttrs(&holder, {{"width", "190"}, {"height", "48"}, {"padding", "182,267,0,0"}});
    ASSERT_EQ(holder.children.size(), 1u);
    ExpectAttrs(&holder.children[0],
                {{"name", "startbtn"},
                 {"width", "190"},
                 {"height", "48"},
                 {"cursor", "hand"},
                 {"normalimage", "file='startBtn.png' source='0,0,190,48'"},
                 {"hotimage", "file='startBtn.png' source='190,0,380,48'"},
                 {"pushedimage", "file='startBtn.png' source='380,0,570,48'"}});
    EXPECT_EQ(FindByName(root, "closebtn"), nullptr);
}

TEST(SkinLayouts, EveryNamedImageExistsAndEveryPartLiesInsideIt) {
    static const std::set<std::string> imageAttributes = {
        "bkimage",       "normalimage",   "hotimage",  "pushedimage",
        "disabledimage", "selectedimage", "foreimage", "focusedimage"};
    std::set<std::string> used;
    for (const std::string& layout : LayoutNames()) {
        Element root = Load(layout);
        std::vector<const Element*> all;
        Flatten(root, all);
        for (const Element* e : all) {
            for (const auto& a : e->attributes) {
                if (!imageAttributes.count(a.first))
                    continue;
                SCOPED_TRACE(layout + " " + e->Attr("name") + " " + a.first);
                std::vector<ImageRef> refs;
                ASSERT_TRUE(ParseImageDescription(a.second, refs)) << a.second;
                for (const ImageRef& ref : refs) {
                    used.insert(ref.file);
                    if (ref.file.size() > 4 && ref.file.substr(ref.file.size() - 4) == ".gif")
                        continue;
                    Image image = LoadSkinImage(ref.file);
                    ASSERT_FALSE(image.Empty()) << ref.file;
                    if (!ref.source.empty()) {
                        EXPECT_GE(ref.source[0], 0);
                        EXPECT_GE(ref.source[1], 0);
                        EXPECT_LE(ref.source[2], image.width);
                        EXPECT_LE(ref.source[3], image.height);
                        EXPECT_LT(ref.source[0], ref.source[2]);
                        EXPECT_LT(ref.source[1], ref.source[3]);
                        // Parts are cut at the control's own size: never scaled.
                        const std::string w = e->Attr("width");
                        if (!w.empty() && ref.dest.empty()) {
                            EXPECT_EQ(std::to_string(ref.source[2] - ref.source[0]), w);
                        }
                    }
                }
            }
        }
    }
    // Every image of the skin is used by some layout.
    std::vector<std::string> files = PngNames();
    files.push_back("installgif.gif");
    for (const std::string& f : files)
        EXPECT_TRUE(used.count(f)) << f << " is not named by any layout";
}

TEST(SkinLayouts, CarryTheHintsNoControlReads) {
    // Hand cursors, comments and the animation's "auto" are part of the skins
    // even though the controls take their cursor and autoplay elsewhere.
    std::map<std::string, int> counts;
    for (const std::string& layout : LayoutNames()) {
        Element root = Load(layout);
        std::vector<const Element*> all;
        Flatten(root, all);
        for (const Element* e : all)
            for (const char* hint : {"cursor", "comment", "auto"})
                counts[hint] += e->Has(hint);
    }
    EXPECT_GE(counts["cursor"], 10);
    EXPECT_GE(counts["comment"], 1);
    EXPECT_EQ(counts["auto"], 1);
}
