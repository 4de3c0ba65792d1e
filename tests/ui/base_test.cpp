// The toolkit's value types: strings, arrays, the string map, geometry and
// STRINGorID.
#include "ui/UIBase.h"

#include <gtest/gtest.h>

using namespace Veneer;

TEST(StdString, ComparisonIsExactAndNoCaseIsSeparate) {
    CStdString s(L"Button");
    EXPECT_TRUE(s == L"Button");
    EXPECT_FALSE(s == L"button");
    EXPECT_TRUE(L"Button" == s);
    EXPECT_TRUE(s != CStdString(L"button"));
    EXPECT_EQ(s.CompareNoCase(L"BUTTON"), 0);
    EXPECT_LT(s.CompareNoCase(L"buttons"), 0);
    EXPECT_EQ(CStdString().CompareNoCase(nullptr), 0);
    EXPECT_TRUE(CStdString(nullptr).IsEmpty());
    EXPECT_TRUE(CStdString(L"a") < CStdString(L"b"));
}

TEST(StdString, SubstringsAndSearchClampTheirArguments) {
    CStdString s(L"installBtn.png");
    EXPECT_STREQ(s.Left(7), L"install");
    EXPECT_STREQ(s.Left(-3), L"");
    EXPECT_STREQ(s.Left(99), L"installBtn.png");
    EXPECT_STREQ(s.Mid(7, 3), L"Btn");
    EXPECT_STREQ(s.Mid(11), L"png");
    EXPECT_STREQ(s.Mid(50), L"");
    EXPECT_STREQ(s.Right(3), L"png");
    EXPECT_STREQ(s.Right(99), L"installBtn.png");
    EXPECT_EQ(s.Find(L'n'), 1);
    EXPECT_EQ(s.Find(L'n', 2), 9);
    EXPECT_EQ(s.Find(L"Btn"), 7);
    EXPECT_EQ(s.Find(L"Btn", 99), -1);
    EXPECT_EQ(s.ReverseFind(L'n'), 12);
    EXPECT_EQ(s.GetAt(99), 0);
    EXPECT_EQ(s[0], L'i');
}

TEST(StdString, EditingAndFormatting) {
    CStdString s(L"a,b,,c");
    EXPECT_EQ(s.Replace(L",", L", "), 3);
    EXPECT_STREQ(s, L"a, b, , c");
    EXPECT_EQ(s.Replace(L"", L"x"), 0);
    s.MakeUpper();
    EXPECT_STREQ(s, L"A, B, , C");
    s.MakeLower();
    EXPECT_STREQ(s, L"a, b, , c");
    s.SetAt(0, L'z');
    s.SetAt(100, L'q');
    EXPECT_STREQ(s, L"z, b, , c");
    CStdString f;
    EXPECT_EQ(f.Format(L"%d%% of %ls", 37, L"安装"), 9);
    EXPECT_STREQ(f, L"37% of 安装");
    std::wstring big(5000, L'x');
    f.Format(L"%ls!", big.c_str());
    EXPECT_EQ(f.GetLength(), 5001);
    CStdString part(L"abcdef", 3);
    EXPECT_STREQ(part, L"abc");
    part.Assign(part.GetData() + 1);
    EXPECT_STREQ(part, L"bc");
    EXPECT_STREQ(CStdString(L"x") + L"y" + CStdString(L"z") + L'!', L"xyz!");
}

TEST(StdPtrArray, BoundsAreChecked) {
    CStdPtrArray a;
    int x = 0, y = 0, z = 0;
    EXPECT_TRUE(a.Add(&x));
    EXPECT_TRUE(a.Add(&y));
    EXPECT_TRUE(a.InsertAt(0, &z));
    EXPECT_FALSE(a.InsertAt(5, &z));
    EXPECT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a[0], &z);
    EXPECT_EQ(a.Find(&y), 2);
    EXPECT_EQ(a.Find(nullptr), -1);
    EXPECT_EQ(a.GetAt(3), nullptr);
    EXPECT_EQ(a.GetAt(-1), nullptr);
    EXPECT_FALSE(a.SetAt(3, &x));
    EXPECT_TRUE(a.Remove(0));
    EXPECT_FALSE(a.Remove(7));
    EXPECT_EQ(a[0], &x);
    a.Resize(4);
    EXPECT_EQ(a.GetAt(3), nullptr);
    a.Empty();
    EXPECT_TRUE(a.IsEmpty());
}

TEST(StdValArray, CopiesValues) {
    CStdValArray a(sizeof(RECT));
    RECT r1{1, 2, 3, 4}, r2{5, 6, 7, 8};
    a.Add(&r1);
    a.Add(&r2);
    r1.left = 99;
    EXPECT_EQ(a.GetSize(), 2);
    EXPECT_EQ(static_cast<RECT*>(a.GetAt(0))->left, 1);
    EXPECT_TRUE(a.Remove(0));
    EXPECT_EQ(static_cast<RECT*>(a.GetAt(0))->left, 5);
    EXPECT_EQ(a.GetAt(1), nullptr);
    EXPECT_FALSE(a.Add(nullptr));
}

TEST(StdStringPtrMap, ExactKeysInInsertionOrder) {
    CStdStringPtrMap m;
    int a = 0, b = 0, c = 0;
    EXPECT_TRUE(m.Insert(L"b", &b));
    EXPECT_TRUE(m.Insert(L"a", &a));
    EXPECT_FALSE(m.Insert(L"a", &c));
    EXPECT_EQ(m.Find(L"a"), &a);
    EXPECT_EQ(m.Find(L"A"), nullptr);
    EXPECT_EQ(m.Set(L"a", &c), &a);
    EXPECT_EQ(m.Set(L"c", &c), nullptr);
    EXPECT_EQ(m.GetSize(), 3);
    EXPECT_STREQ(m.GetAt(0), L"b");
    EXPECT_STREQ(m.GetAt(2), L"c");
    EXPECT_EQ(m.GetAt(3), nullptr);
    EXPECT_TRUE(m.Remove(L"b"));
    EXPECT_FALSE(m.Remove(L"b"));
    EXPECT_STREQ(m[0], L"a");
    m.RemoveAll();
    EXPECT_EQ(m.GetSize(), 0);
    EXPECT_EQ(m.Find(nullptr), nullptr);
}

TEST(Geometry, RectOperations) {
    CStdRect r(10, 10, 20, 30);
    EXPECT_EQ(r.GetWidth(), 10);
    EXPECT_EQ(r.GetHeight(), 20);
    EXPECT_TRUE(r.PtInRect(POINT{10, 10}));
    EXPECT_FALSE(r.PtInRect(POINT{20, 10})) << "right is exclusive";
    CStdRect j = r;
    j.Join(RECT{0, 25, 15, 40});
    EXPECT_EQ(j.left, 0);
    EXPECT_EQ(j.bottom, 40);
    j.Join(RECT{100, 100, 100, 200}); // empty: ignored
    EXPECT_EQ(j.right, 20);
    CStdRect i = r;
    EXPECT_TRUE(i.Intersect(RECT{15, 0, 50, 12}));
    EXPECT_EQ(i.left, 15);
    EXPECT_EQ(i.bottom, 12);
    EXPECT_FALSE(i.Intersect(RECT{0, 0, 5, 5}));
    EXPECT_TRUE(i.IsNull());
    CStdRect n(5, 6, 1, 2);
    n.Normalize();
    EXPECT_EQ(n.left, 1);
    EXPECT_EQ(n.bottom, 6);
    n.Offset(10, 10);
    n.ResetOffset();
    EXPECT_EQ(n.left, 0);
    EXPECT_EQ(n.top, 0);
    n.Inflate(1, 2);
    EXPECT_EQ(n.left, -1);
    EXPECT_EQ(n.top, -2);
    EXPECT_EQ(CSize(RECT{1, 2, 11, 22}).cx, 10);
    EXPECT_EQ(CPoint(MAKELPARAM(-5, 7)).x, -5);
    EXPECT_EQ(CPoint(MAKELPARAM(-5, 7)).y, 7);
}

TEST(Geometry, StringOrId) {
    STRINGorID id(129u);
    EXPECT_TRUE(id.IsID());
    EXPECT_EQ(id.GetID(), 129u);
    STRINGorID name(L"installerstart.xml");
    EXPECT_FALSE(name.IsID());
    EXPECT_STREQ(name.m_lpstr, L"installerstart.xml");
}
