// Skin archives and other zip tools: archives written by Info-ZIP's zip and
// by Python's zipfile are read as the packer's own are, and the packer's
// archives pass Info-ZIP's unzip test. The tools are the build machine's,
// so these tests run on Linux only.
#include "ui/UIMarkup.h"

#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace Veneer;
using namespace uires_test;

namespace {

class ZipInterop : public ::testing::Test {
protected:
    void SetUp() override { ResetSkinConfig(); }
    void TearDown() override { ResetSkinConfig(); }
};

} // namespace

TEST_F(ZipInterop, ArchivesWrittenByInfoZipAndPython) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("src"));
    std::filesystem::create_directory(dir.file("src/img"));
    TempDir unused;
    (void)unused;
    {
        std::ofstream(dir.file("src/layout.xml"))
            << "<Window caption=\"0,0,0,30\"><Control/></Window>";
        std::vector<uint8_t> png = SolidPng(6, 4, {10, 20, 30, 255});
        std::ofstream out(dir.file("src/img/Btn.png"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()),
                  static_cast<std::streamsize>(png.size()));
    }
    ASSERT_EQ(
        RunCommand("cd '" + dir.file("src") + "' && zip -q -r -9 ../infozip.zip layout.xml img"), 0)
        << "Info-ZIP zip is needed (scripts/deps installs it)";
    std::string py = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    ASSERT_EQ(
        RunCommand(
            py +
            " -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED);"
            "z.write(sys.argv[2]+'/layout.xml','layout.xml');"
            "z.write(sys.argv[2]+'/img/Btn.png','img/Btn.png'); z.close()\" '" +
            dir.file("python.zip") + "' '" + dir.file("src") + "'"),
        0);
    for (const char* name : {"infozip.zip", "python.zip"}) {
        ResetSkinConfig();
        CPaintManagerUI::SetResourcePath(W(dir.path()).c_str());
        CPaintManagerUI::SetResourceZip(W(name).c_str(), true);
        ASSERT_NE(CPaintManagerUI::GetResourceZipHandle(), nullptr) << name;
        CMarkup xml;
        ASSERT_TRUE(xml.LoadFromFile(L"LAYOUT.xml")) << name;
        EXPECT_STREQ(xml.GetRoot().GetAttributeValue(L"caption"), L"0,0,0,30");
        CPaintManagerUI pm;
        const TImageInfo* img = pm.GetImageEx(L"img\\btn.png");
        ASSERT_NE(img, nullptr) << name;
        EXPECT_EQ(img->nX, 6);
        EXPECT_EQ(ImagePixel(img, 0, 0), 0xFF0A141Eu);
    }
}

TEST_F(ZipInterop, InfoZipAcceptsTheSkinPackersArchive) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("skin"));
    dir.write("skin/b.xml", Bytes("<B/>"));
    dir.write("skin/a.png", SolidPng(3, 3, {1, 1, 1, 255}));
    std::string err;
    ASSERT_TRUE(skinpack::PackFolder(dir.file("skin"), {"xml", "png"}, dir.file("one.zip"), &err))
        << err;
    EXPECT_EQ(RunCommand("unzip -tq '" + dir.file("one.zip") + "' >/dev/null"), 0);
}
