// Runs the skinview executable as a skin author would: on the installer's
// layouts (folder and packed archive), with control states, and on a fixture
// layout that uses every element and attribute the installer's skins use.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

const std::string kSkin = std::string(TARVEX_SOURCE_DIR) + "/skin";
const std::string kFixture = std::string(TARVEX_SOURCE_DIR) + "/tests/fixtures/ui/skinview";

struct Result {
    int status = -1;
    std::string out;
};

// Runs skinview with the arguments (stderr joined to stdout).
Result Skinview(const std::string& args) {
    Result r;
    std::string cmd = std::string("timeout 60 '") + SKINVIEW_EXE + "' " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int rc = pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

struct Node {
    std::string cls;
    std::string rect;
    bool visible = false;
};

// name -> node, from the tree printout (unnamed controls are skipped; the
// last of equal names wins).
std::map<std::string, Node> Tree(const std::string& text) {
    std::map<std::string, Node> nodes;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t q1 = line.find('"');
        size_t q2 = line.find('"', q1 + 1);
        if (q1 == std::string::npos || q2 == std::string::npos)
            continue;
        std::string cls = line.substr(0, q1);
        cls.erase(0, cls.find_first_not_of(' '));
        cls.erase(cls.find_last_not_of(' ') + 1);
        std::string name = line.substr(q1 + 1, q2 - q1 - 1);
        std::istringstream rest(line.substr(q2 + 1));
        Node node;
        std::string vis;
        rest >> node.rect >> vis;
        node.cls = cls;
        node.visible = vis == "visible";
        if (!name.empty())
            nodes[name] = node;
    }
    return nodes;
}

class Png {
public:
    explicit Png(const std::string& path) { data = stbi_load(path.c_str(), &w, &h, &n, 4); }
    ~Png() {
        if (data)
            stbi_image_free(data);
    }
    // 0xRRGGBB of a pixel.
    uint32_t Rgb(int x, int y) const {
        const unsigned char* p = data + (size_t(y) * w + x) * 4;
        return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    bool SameAs(const Png& o) const {
        return w == o.w && h == o.h && std::equal(data, data + size_t(w) * h * 4, o.data);
    }
    unsigned char* data = nullptr;
    int w = 0, h = 0, n = 0;
};

class SkinviewTest : public ::testing::Test {
protected:
    std::string Out(const std::string& name) {
        std::filesystem::create_directories(dir);
        return dir + "/" + name;
    }
    std::string dir = std::string(TARVEX_BINARY_DIR) + "/tests/tools/skinview/out";
};

} // namespace

TEST_F(SkinviewTest, InstallerLayoutsBuildWithTheirFigures) {
    Result start = Skinview("--skin '" + kSkin + "' --tree --out '" + Out("start.png") +
                            "' installerstart.xml");
    ASSERT_EQ(start.status, 0) << start.out;
    auto t = Tree(start.out);
    EXPECT_EQ(t["closebtn"].rect, "541,10,550,19");
    EXPECT_EQ(t["installbtn"].rect, "160,282,400,320");
    EXPECT_TRUE(t["licensechk"].visible);
    EXPECT_FALSE(t["moreopt"].visible);
    EXPECT_EQ(t["installpathedit"].cls, "RichEditUI");
    Png png(Out("start.png"));
    ASSERT_NE(png.data, nullptr);
    EXPECT_EQ(png.w, 560);
    EXPECT_EQ(png.h, 408);

    Result install = Skinview("--skin '" + kSkin + "' --tree installerinstall.xml");
    ASSERT_EQ(install.status, 0) << install.out;
    auto ti = Tree(install.out);
    EXPECT_EQ(ti["down_progress"].rect, "30,329,530,334");
    EXPECT_EQ(ti["down_label"].rect, "26,309,86,334");
    EXPECT_FALSE(ti["installgif"].visible);

    Result finish = Skinview("--skin '" + kSkin + "' --tree installerfinish.xml");
    ASSERT_EQ(finish.status, 0) << finish.out;
    EXPECT_EQ(Tree(finish.out)["startbtn"].rect, "182,299,372,347");

    Result dlg = Skinview("--skin '" + kSkin + "' --tree commondlg.xml");
    ASSERT_EQ(dlg.status, 0) << dlg.out;
    auto td = Tree(dlg.out);
    EXPECT_TRUE(td["MsgDlg"].visible);
    EXPECT_FALSE(td["MsgYNDlg"].visible);
}

TEST_F(SkinviewTest, PackedArchiveLooksLikeTheFolder) {
    ASSERT_TRUE(std::filesystem::exists(SKIN_ZIP));
    for (const char* layout :
         {"installerstart.xml", "installerinstall.xml", "installerfinish.xml", "commondlg.xml"}) {
        std::string a = Out(std::string("folder_") + layout + ".png");
        std::string b = Out(std::string("zip_") + layout + ".png");
        ASSERT_EQ(Skinview("--skin '" + kSkin + "' --out '" + a + "' " + layout).status, 0);
        Result z = Skinview(std::string("--zip '") + SKIN_ZIP + "' --out '" + b + "' " + layout);
        ASSERT_EQ(z.status, 0) << z.out;
        EXPECT_TRUE(Png(a).SameAs(Png(b))) << layout;
    }
}

TEST_F(SkinviewTest, StatesChangeWhatIsPainted) {
    const std::string base = "--skin '" + kSkin + "' ";
    ASSERT_EQ(Skinview(base + "--out '" + Out("n.png") + "' installerstart.xml").status, 0);
    ASSERT_EQ(
        Skinview(base + "--hot installbtn --out '" + Out("h.png") + "' installerstart.xml").status,
        0);
    ASSERT_EQ(Skinview(base + "--pushed installbtn --out '" + Out("p.png") + "' installerstart.xml")
                  .status,
              0);
    ASSERT_EQ(
        Skinview(base + "--disabled installbtn --out '" + Out("d.png") + "' installerstart.xml")
            .status,
        0);
    Png n(Out("n.png")), h(Out("h.png")), p(Out("p.png")), d(Out("d.png"));
    // A point on the button's face away from its text.
    const int x = 165, y = 300;
    EXPECT_NE(n.Rgb(x, y), h.Rgb(x, y));
    EXPECT_NE(h.Rgb(x, y), p.Rgb(x, y));
    EXPECT_NE(n.Rgb(x, y), d.Rgb(x, y));
    EXPECT_EQ(n.Rgb(5, 5), p.Rgb(5, 5)); // the rest stays

    // Ticking the licence box changes its 13 x 13 box only.
    ASSERT_EQ(
        Skinview(base + "--selected licensechk --out '" + Out("s.png") + "' installerstart.xml")
            .status,
        0);
    Png s(Out("s.png"));
    bool boxChanged = false;
    for (int yy = 386; yy < 399; ++yy)
        for (int xx = 12; xx < 25; ++xx)
            boxChanged |= s.Rgb(xx, yy) != n.Rgb(xx, yy);
    EXPECT_TRUE(boxChanged);

    // The expanded start window: 490 high with the more-options block.
    Result more = Skinview(base +
                           "--size 560x490 --show moreopt --text installpathedit=/opt/x "
                           "--selected showmorechk --tree --out '" +
                           Out("more.png") + "' installerstart.xml");
    ASSERT_EQ(more.status, 0) << more.out;
    auto t = Tree(more.out);
    EXPECT_TRUE(t["moreopt"].visible);
    EXPECT_EQ(t["moreopt"].rect, "22,408,538,508");
    EXPECT_TRUE(t["installpathedit"].visible);

    // Progress at 37 %: 185 of 500 pixels filled.
    Result prog = Skinview(base + "--value down_progress=37 --text down_text=37% --out '" +
                           Out("i37.png") + "' installerinstall.xml");
    ASSERT_EQ(prog.status, 0) << prog.out;
    Result prog0 = Skinview(base + "--out '" + Out("i0.png") + "' installerinstall.xml");
    ASSERT_EQ(prog0.status, 0);
    Png i37(Out("i37.png")), i0(Out("i0.png"));
    EXPECT_NE(i37.Rgb(30 + 184, 331), i0.Rgb(30 + 184, 331));
    EXPECT_EQ(i37.Rgb(30 + 186, 331), i0.Rgb(30 + 186, 331));
    // Installing: the animation in place of the bar.
    Result gif =
        Skinview(base + "--hide down_progress --show installgif --hide down_label "
                        "--hide down_text --show install_text --tree installerinstall.xml");
    ASSERT_EQ(gif.status, 0) << gif.out;
    EXPECT_EQ(Tree(gif.out)["installgif"].rect, "30,329,530,334");
}

TEST_F(SkinviewTest, FixtureLayoutUsesEveryElement) {
    Result r = Skinview("--tree --value bar1=50 --selected box --out '" + Out("fixture.png") +
                        "' '" + kFixture + "/layout.xml'");
    ASSERT_EQ(r.status, 0) << r.out;
    auto t = Tree(r.out);
    for (const char* name : {"bar", "title", "close", "pages", "page1", "page2", "body", "check",
                             "box", "path", "included", "bar1", "anim"})
        EXPECT_EQ(t.count(name), 1u) << name;
    EXPECT_EQ(t["bar1"].rect, "10,170,290,176");
    EXPECT_FALSE(t["page2"].visible);
    EXPECT_EQ(t["close"].rect, "281,10,290,19");
    Png png(Out("fixture.png"));
    ASSERT_NE(png.data, nullptr);
    EXPECT_EQ(png.Rgb(5, 5), 0xC62F2Fu);
    EXPECT_EQ(png.Rgb(11, 172), 0xC62F2Fu);  // filled half of the bar
    EXPECT_EQ(png.Rgb(280, 172), 0xDDDDDDu); // empty half
    EXPECT_EQ(png.Rgb(100, 100), 0x00FF00u); // the ticked check box
}

TEST_F(SkinviewTest, BadArgumentsAndMissingFiles) {
    EXPECT_EQ(Skinview("").status, 2);
    EXPECT_EQ(Skinview("--bogus x.xml").status, 2);
    EXPECT_EQ(Skinview("--size 10 x.xml").status, 2);
    EXPECT_EQ(Skinview("--size -5x7 x.xml").status, 2);
    EXPECT_EQ(Skinview("--skin a --zip b x.xml").status, 2);
    EXPECT_EQ(Skinview("--text nothing x.xml").status, 2);
    Result missing = Skinview("--skin '" + kSkin + "' nothere.xml");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("cannot build"), std::string::npos);
    EXPECT_EQ(Skinview("--skin '" + kSkin + "' --hot nosuchcontrol installerstart.xml").status, 2);
    EXPECT_EQ(Skinview("--skin '" + kSkin + "' --value installbtn=3 installerstart.xml").status, 2);
    EXPECT_EQ(
        Skinview("--skin '" + kSkin + "' --out /nonexistent/dir/x.png installerstart.xml").status,
        1);
    EXPECT_EQ(Skinview("--help").status, 0);
}

TEST_F(SkinviewTest, SelectShowsATabLayoutsPage) {
    Result yn = Skinview("--skin '" + kSkin + "' --select commondlgTabModule=1 --tree --out '" +
                         Out("dialog_yesno.png") + "' commondlg.xml");
    ASSERT_EQ(yn.status, 0) << yn.out;
    auto t = Tree(yn.out);
    EXPECT_FALSE(t["MsgDlg"].visible);
    EXPECT_TRUE(t["MsgYNDlg"].visible);
    EXPECT_TRUE(t["msgyncancelbtn"].visible);

    Result past = Skinview("--skin '" + kSkin + "' --select commondlgTabModule=2 commondlg.xml");
    EXPECT_EQ(past.status, 2);
    EXPECT_NE(past.out.find("has no page 2"), std::string::npos) << past.out;
    Result notTab = Skinview("--skin '" + kSkin + "' --select msgtext=0 commondlg.xml");
    EXPECT_EQ(notTab.status, 2);
    EXPECT_NE(notTab.out.find("is not a tab layout"), std::string::npos) << notTab.out;
    EXPECT_EQ(Skinview("--skin '" + kSkin + "' --select commondlgTabModule=x commondlg.xml").status,
              2);
}

// The Windows build compares skinview.exe's pictures under Wine with these
// fixtures (tests/windows_pictures): Linux must still draw exactly them, and
// print the same control trees, texts included.
TEST_F(SkinviewTest, InstallerLayoutsDrawExactlyThePictureFixtures) {
    const std::string fixtures = std::string(TARVEX_SOURCE_DIR) + "/tests/fixtures/skin_pictures";
    for (const char* layout :
         {"installerstart", "installerinstall", "installerfinish", "commondlg"}) {
        SCOPED_TRACE(layout);
        const std::string png = Out(std::string("fixture_") + layout + ".png");
        Result r = Skinview("--skin '" + kSkin + "' --tree --out '" + png + "' " + layout + ".xml");
        ASSERT_EQ(r.status, 0) << r.out;
        std::ifstream tree(fixtures + "/" + layout + ".tree");
        std::stringstream expected;
        expected << tree.rdbuf();
        EXPECT_EQ(r.out, expected.str());
        Png drawn(png), fixture(fixtures + "/" + layout + ".png");
        ASSERT_NE(drawn.data, nullptr);
        ASSERT_NE(fixture.data, nullptr);
        EXPECT_TRUE(drawn.SameAs(fixture))
            << "skinview no longer draws " << layout
            << ".xml as the fixture; if that is meant, make the fixtures anew (see "
               "docs/windows/pictures.md) and run the Windows build's SkinPictures tests";
    }
}

// The comparison the Windows build's pictures are judged by: a picture
// agrees with itself and with a one-pixel move of its text, and not with
// the same window without its texts, with a text one character shorter or
// with its text moved by two pixels; boxes left out or judged by their ink
// alone.
TEST_F(SkinviewTest, PictureComparisonCatchesTextFaults) {
    const std::string fixtures = std::string(TARVEX_SOURCE_DIR) + "/tests/fixtures/skin_pictures";
    const std::string compare = std::string("python3 '") + TARVEX_SOURCE_DIR +
                                "/tests/windows_pictures/compare_pictures.py' '" + fixtures +
                                "/installerstart.png' ";
    const std::string tree = " '" + fixtures + "/installerstart.tree' >/dev/null";
    auto agrees = [&](const std::string& picture) {
        int rc = std::system((compare + "'" + picture + "'" + tree).c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    const std::string base = "--skin '" + kSkin + "' ";
    EXPECT_EQ(agrees(fixtures + "/installerstart.png"), 0);

    ASSERT_EQ(Skinview(base + "--text licensechk= --text licensebtn= --out '" +
                       Out("no_texts.png") + "' installerstart.xml")
                  .status,
              0);
    EXPECT_EQ(agrees(Out("no_texts.png")), 1);
    ASSERT_EQ(Skinview(base + "--text licensebtn=用户许可协 --out '" + Out("shorter.png") +
                       "' installerstart.xml")
                  .status,
              0);
    EXPECT_EQ(agrees(Out("shorter.png")), 1);
    // A box left out is not judged; a box judged by its ink alone still
    // needs its text.
    EXPECT_EQ(agrees(Out("shorter.png") + "' --ignore 'licensebtn"), 0);
    EXPECT_EQ(agrees(Out("no_texts.png") + "' --ink-only 'licensebtn' --ink-only '已经阅读并同意"),
              1);

    // The label's text moved right inside its box (its text padding grows
    // by one and by two pixels), in a copy of the skin.
    for (int move : {1, 2}) {
        SCOPED_TRACE(move);
        const std::string skin = Out("moved" + std::to_string(move));
        std::filesystem::create_directories(skin);
        for (const auto& entry : std::filesystem::directory_iterator(kSkin)) {
            if (entry.path().extension() == ".png")
                std::filesystem::copy_file(entry.path(),
                                           skin + "/" + entry.path().filename().string(),
                                           std::filesystem::copy_options::overwrite_existing);
        }
        std::ifstream in(kSkin + "/installerstart.xml");
        std::stringstream text;
        text << in.rdbuf();
        std::string xml = text.str();
        const std::string padding = "textpadding=\"15,0,0,0\"";
        size_t at = xml.find(padding);
        ASSERT_NE(at, std::string::npos);
        xml.replace(at, padding.size(), "textpadding=\"" + std::to_string(15 + move) + ",0,0,0\"");
        std::ofstream(skin + "/installerstart.xml") << xml;
        const std::string moved = skin + "/moved.png";
        ASSERT_EQ(Skinview("--skin '" + skin + "' --out '" + moved + "' installerstart.xml").status,
                  0);
        EXPECT_EQ(agrees(moved), move == 1 ? 0 : 1);
    }
}

TEST_F(SkinviewTest, TreePrintsEachControlsTextEscaped) {
    Result r =
        Skinview("--skin '" + kSkin + "' --text 'licensebtn=a\"b\\c' --tree installerstart.xml");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("ButtonUI \"licensebtn\" 112,386,207,409 visible \"a\\\"b\\\\c\"\n"),
              std::string::npos)
        << r.out;
    // A control without text ends its line after its visibility.
    EXPECT_NE(r.out.find("ButtonUI \"installbtn\" 160,282,400,320 visible\n"), std::string::npos)
        << r.out;
}
