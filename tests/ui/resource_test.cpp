// CPaintManagerUI's resource side: skin configuration and lookup over
// folders, zip files and in-memory archives; image loading and the image
// cache; fonts; default attribute lists; option groups; default colours.
#include "plat/sys/files.h"
#include "plat/sys/resource.h"
#include "ui/UIMarkup.h"
#include "ui/UIRender.h"
#include "ui/UIResourceZip.h"

#include "uires_test_util.h"

#include <gtest/gtest.h>

using namespace Veneer;
using namespace uires_test;

namespace {

class SkinConfigTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSkinConfig(); }
    void TearDown() override { ResetSkinConfig(); }
};

// Keeps the current directory and puts it back on scope exit.
class CurrentDirGuard {
public:
    CurrentDirGuard() : m_old(CPaintManagerUI::GetCurrentPath()) {}
    ~CurrentDirGuard() { CPaintManagerUI::SetCurrentPath(m_old); }

private:
    CStdString m_old;
};

std::wstring MarkupError(CMarkup& xml) {
    wchar_t buf[100];
    xml.GetLastErrorMessage(buf, 100);
    return buf;
}

std::vector<uint8_t> StandardZip() {
    return MakeZip({
        {"installBtn.png", SolidPng(4, 3, {255, 0, 0, 255})},
        {"img/sub.png", SolidPng(2, 2, {0, 255, 0, 255})},
        {"layout.xml", Bytes("<Window><Control/></Window>")},
        {"empty.xml", {}},
    });
}

} // namespace

// ---- Configuration ----

TEST_F(SkinConfigTest, ResourcePathEndings) {
    CPaintManagerUI::SetResourcePath(L"/opt/skin");
    EXPECT_STREQ(CPaintManagerUI::GetResourcePath(), L"/opt/skin/");
    CPaintManagerUI::SetResourcePath(L"C:\\skin\\");
    EXPECT_STREQ(CPaintManagerUI::GetResourcePath(), L"C:\\skin\\");
    CPaintManagerUI::SetResourcePath(L"/opt/skin/");
    EXPECT_STREQ(CPaintManagerUI::GetResourcePath(), L"/opt/skin/");
    CPaintManagerUI::SetResourcePath(L"");
    EXPECT_STREQ(CPaintManagerUI::GetResourcePath(), L"");
    CPaintManagerUI::SetResourcePath(nullptr);
    EXPECT_STREQ(CPaintManagerUI::GetResourcePath(), L"");
}

TEST_F(SkinConfigTest, InstanceAndResourceModule) {
    CPaintManagerUI::SetInstance(nullptr);
    EXPECT_STREQ(CPaintManagerUI::GetInstancePath(), L"");
    HINSTANCE self = plat::GetModuleHandle(nullptr);
    CPaintManagerUI::SetInstance(self);
    EXPECT_EQ(CPaintManagerUI::GetInstance(), self);
    CStdString path = CPaintManagerUI::GetInstancePath();
    ASSERT_FALSE(path.IsEmpty());
    // The module file name cut after its last separator ('/' on Linux, '\'
    // on Windows).
    std::wstring exe = plat::GetModuleFileNameString();
    EXPECT_EQ(exe.rfind(path.str(), 0), 0u) << "instance path is the module's folder";
    const wchar_t last = path[path.GetLength() - 1];
    EXPECT_TRUE(last == L'/' || last == L'\\');
    const std::wstring name = exe.substr(static_cast<size_t>(path.GetLength()));
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find_first_of(L"/\\"), std::wstring::npos) << "cut at the last separator";
    // The resource module defaults to the instance.
    CPaintManagerUI::SetResourceDll(nullptr);
    EXPECT_EQ(CPaintManagerUI::GetResourceDll(), self);
}

TEST_F(SkinConfigTest, FirstInMemoryArchiveIsKept) {
    std::vector<uint8_t> first = MakeZip({{"a.xml", Bytes("<First/>")}});
    std::vector<uint8_t> second = MakeZip({{"a.xml", Bytes("<Second/>")}});
    CPaintManagerUI::SetResourceZip(first.data(), static_cast<unsigned>(first.size()));
    HZIP handle = CPaintManagerUI::GetResourceZipHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_STREQ(CPaintManagerUI::GetResourceZip(), L"membuffer");
    EXPECT_TRUE(CPaintManagerUI::IsCachedResourceZip());
    CPaintManagerUI::SetResourceZip(second.data(), static_cast<unsigned>(second.size()));
    EXPECT_EQ(CPaintManagerUI::GetResourceZipHandle(), handle);
    CMarkup xml;
    ASSERT_TRUE(xml.LoadFromFile(L"a.xml"));
    EXPECT_STREQ(xml.GetRoot().GetName(), L"First");
}

// ---- Archive lookup ----

TEST_F(SkinConfigTest, CaseInsensitiveLookupIsCachedUnderTheRequestedName) {
    std::vector<uint8_t> zip = StandardZip();
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    CPaintManagerUI pm;
    const TImageInfo* upper = pm.GetImageEx(L"InstallBtn.PNG");
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(upper->nX, 4);
    EXPECT_EQ(pm.GetImage(L"InstallBtn.PNG"), upper);
    EXPECT_EQ(pm.GetImage(L"installBtn.png"), nullptr);
    const TImageInfo* exact = pm.GetImageEx(L"installBtn.png");
    ASSERT_NE(exact, nullptr);
    EXPECT_NE(exact, upper);
    // Only ASCII letters fold: no other folding.
    EXPECT_EQ(pm.GetImageEx(L"ınstallBtn.png"), nullptr);
}

TEST_F(SkinConfigTest, BackslashFindsForwardSlashEntry) {
    std::vector<uint8_t> zip = StandardZip();
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    CPaintManagerUI pm;
    const TImageInfo* img = pm.GetImageEx(L"img\\sub.png");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->nX, 2);
    EXPECT_NE(pm.GetImageEx(L"IMG/SUB.png"), nullptr);
}

TEST_F(SkinConfigTest, NamesOf256CharactersNeverMatch) {
    std::string n255(251, 'a');
    n255 += ".xml";
    std::string n256 = "b" + n255;
    std::vector<uint8_t> zip = MakeZip({{n255, Bytes("<A/>")}, {n256, Bytes("<B/>")}});
    auto archive = CSkinArchive::OpenMemory(zip.data(), zip.size());
    ASSERT_TRUE(archive);
    EXPECT_GE(archive->FindEntry(W(n255).c_str()), 0);
    EXPECT_EQ(archive->FindEntry(W(n256).c_str()), -1);
}

TEST_F(SkinConfigTest, ImageFallsBackToAFileInTheCurrentFolder) {
    std::vector<uint8_t> zip = StandardZip();
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    TempDir dir;
    dir.write("loose.png", SolidPng(7, 5, {1, 2, 3, 255}));
    CurrentDirGuard guard;
    CPaintManagerUI::SetCurrentPath(W(dir.path()).c_str());
    CPaintManagerUI pm;
    const TImageInfo* img = pm.GetImageEx(L"loose.png");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->nX, 7);
    EXPECT_EQ(img->nY, 5);
    // Markup never falls back to files.
    std::vector<uint8_t> xml = Bytes("<Loose/>");
    dir.write("loose.xml", xml);
    CMarkup markup;
    EXPECT_FALSE(markup.LoadFromFile(L"loose.xml"));
    EXPECT_EQ(MarkupError(markup), L"Could not find ziped file");
}

TEST_F(SkinConfigTest, MissingImageIsNotCachedAndLookedUpAgain) {
    std::vector<uint8_t> zip = StandardZip();
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetImageEx(L"absent.png"), nullptr);
    EXPECT_EQ(pm.GetImage(L"absent.png"), nullptr);
    TempDir dir;
    CurrentDirGuard guard;
    CPaintManagerUI::SetCurrentPath(W(dir.path()).c_str());
    dir.write("absent.png", SolidPng(1, 1, {0, 0, 0, 255}));
    EXPECT_NE(pm.GetImageEx(L"absent.png"), nullptr);
}

TEST_F(SkinConfigTest, MarkupSizeLimitInArchiveAndFolder) {
    auto makeXml = [](size_t size) {
        std::string head = "<W a=\"", tail = "\"/>";
        return Bytes(head + std::string(size - head.size() - tail.size(), 'x') + tail);
    };
    const size_t limit = 4194304;
    std::vector<uint8_t> zip =
        MakeZip({{"exact.xml", makeXml(limit)}, {"over.xml", makeXml(limit + 1)}});
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    CMarkup xml;
    EXPECT_TRUE(xml.LoadFromFile(L"exact.xml"));
    EXPECT_FALSE(xml.LoadFromFile(L"over.xml"));
    EXPECT_EQ(MarkupError(xml), L"File too large");

    ResetSkinConfig();
    TempDir dir;
    dir.write("exact.xml", makeXml(limit));
    dir.write("over.xml", makeXml(limit + 1));
    CPaintManagerUI::SetResourcePath(W(dir.path()).c_str());
    EXPECT_TRUE(xml.LoadFromFile(L"exact.xml"));
    EXPECT_FALSE(xml.LoadFromFile(L"over.xml"));
    EXPECT_EQ(MarkupError(xml), L"File too large");
}

TEST_F(SkinConfigTest, MarkupLoadingFailureTexts) {
    TempDir dir;
    dir.write("empty.xml", {});
    dir.write("ok.xml", Bytes("<W/>"));
    CPaintManagerUI::SetResourcePath(W(dir.path()).c_str());
    CMarkup xml;
    EXPECT_TRUE(xml.LoadFromFile(L"ok.xml"));
    EXPECT_FALSE(xml.LoadFromFile(L"missing.xml"));
    EXPECT_EQ(MarkupError(xml), L"Error opening file");
    EXPECT_FALSE(xml.IsValid());
    EXPECT_FALSE(xml.LoadFromFile(L"empty.xml"));
    EXPECT_EQ(MarkupError(xml), L"File is empty");
    // A folder is not a file.
    std::filesystem::create_directory(dir.file("sub.xml"));
    EXPECT_FALSE(xml.LoadFromFile(L"sub.xml"));
    EXPECT_EQ(MarkupError(xml), L"Error opening file");

    // Zip file opened per lookup.
    std::vector<uint8_t> zip = StandardZip();
    dir.write("skin.zip", zip);
    CPaintManagerUI::SetResourceZip(L"skin.zip", false);
    EXPECT_EQ(CPaintManagerUI::GetResourceZipHandle(), nullptr);
    EXPECT_TRUE(xml.LoadFromFile(L"layout.xml"));
    EXPECT_FALSE(xml.LoadFromFile(L"empty.xml"));
    EXPECT_EQ(MarkupError(xml), L"File is empty");
    EXPECT_FALSE(xml.LoadFromFile(L"nothere.xml"));
    EXPECT_EQ(MarkupError(xml), L"Could not find ziped file");
    // Zip file kept open.
    CPaintManagerUI::SetResourceZip(L"skin.zip", true);
    EXPECT_NE(CPaintManagerUI::GetResourceZipHandle(), nullptr);
    EXPECT_TRUE(xml.LoadFromFile(L"layout.xml"));
    // The same name and flag again keep the open archive.
    HZIP kept = CPaintManagerUI::GetResourceZipHandle();
    CPaintManagerUI::SetResourceZip(L"skin.zip", true);
    EXPECT_EQ(CPaintManagerUI::GetResourceZipHandle(), kept);
    // A zip file that does not exist.
    CPaintManagerUI::SetResourceZip(L"nozip.zip", false);
    EXPECT_FALSE(xml.LoadFromFile(L"layout.xml"));
    EXPECT_EQ(MarkupError(xml), L"Error opening zip file");
    CPaintManagerUI::SetResourceZip(L"nozip.zip", true);
    EXPECT_FALSE(xml.LoadFromFile(L"layout.xml"));
    EXPECT_EQ(MarkupError(xml), L"Error opening zip file");
}

TEST_F(SkinConfigTest, TruncatedAndCorruptArchivesNeverCrash) {
    std::vector<uint8_t> zip = MakeZip({
        {"layout.xml", Bytes(std::string(2000, ' ') + "<Window><Control/></Window>")},
        {"img.png", SolidPng(16, 16, {9, 9, 9, 255})},
    });
    // Every truncation: opening fails or lookups fail, never a crash.
    for (size_t len = 0; len < zip.size(); len += 7) {
        auto archive = CSkinArchive::OpenMemory(zip.data(), len);
        if (!archive)
            continue;
        std::vector<BYTE> data;
        (void)archive->Extract(L"layout.xml", data);
        (void)archive->Extract(L"img.png", data);
    }
    // Flip a byte inside the layout's compressed data (the first entry after
    // sorting is img.png): extraction fails.
    std::vector<uint8_t> corrupt =
        MakeZip({{"layout.xml", Bytes(std::string(2000, ' ') + "<W/>")}});
    corrupt[30 + 10 + 5] ^= 0x55;
    CPaintManagerUI::SetResourceZip(corrupt.data(), static_cast<unsigned>(corrupt.size()));
    CMarkup xml;
    EXPECT_FALSE(xml.LoadFromFile(L"layout.xml"));
    EXPECT_EQ(MarkupError(xml), L"Could not unzip file");
    // A truncated archive in memory: no archive at all.
    ResetSkinConfig();
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size() / 2));
    EXPECT_EQ(CPaintManagerUI::GetResourceZipHandle(), nullptr);
    EXPECT_FALSE(xml.LoadFromFile(L"layout.xml"));
    EXPECT_EQ(MarkupError(xml), L"Error opening zip file");
    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetImageEx(L"img.png"), nullptr);
}

TEST_F(SkinConfigTest, DirectoryClaimingHugeSizeIsRefused) {
    std::vector<uint8_t> zip = MakeZip({{"a.xml", Bytes("<A/>")}});
    // Patch the uncompressed size in the central directory to 3 GB.
    size_t cd = zip.size() - 22;
    uint32_t cdOffset = zip[cd + 16] | zip[cd + 17] << 8 | zip[cd + 18] << 16 |
                        static_cast<uint32_t>(zip[cd + 19]) << 24;
    zip[cdOffset + 24 + 3] = 0xC0;
    auto archive = CSkinArchive::OpenMemory(zip.data(), zip.size());
    ASSERT_TRUE(archive);
    std::vector<BYTE> data;
    EXPECT_EQ(archive->Extract(L"a.xml", data), CSkinArchive::Result::ExtractFailed);
    EXPECT_TRUE(data.empty());
}

TEST_F(SkinConfigTest, EmbeddedArchiveResource) {
    HINSTANCE self = plat::GetModuleHandle(nullptr);
    HRSRC res = plat::FindResource(self, MAKEINTRESOURCE(129), L"ZIPRES");
    ASSERT_NE(res, nullptr);
    DWORD size = plat::SizeofResource(self, res);
    void* bytes = plat::LockResource(plat::LoadResource(self, res));
    ASSERT_NE(bytes, nullptr);
    ASSERT_GT(size, 0u);
    CPaintManagerUI::SetResourceZip(bytes, size);
    CMarkup xml;
    ASSERT_TRUE(xml.LoadFromFile(L"testlayout.xml"));
    CMarkupNode root = xml.GetRoot();
    EXPECT_STREQ(root.GetName(), L"Window");
    EXPECT_STREQ(root.GetChild(L"Font").GetAttributeValue(L"name"), L"微软雅黑");
    EXPECT_STREQ(root.GetChild(L"Default").GetAttributeValue(L"value"), L"normalimage=\"dot.png\"");
    CPaintManagerUI pm;
    const TImageInfo* dot = pm.GetImageEx(L"dot.png");
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(dot->nX, 4);
    EXPECT_EQ(dot->nY, 2);
}

TEST_F(SkinConfigTest, SkinpackOutputIsReproducibleAndFlat) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("skin"));
    std::filesystem::create_directory(dir.file("skin/src"));
    dir.write("skin/b.xml", Bytes("<B/>"));
    dir.write("skin/a.png", SolidPng(3, 3, {1, 1, 1, 255}));
    dir.write("skin/src/art.svg", Bytes("<svg/>"));
    dir.write("skin/CMakeLists.txt", Bytes("# build"));
    std::string err;
    ASSERT_TRUE(skinpack::PackFolder(dir.file("skin"), {"xml", "png"}, dir.file("one.zip"), &err))
        << err;
    ASSERT_TRUE(skinpack::PackFolder(dir.file("skin"), {"xml", "png"}, dir.file("two.zip"), &err));
    std::ifstream one(dir.file("one.zip"), std::ios::binary),
        two(dir.file("two.zip"), std::ios::binary);
    std::string a((std::istreambuf_iterator<char>(one)), {}),
        b((std::istreambuf_iterator<char>(two)), {});
    EXPECT_EQ(a, b);
    auto archive = CSkinArchive::OpenFile(W(dir.file("one.zip")).c_str());
    ASSERT_TRUE(archive);
    ASSERT_EQ(archive->GetEntryCount(), 2);
    EXPECT_EQ(archive->GetEntryName(0), "a.png");
    EXPECT_EQ(archive->GetEntryName(1), "b.xml");
    // Entries use deflate, the UTF-8 name flag and the fixed 1980-01-01 stamp.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a.data());
    EXPECT_EQ(p[6] | p[7] << 8, 0x0800);
    EXPECT_EQ(p[8] | p[9] << 8, 8);
    EXPECT_EQ(p[12] | p[13] << 8, 0x21);
    // Non-ASCII names and duplicates are refused.
    std::vector<uint8_t> out;
    EXPECT_FALSE(skinpack::BuildZip({{"\xE5\xAE\x89.png", {}}}, &out, &err));
    EXPECT_FALSE(skinpack::BuildZip({{"a", {}}, {"a", {1}}}, &out, &err));
}

// ---- Images ----

TEST_F(SkinConfigTest, DecodingPremultipliesAndAppliesTheMask) {
    std::vector<uint8_t> png = MakePng(3, 1, [](int x, int) {
        if (x == 0)
            return Rgba{200, 100, 50, 255};
        if (x == 1)
            return Rgba{200, 100, 50, 128};
        return Rgba{255, 0, 255, 255};
    });
    TImageInfo* opaque = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0);
    ASSERT_NE(opaque, nullptr);
    EXPECT_EQ(ImagePixel(opaque, 0, 0), 0xFFC86432u);
    // 200*128/255 = 100, 100*128/255 = 50, 50*128/255 = 25
    EXPECT_EQ(ImagePixel(opaque, 1, 0), 0x80643219u);
    EXPECT_TRUE(opaque->alphaChannel);
    CRenderEngine::FreeImage(opaque);
    TImageInfo* masked = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0xFFFF00FF);
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(ImagePixel(masked, 2, 0), 0u);
    CRenderEngine::FreeImage(masked);
    std::vector<uint8_t> solid = SolidPng(2, 2, {1, 2, 3, 255});
    TImageInfo* plain = CRenderEngine::LoadImageFromMemory(solid.data(), solid.size(), 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->alphaChannel);
    CRenderEngine::FreeImage(plain);
}

TEST_F(SkinConfigTest, BytesDecodedBeforeGiveABitmapOfTheirOwn) {
    CRenderEngine::ReleaseDecodedImages();
    std::vector<uint8_t> png = SolidPng(4, 3, {10, 20, 30, 255});
    TImageInfo* a = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(CRenderEngine::GetDecodedImageCount(), 1);
    TImageInfo* b = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(CRenderEngine::GetDecodedImageCount(), 1) << "decoded once";
    EXPECT_NE(a->hBitmap, b->hBitmap);
    EXPECT_EQ(b->nX, 4);
    EXPECT_EQ(b->nY, 3);
    EXPECT_FALSE(b->alphaChannel);
    EXPECT_EQ(ImagePixel(b, 3, 2), 0xFF0A141Eu);
    // Drawing into one leaves the other as decoded.
    HDC dc = plat::CreateCompatibleDC(nullptr);
    HGDIOBJ old = plat::SelectObject(dc, a->hBitmap);
    const RECT one{3, 2, 4, 3};
    plat::FillRectAlpha(dc, &one, 0xFFFFFFFF);
    plat::SelectObject(dc, old);
    plat::DeleteDC(dc);
    EXPECT_EQ(ImagePixel(a, 3, 2), 0xFFFFFFFFu);
    EXPECT_EQ(ImagePixel(b, 3, 2), 0xFF0A141Eu);
    TImageInfo* c = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(ImagePixel(c, 3, 2), 0xFF0A141Eu);
    // Other bytes are other images.
    std::vector<uint8_t> other = SolidPng(4, 3, {10, 20, 31, 255});
    TImageInfo* d = CRenderEngine::LoadImageFromMemory(other.data(), other.size(), 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ImagePixel(d, 0, 0), 0xFF0A141Fu);
    EXPECT_EQ(CRenderEngine::GetDecodedImageCount(), 2);
    for (TImageInfo* p : {a, b, c, d})
        CRenderEngine::FreeImage(p);
    CRenderEngine::ReleaseDecodedImages();
    EXPECT_EQ(CRenderEngine::GetDecodedImageCount(), 0);
}

TEST_F(SkinConfigTest, LargeImagesAreDecodedEachTimeNotKept) {
    CRenderEngine::ReleaseDecodedImages();
    // 300 x 300 pixels are 360 KB: a window background, not shared artwork.
    std::vector<uint8_t> png = SolidPng(300, 300, {10, 20, 30, 255});
    TImageInfo* a = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(CRenderEngine::GetDecodedImageCount(), 0);
    TImageInfo* b = CRenderEngine::LoadImageFromMemory(png.data(), png.size(), 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(CRenderEngine::GetDecodedImageCount(), 0);
    EXPECT_EQ(ImagePixel(b, 299, 299), 0xFF0A141Eu);
    CRenderEngine::FreeImage(a);
    CRenderEngine::FreeImage(b);
}

TEST_F(SkinConfigTest, NotAnImageGivesNull) {
    std::vector<uint8_t> zip = MakeZip(
        {{"fake.png", Bytes("this is not a picture")}, {"cut.png", [] {
                                                            auto p = SolidPng(8, 8, {1, 1, 1, 255});
                                                            p.resize(p.size() / 2);
                                                            return p;
                                                        }()}});
    CPaintManagerUI::SetResourceZip(zip.data(), static_cast<unsigned>(zip.size()));
    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetImageEx(L"fake.png"), nullptr);
    EXPECT_EQ(pm.GetImageEx(L"cut.png"), nullptr);
    EXPECT_EQ(pm.GetImageEx(L""), nullptr);
    EXPECT_EQ(CRenderEngine::LoadImageFromMemory(nullptr, 10), nullptr);
}

TEST_F(SkinConfigTest, TypedImagesComeFromTheResourceModule) {
    CPaintManagerUI::SetInstance(plat::GetModuleHandle(nullptr));
    CPaintManagerUI pm;
    EXPECT_EQ(pm.AddImage(L"icon.png", L"PNG", 0), nullptr);
    const TImageInfo* img = pm.AddImage(L"130", L"PNG", 0);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->nX, 4);
    EXPECT_STREQ(img->sResType, L"PNG");
    EXPECT_EQ(pm.GetImage(L"130"), img);
    // A second add keeps the cached record.
    EXPECT_EQ(pm.AddImage(L"130", L"PNG", 0), img);
    EXPECT_EQ(pm.AddImage(L"131", L"PNG", 0), nullptr);
}

TEST_F(SkinConfigTest, CallerBitmapsAndRemoval) {
    CPaintManagerUI pm;
    Canvas c(2, 2);
    plat::HBITMAP bmp = plat::CreateDIB32(5, 6, nullptr);
    EXPECT_EQ(pm.AddImage(L"own", nullptr, 5, 6, false), nullptr);
    EXPECT_EQ(pm.AddImage(L"own", bmp, 0, 6, false), nullptr);
    const TImageInfo* own = pm.AddImage(L"own", bmp, 5, 6, true);
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->alphaChannel);
    plat::HBITMAP other = plat::CreateDIB32(1, 1, nullptr);
    EXPECT_EQ(pm.AddImage(L"own", other, 1, 1, false), own);
    plat::DeleteObject(other);
    EXPECT_TRUE(pm.RemoveImage(L"own"));
    EXPECT_FALSE(pm.RemoveImage(L"own"));
    EXPECT_EQ(pm.GetImage(L"own"), nullptr);
}

TEST_F(SkinConfigTest, ReloadSwapsNewPixelsIn) {
    TempDir dir;
    dir.write("r.png", SolidPng(2, 2, {255, 0, 0, 255}));
    CPaintManagerUI::SetResourcePath(W(dir.path()).c_str());
    CPaintManagerUI pm;
    const TImageInfo* img = pm.GetImageEx(L"r.png");
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(ImagePixel(img, 0, 0), 0xFFFF0000u);
    dir.write("r.png", SolidPng(3, 1, {0, 0, 255, 255}));
    pm.ReloadAllImages();
    EXPECT_EQ(pm.GetImage(L"r.png"), img);
    EXPECT_EQ(img->nX, 3);
    EXPECT_EQ(ImagePixel(img, 2, 0), 0xFF0000FFu);
}

// ---- Fonts ----

TEST(Fonts, IndicesAndDefaultFont) {
    CPaintManagerUI pm;
    HFONT def = pm.GetFont(-1);
    ASSERT_NE(def, nullptr);
    TFontInfo* defInfo = pm.GetDefaultFontInfo();
    // The system's default GUI font, its height as the size.
    LOGFONT gui{};
    ASSERT_NE(plat::GetObject(plat::GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui), 0);
    EXPECT_GT(defInfo->iSize, 0);
    EXPECT_EQ(defInfo->iSize, std::abs(gui.lfHeight));
    EXPECT_FALSE(defInfo->bBold);
    EXPECT_GT(defInfo->tm.tmHeight, 0) << "metrics are fetched even without a window";
    HFONT f0 = pm.AddFont(L"微软雅黑", 12, false, false, false);
    HFONT f1 = pm.AddFont(L"微软雅黑", 20, true, true, false);
    ASSERT_NE(f0, nullptr);
    ASSERT_NE(f1, nullptr);
    EXPECT_EQ(pm.GetCustomFontCount(), 2);
    EXPECT_EQ(pm.GetFont(0), f0);
    EXPECT_EQ(pm.GetFont(1), f1);
    EXPECT_EQ(pm.GetFont(-1), def);
    EXPECT_EQ(pm.GetFont(99), def);
    EXPECT_EQ(pm.GetFont(2), def);
    EXPECT_EQ(pm.GetFontInfo(99), defInfo);
    TFontInfo* info1 = pm.GetFontInfo(1);
    EXPECT_EQ(info1->iSize, 20);
    EXPECT_TRUE(info1->bBold);
    EXPECT_TRUE(info1->bUnderline);
    EXPECT_GT(info1->tm.tmHeight, pm.GetFontInfo(0)->tm.tmHeight);
    EXPECT_EQ(pm.GetFontIndex(f1), 1);
    EXPECT_EQ(pm.GetFontIndex(L"微软雅黑", 20, true, true, false), 1);
    EXPECT_EQ(pm.GetFontIndex(L"微软雅黑", 20, true, false, false), -1);
    EXPECT_EQ(pm.GetFont(L"微软雅黑", 12, false, false, false), f0);
    EXPECT_TRUE(pm.FindFont(f0));
    // Removing shifts the later indices down.
    EXPECT_TRUE(pm.RemoveFontAt(0));
    EXPECT_EQ(pm.GetFont(0), f1);
    EXPECT_FALSE(pm.RemoveFontAt(5));
    HFONT mid = pm.AddFontAt(0, L"Sans", 9, false, false, true);
    EXPECT_EQ(pm.GetFont(0), mid);
    EXPECT_TRUE(pm.GetFontInfo(0)->bItalic);
    pm.RemoveAllFonts();
    EXPECT_EQ(pm.GetCustomFontCount(), 0);
}

TEST(Fonts, SetDefaultFontReplacesIt) {
    CPaintManagerUI pm;
    pm.SetDefaultFont(L"Sans", 16, true, false, false);
    TFontInfo* info = pm.GetDefaultFontInfo();
    EXPECT_EQ(info->iSize, 16);
    EXPECT_TRUE(info->bBold);
    EXPECT_STREQ(info->sFontName, L"Sans");
    EXPECT_EQ(pm.GetFont(-1), info->hFont);
    // Face names are cut at 31 characters.
    pm.SetDefaultFont(std::wstring(40, L'F').c_str(), 12, false, false, false);
    EXPECT_EQ(pm.GetDefaultFontInfo()->sFontName.GetLength(), 31);
}

// ---- Default lists, option groups, colours, parent resources ----

TEST(ResourceTables, FirstDefaultAttributeListWins) {
    CPaintManagerUI pm;
    pm.AddDefaultAttributeList(L"Button", L"normalimage=\"a.png\"");
    pm.AddDefaultAttributeList(L"Button", L"normalimage=\"b.png\"");
    EXPECT_STREQ(pm.GetDefaultAttributeList(L"Button"), L"normalimage=\"a.png\"");
    EXPECT_EQ(pm.GetDefaultAttributeList(L"button"), nullptr);
    EXPECT_EQ(pm.GetDefaultAttribultes().GetSize(), 1);
    EXPECT_TRUE(pm.RemoveDefaultAttributeList(L"Button"));
    EXPECT_EQ(pm.GetDefaultAttributeList(L"Button"), nullptr);
    pm.AddDefaultAttributeList(L"Label", nullptr);
    EXPECT_STREQ(pm.GetDefaultAttributeList(L"Label"), L"");
    pm.RemoveAllDefaultAttributeList();
    EXPECT_EQ(pm.GetDefaultAttribultes().GetSize(), 0);
}

TEST(ResourceTables, OptionGroups) {
    CPaintManagerUI pm;
    auto* a = reinterpret_cast<CControlUI*>(0x10);
    auto* b = reinterpret_cast<CControlUI*>(0x20);
    EXPECT_EQ(pm.GetOptionGroup(L"g"), nullptr);
    EXPECT_TRUE(pm.AddOptionGroup(L"g", a));
    EXPECT_FALSE(pm.AddOptionGroup(L"g", a));
    EXPECT_TRUE(pm.AddOptionGroup(L"g", b));
    ASSERT_NE(pm.GetOptionGroup(L"g"), nullptr);
    EXPECT_EQ(pm.GetOptionGroup(L"g")->GetSize(), 2);
    pm.RemoveOptionGroup(L"g", a);
    EXPECT_EQ(pm.GetOptionGroup(L"g")->GetSize(), 1);
    pm.RemoveOptionGroup(L"g", b);
    EXPECT_EQ(pm.GetOptionGroup(L"g"), nullptr);
    pm.AddOptionGroup(L"x", a);
    pm.RemoveAllOptionGroups();
    EXPECT_EQ(pm.GetOptionGroup(L"x"), nullptr);
}

TEST(ResourceTables, DefaultColours) {
    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetDefaultDisabledColor(), 0xFFA7A6AAu);
    EXPECT_EQ(pm.GetDefaultFontColor(), 0xFF000001u);
    EXPECT_EQ(pm.GetDefaultLinkFontColor(), 0xFF0000FFu);
    EXPECT_EQ(pm.GetDefaultLinkHoverFontColor(), 0xFFD3215Fu);
    EXPECT_EQ(pm.GetDefaultSelectedBkColor(), 0xFFBAE4FFu);
    pm.SetDefaultFontColor(0xFF123456);
    EXPECT_EQ(pm.GetDefaultFontColor(), 0xFF123456u);
}

TEST(ResourceTables, ParentResourceChain) {
    CPaintManagerUI parent, child;
    parent.AddDefaultAttributeList(L"Button", L"p");
    HFONT pf = parent.AddFont(L"Sans", 10, false, false, false);
    parent.SetDefaultFont(L"Sans", 14, false, false, false);
    plat::HBITMAP bmp = plat::CreateDIB32(1, 1, nullptr);
    parent.AddImage(L"shared", bmp, 1, 1, false);
    EXPECT_TRUE(child.UseParentResource(&parent));
    EXPECT_EQ(child.GetParentResource(), &parent);
    EXPECT_STREQ(child.GetDefaultAttributeList(L"Button"), L"p");
    EXPECT_NE(child.GetImage(L"shared"), nullptr);
    EXPECT_EQ(child.GetFont(L"Sans", 10, false, false, false), pf);
    EXPECT_EQ(child.GetFontIndex(pf), -1) << "index lookups stay in the manager";
    EXPECT_EQ(child.GetDefaultFontInfo()->iSize, 14);
    EXPECT_FALSE(parent.UseParentResource(&child)) << "cycles are refused";
    EXPECT_FALSE(child.UseParentResource(&child));
    EXPECT_TRUE(child.UseParentResource(nullptr));
    EXPECT_EQ(child.GetImage(L"shared"), nullptr);
}
