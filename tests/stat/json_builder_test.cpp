// The payload tree and its JSON text.
#include "stat/JsonBuilder.h"

#include <gtest/gtest.h>

#include <memory>

using ns_zr_stat::CJsonBuilder;

TEST(JsonBuilder, WritesCompactObjectsArraysAndEmptyNodes) {
    CJsonBuilder tree;
    tree.AddObject(L"dev_info");
    tree.Put(L"channel", L"10001");
    tree.Put(L"sim_id", L"");
    tree.Up();
    tree.AddObject(L"event_log");
    tree.AddElement();
    tree.Put(L"name", L"a");
    tree.Put(L"num", L"1");
    tree.Up();
    tree.AddElement();
    tree.Put(L"name", L"b");
    tree.Up();
    tree.Up();
    tree.AddObject(L"empty");
    EXPECT_EQ(tree.ToJson(), L"{\"dev_info\":{\"channel\":\"10001\",\"sim_id\":\"\"},"
                             L"\"event_log\":[{\"name\":\"a\",\"num\":\"1\"},{\"name\":\"b\"}],"
                             L"\"empty\":\"\"}\n");
}

TEST(JsonBuilder, KeepsInsertionOrderAndRepeatedKeys) {
    CJsonBuilder tree;
    tree.Put(L"z", L"1");
    tree.Put(L"a", L"2");
    tree.Put(L"z", L"3");
    EXPECT_EQ(tree.ToJson(), L"{\"z\":\"1\",\"a\":\"2\",\"z\":\"3\"}\n");
}

TEST(JsonBuilder, EscapesAsTheWriterDefines) {
    CJsonBuilder tree;
    tree.Put(L"msg", L"say \"hi\" a/b\\c\nd\te\r\b\f");
    tree.Put(L"ctl", std::wstring(1, L'\x01') + L"\x7F" + L"\xE9");
    tree.Put(L"zh", L"USB连接成功");
    EXPECT_EQ(tree.ToJson(), L"{\"msg\":\"say \\\"hi\\\" a\\/b\\\\c\\nd\\te\\r\\b\\f\","
                             L"\"ctl\":\"\\u0001\x7F\xE9\","
                             L"\"zh\":\"USB\\u8FDE\\u63A5\\u6210\\u529F\"}\n");
}

TEST(JsonBuilder, WritesCharactersAboveBmpAsSurrogatePairs) {
    CJsonBuilder tree;
    tree.Put(L"e", L"x\U0001F600y");
    tree.Put(L"k\U00010000", L"\U0010FFFF");
    EXPECT_EQ(tree.ToJson(),
              L"{\"e\":\"x\\uD83D\\uDE00y\",\"k\\uD800\\uDC00\":\"\\uDBFF\\uDFFF\"}\n");
    // The tree itself keeps the characters as they were put.
    EXPECT_EQ(tree.Root().get<std::wstring>(L"e"), L"x\U0001F600y");
}

TEST(JsonBuilder, ReplacesValuesThatAreNoCharacter) {
    // Only 32-bit wide text can hold a value beyond U+10FFFF; 16-bit text
    // is UTF-16 units, which are written as they are.
    CJsonBuilder tree;
    const unsigned long beyond = 0x110000ul;
    const wchar_t unit = static_cast<wchar_t>(beyond);
    const bool representable = static_cast<unsigned long>(unit) == beyond;
    tree.Put(L"v", std::wstring(1, representable ? unit : L'\xFFFD'));
    EXPECT_EQ(tree.ToJson(), L"{\"v\":\"\\uFFFD\"}\n");
}

TEST(JsonBuilder, ClearEmptiesTheTreeAndResetsTheCursor) {
    CJsonBuilder tree;
    tree.AddObject(L"a");
    tree.AddObject(L"b");
    tree.Clear();
    EXPECT_EQ(tree.Cursor(), &tree.Root());
    tree.Put(L"c", L"1");
    EXPECT_EQ(tree.ToJson(), L"{\"c\":\"1\"}\n");
    tree.Clear();
    EXPECT_EQ(tree.ToJson(), L"{}\n"); // an empty root is an empty object
}

TEST(JsonBuilder, UpFollowsTheAppendPathAndStaysAtTheRoot) {
    CJsonBuilder tree;
    tree.AddObject(L"a");
    tree.AddObject(L"b");
    tree.Up();
    tree.Put(L"inA", L"1");
    tree.Up();
    tree.Up(); // already at the root
    tree.Put(L"top", L"2");
    EXPECT_EQ(tree.ToJson(), L"{\"a\":{\"b\":\"\",\"inA\":\"1\"},\"top\":\"2\"}\n");
}

TEST(JsonBuilder, CloneIsDeepAndStartsAtItsRoot) {
    CJsonBuilder tree;
    tree.AddObject(L"act_log");
    tree.Put(L"close_time", L"0");
    std::unique_ptr<CJsonBuilder> copy(tree.Clone());
    EXPECT_EQ(copy->Cursor(), &copy->Root());
    copy->Root().get_child(L"act_log.close_time").data() = L"5";
    copy->Put(L"more", L"x");
    EXPECT_EQ(tree.ToJson(), L"{\"act_log\":{\"close_time\":\"0\"}}\n");
    EXPECT_EQ(copy->ToJson(), L"{\"act_log\":{\"close_time\":\"5\"},\"more\":\"x\"}\n");
}

TEST(JsonBuilder, NullTextIsPutAsEmpty) {
    CJsonBuilder tree;
    tree.Put(L"n", static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(tree.ToJson(), L"{\"n\":\"\"}\n");
}

TEST(JsonBuilder, NodeWithValueAndChildrenGivesEmptyText) {
    CJsonBuilder tree;
    tree.AddObject(L"a");
    tree.Put(L"b", L"1");
    tree.Root().get_child(L"a").data() = L"both";
    EXPECT_EQ(tree.ToJson(), L"");
}
