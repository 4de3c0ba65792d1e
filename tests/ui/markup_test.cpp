// CMarkup / CMarkupNode: the layout dialect, its error texts, encodings and
// loading through the skin lookup.
#include "ui/UIMarkup.h"

#include "uires_test_util.h"

#include <gtest/gtest.h>

#include <random>

using namespace Veneer;
using namespace uires_test;

namespace {

std::wstring ErrorOf(CMarkup& xml) {
    wchar_t buf[100];
    xml.GetLastErrorMessage(buf, 100);
    return buf;
}

} // namespace

TEST(Markup, RootWithAttributeAndEmptyChild) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<Window size=\"560,408\"><Control /></Window>"));
    CMarkupNode root = xml.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_STREQ(root.GetName(), L"Window");
    EXPECT_EQ(root.GetAttributeCount(), 1);
    EXPECT_STREQ(root.GetAttributeName(0), L"size");
    EXPECT_STREQ(root.GetAttributeValue(L"size"), L"560,408");
    CMarkupNode child = root.GetChild();
    ASSERT_TRUE(child.IsValid());
    EXPECT_STREQ(child.GetName(), L"Control");
    EXPECT_FALSE(child.HasSiblings());
    EXPECT_FALSE(child.HasChildren());
    EXPECT_FALSE(child.GetSibling().IsValid());
    EXPECT_STREQ(child.GetParent().GetName(), L"Window");
    EXPECT_FALSE(root.GetParent().IsValid());
}

TEST(Markup, UnclosedRootAndChildStillLoad) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<Window size=\"1,2\"><Control />"));
    EXPECT_STREQ(xml.GetRoot().GetChild().GetName(), L"Control");
    // A direct child of the root left open with text at the end.
    ASSERT_TRUE(xml.Load(L"<Window><Label>tail text"));
    EXPECT_STREQ(xml.GetRoot().GetChild().GetValue(), L"tail text");
    EXPECT_STREQ(xml.GetRoot().GetChild().GetName(), L"Label");
    // The root alone, unclosed.
    ASSERT_TRUE(xml.Load(L"<Window>"));
    EXPECT_STREQ(xml.GetRoot().GetName(), L"Window");
    // Deeper elements must be closed.
    EXPECT_FALSE(xml.Load(L"<Window><A><B>text"));
    EXPECT_EQ(ErrorOf(xml), L"Expected end-tag start");
}

TEST(Markup, Entities) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<A v=\"a&amp;b &lt;c&gt; &quot;q&quot; &apos;s&apos;\" "
                         L"w=\"x&nbsp;y &\" z=\"&amp;&amp;\">t&lt;1&gt;</A>"));
    CMarkupNode root = xml.GetRoot();
    EXPECT_STREQ(root.GetAttributeValue(L"v"), L"a&b <c> \"q\" 's'");
    EXPECT_STREQ(root.GetAttributeValue(L"w"), L"x&nbsp;y &");
    EXPECT_STREQ(root.GetAttributeValue(L"z"), L"&&");
    EXPECT_STREQ(root.GetValue(), L"t<1>");
    // Attribute mapping still sees every attribute after shortened values.
    EXPECT_EQ(root.GetAttributeCount(), 3);
    EXPECT_STREQ(root.GetAttributeName(2), L"z");
}

TEST(Markup, EntityShortenedTextOfUnclosedRoot) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<A>x&amp;y"));
    EXPECT_STREQ(xml.GetRoot().GetValue(), L"x&y");
    ASSERT_TRUE(xml.Load(L"<A>x&amp;y<B/></A>"));
    EXPECT_STREQ(xml.GetRoot().GetValue(), L"x&y");
}

TEST(Markup, ParseErrorsCarryTheirTexts) {
    struct Case {
        const wchar_t* text;
        const wchar_t* message;
    } cases[] = {
        {L"hello", L"Expected start tag"},
        {L"<Window", L"Error parsing element name"},
        {L"<Window a>", L"Error while parsing attributes"},
        {L"<Window a='1'/>", L"Expected attribute value"},
        {L"<Window a=\"1", L"Error while parsing attribute string"},
        {L"<Window a=\"1\" /x>", L"Expected start-tag closing"},
        {L"<Window a=\"1\" ?>", L"Error while parsing attributes"},
        {L"<W><A><B>x</B>y</A></W>", L"Expected start tag"},
        {L"<W><A></B></W>", L"Unmatched closing tag"},
        {L"<W><A></AB></W>", L"Unmatched closing tag"},
    };
    for (const Case& c : cases) {
        CMarkup xml;
        EXPECT_FALSE(xml.Load(c.text)) << c.text;
        EXPECT_FALSE(xml.IsValid()) << c.text;
        EXPECT_EQ(ErrorOf(xml), c.message) << c.text;
        EXPECT_FALSE(xml.GetRoot().IsValid());
    }
}

TEST(Markup, ErrorLocationIsTheTextWhereParsingStopped) {
    CMarkup xml;
    EXPECT_FALSE(xml.Load(L"<W a='single'/>"));
    wchar_t loc[50];
    xml.GetLastErrorLocation(loc, 50);
    EXPECT_EQ(std::wstring(loc), L"'single'/>");
    // At most 49 characters are kept; the copy is limited by the buffer.
    std::wstring longTail(200, L'x');
    EXPECT_FALSE(xml.Load((L"<W><A><B>" + longTail).c_str()));
    xml.GetLastErrorLocation(loc, 50);
    EXPECT_EQ(wcslen(loc), 0u); // error at the end of the text
    EXPECT_FALSE(xml.Load((L"junk" + longTail).c_str()));
    xml.GetLastErrorLocation(loc, 50);
    EXPECT_EQ(wcslen(loc), 49u);
    wchar_t small[5];
    xml.GetLastErrorMessage(small, 5);
    EXPECT_STREQ(small, L"Expe");
}

TEST(Markup, SingleQuotedAttributeFails) {
    CMarkup xml;
    EXPECT_FALSE(xml.Load(L"<Window caption='0,0,0,30'></Window>"));
    EXPECT_EQ(ErrorOf(xml), L"Expected attribute value");
}

TEST(Markup, EmptyElementWithAndWithoutSpace) {
    CMarkup a, b;
    ASSERT_TRUE(a.Load(L"<W><Control/><Next/></W>"));
    ASSERT_TRUE(b.Load(L"<W><Control /><Next /></W>"));
    for (CMarkup* x : {&a, &b}) {
        CMarkupNode c = x->GetRoot().GetChild();
        EXPECT_STREQ(c.GetName(), L"Control");
        EXPECT_STREQ(c.GetValue(), L"");
        EXPECT_FALSE(c.HasChildren());
        EXPECT_STREQ(c.GetSibling().GetName(), L"Next");
    }
    // With attributes and no space before "/>".
    CMarkup c;
    ASSERT_TRUE(c.Load(L"<W><Control a=\"1\"/></W>"));
    EXPECT_STREQ(c.GetRoot().GetChild().GetAttributeValue(L"a"), L"1");
}

TEST(Markup, TextBeforeFirstChildIsTheParentsText) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<W>hello <A/> </W>"));
    EXPECT_STREQ(xml.GetRoot().GetValue(), L"hello ");
}

TEST(Markup, EndTagWithWhitespaceLoads) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<W><A></ A ></W >"));
    EXPECT_STREQ(xml.GetRoot().GetChild().GetName(), L"A");
}

TEST(Markup, CommentsAndDeclarationAreSkipped) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- head -->"
                         L"<W><!-- between --><A/>< !-- spaced --><B/></W><!-- tail -->"));
    CMarkupNode a = xml.GetRoot().GetChild();
    EXPECT_STREQ(a.GetName(), L"A");
    EXPECT_STREQ(a.GetSibling().GetName(), L"B");
    EXPECT_FALSE(a.GetSibling().GetSibling().IsValid());
    // An unclosed comment swallows the rest of the text.
    ASSERT_TRUE(xml.Load(L"<W><A/><!-- open <B/></W>"));
    EXPECT_FALSE(xml.GetRoot().GetChild().HasSiblings());
}

TEST(Markup, SeventyAttributesShowSixtyFour) {
    std::wstring text = L"<W";
    for (int i = 0; i < 70; ++i)
        text += L" a" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
    text += L"/>";
    CMarkup xml;
    ASSERT_TRUE(xml.Load(text.c_str()));
    CMarkupNode root = xml.GetRoot();
    EXPECT_EQ(root.GetAttributeCount(), 64);
    EXPECT_STREQ(root.GetAttributeValue(63), L"63");
    EXPECT_STREQ(root.GetAttributeValue(64), L"");
    EXPECT_STREQ(root.GetAttributeValue(L"a69"), L"");
    EXPECT_FALSE(root.HasAttribute(L"a64"));
    EXPECT_STREQ(root.GetAttributeName(-1), L"");
}

TEST(Markup, AttributeDetails) {
    CMarkup xml;
    // Dots are not name characters.
    EXPECT_FALSE(xml.Load(L"<W d.e=\"5\"/>"));
    EXPECT_EQ(ErrorOf(xml), L"Error while parsing attributes");
    ASSERT_TRUE(xml.Load(L"<W a=\"1\"b=\"2\" a=\"3\" c = \"\"/>"));
    CMarkupNode root = xml.GetRoot();
    EXPECT_EQ(root.GetAttributeCount(), 4);
    EXPECT_STREQ(root.GetAttributeValue(L"a"), L"1"); // first of duplicates
    EXPECT_STREQ(root.GetAttributeValue(L"b"), L"2");
    EXPECT_STREQ(root.GetAttributeValue(L"c"), L"");
    EXPECT_TRUE(root.HasAttribute(L"c"));
    EXPECT_FALSE(root.HasAttribute(L"A")); // names are case-sensitive
    wchar_t buf[4];
    EXPECT_TRUE(root.GetAttributeValue(L"b", buf, 4));
    EXPECT_STREQ(buf, L"2");
    EXPECT_FALSE(root.GetAttributeValue(L"zz", buf, 4));
    EXPECT_FALSE(CMarkupNode().GetAttributeValue(L"a", buf, 4));
    EXPECT_TRUE(root.GetAttributeValue(0, buf, 4));
    EXPECT_STREQ(buf, L"1");
}

TEST(Markup, GetChildByNameIsExact) {
    CMarkup xml;
    ASSERT_TRUE(xml.Load(L"<W><font/><Font n=\"1\"/><Font n=\"2\"/></W>"));
    CMarkupNode f = xml.GetRoot().GetChild(L"Font");
    EXPECT_STREQ(f.GetAttributeValue(L"n"), L"1");
    EXPECT_FALSE(xml.GetRoot().GetChild(L"FONT").IsValid());
}

TEST(Markup, WhitespaceHandling) {
    CMarkup keep;
    ASSERT_TRUE(keep.Load(L"<W v=\"a  \t b\">x \n  y\t\tz</W>"));
    EXPECT_STREQ(keep.GetRoot().GetAttributeValue(L"v"), L"a  \t b");
    EXPECT_STREQ(keep.GetRoot().GetValue(), L"x \n  y\t\tz");
    CMarkup drop;
    drop.SetPreserveWhitespace(false);
    ASSERT_TRUE(drop.Load(L"<W v=\"a  \t b\">x \n  y\t\tz</W>"));
    EXPECT_STREQ(drop.GetRoot().GetAttributeValue(L"v"), L"a b");
    EXPECT_STREQ(drop.GetRoot().GetValue(), L"x y\t\tz");
}

TEST(Markup, Utf8WithAndWithoutBomParseTheSame) {
    std::string body = "<Window title=\"安装\"><Label text=\"获取信息失败！\"/></Window>";
    std::string bom = "\xEF\xBB\xBF" + body;
    CMarkup a, b;
    ASSERT_TRUE(a.LoadFromMem(reinterpret_cast<const BYTE*>(body.data()), body.size()));
    ASSERT_TRUE(b.LoadFromMem(reinterpret_cast<const BYTE*>(bom.data()), bom.size()));
    EXPECT_STREQ(a.GetRoot().GetAttributeValue(L"title"), L"安装");
    EXPECT_STREQ(b.GetRoot().GetAttributeValue(L"title"), L"安装");
    EXPECT_STREQ(b.GetRoot().GetChild().GetAttributeValue(L"text"), L"获取信息失败！");
    // Invalid sequences become U+FFFD.
    std::string bad = "<W a=\"\xFF\xC3\"/>";
    CMarkup c;
    ASSERT_TRUE(c.LoadFromMem(reinterpret_cast<const BYTE*>(bad.data()), bad.size()));
    EXPECT_STREQ(c.GetRoot().GetAttributeValue(L"a"), L"\xFFFD\xFFFD");
    // A character above U+FFFF is kept whole (a surrogate pair where wide
    // text is UTF-16).
    std::string astral = "<W a=\"\xF0\x9F\x98\x80!\"/>";
    CMarkup d;
    ASSERT_TRUE(d.LoadFromMem(reinterpret_cast<const BYTE*>(astral.data()), astral.size()));
    EXPECT_STREQ(d.GetRoot().GetAttributeValue(L"a"), L"\U0001F600!");
}

TEST(Markup, Utf16NeedsItsByteOrderMark) {
    std::u16string body = u"<W a=\"\u5b89\U0001F600\"/>";
    auto encode = [&](bool little, bool mark, bool oddByte) {
        std::vector<BYTE> v;
        if (mark) {
            v.push_back(little ? 0xFF : 0xFE);
            v.push_back(little ? 0xFE : 0xFF);
        }
        for (char16_t ch : body) {
            BYTE lo = static_cast<BYTE>(ch & 0xFF), hi = static_cast<BYTE>(ch >> 8);
            v.push_back(little ? lo : hi);
            v.push_back(little ? hi : lo);
        }
        if (oddByte)
            v.push_back(0x41);
        return v;
    };
    for (bool little : {true, false}) {
        std::vector<BYTE> v = encode(little, true, true);
        CMarkup xml;
        ASSERT_TRUE(xml.LoadFromMem(v.data(), v.size(), XMLFILE_ENCODING_UNICODE)) << little;
        EXPECT_STREQ(xml.GetRoot().GetAttributeValue(L"a"), L"\x5b89\U0001F600");
    }
    std::vector<BYTE> noMark = encode(true, false, false);
    CMarkup xml;
    EXPECT_FALSE(xml.LoadFromMem(noMark.data(), noMark.size(), XMLFILE_ENCODING_UNICODE));
    EXPECT_FALSE(xml.IsValid());
}

TEST(Markup, ReloadReplacesAndFailureReleases) {
    CMarkup xml(L"<A x=\"1\"/>");
    ASSERT_TRUE(xml.IsValid());
    ASSERT_TRUE(xml.Load(L"<B/>"));
    EXPECT_STREQ(xml.GetRoot().GetName(), L"B");
    EXPECT_FALSE(xml.Load(L"<C"));
    EXPECT_FALSE(xml.IsValid());
    EXPECT_EQ(ErrorOf(xml), L"Error parsing element name");
    EXPECT_STREQ(xml.GetRoot().GetName(), L"");
    xml.Release();
    EXPECT_FALSE(xml.IsValid());
    // An empty document is complete but has no root.
    ASSERT_TRUE(xml.Load(L"  "));
    EXPECT_FALSE(xml.GetRoot().IsValid());
}

TEST(Markup, RandomBytesNeverCrash) {
    std::mt19937 rng(12345);
    const char alphabet[] = "<>/=\"'&;!?- \tabWindowControl:_\xC3\xA9\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        size_t n = rng() % 200;
        for (size_t i = 0; i < n; ++i)
            s += (rng() % 4 == 0) ? static_cast<char>(rng() & 0xFF)
                                  : alphabet[rng() % (sizeof(alphabet) - 1)];
        CMarkup xml;
        if (xml.LoadFromMem(reinterpret_cast<const BYTE*>(s.data()), s.size())) {
            CMarkupNode root = xml.GetRoot();
            for (CMarkupNode n2 = root; n2.IsValid(); n2 = n2.GetChild())
                for (int i = 0; i < n2.GetAttributeCount(); ++i)
                    (void)n2.GetAttributeValue(i);
        } else {
            EXPECT_FALSE(xml.IsValid());
            EXPECT_NE(ErrorOf(xml), L"");
        }
    }
}

TEST(Markup, DeepNestingIsBounded) {
    std::wstring deep;
    for (int i = 0; i < 1000; ++i)
        deep += L"<A>";
    for (int i = 0; i < 1000; ++i)
        deep += L"</A>";
    CMarkup xml;
    ASSERT_TRUE(xml.Load(deep.c_str()));
    std::wstring tooDeep;
    for (int i = 0; i < 200000; ++i)
        tooDeep += L"<A>";
    EXPECT_FALSE(xml.Load(tooDeep.c_str()));
    EXPECT_EQ(ErrorOf(xml), L"Elements nested too deeply");
}
