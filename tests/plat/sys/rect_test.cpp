// The rectangle helpers every layer shares: empty rectangles, empty results
// as all zero, and edges that are outside on the right and bottom.
#include <gtest/gtest.h>

#include "plat/sys/rect.h"

using namespace plat;

namespace {

bool Is(const RECT& r, LONG l, LONG t, LONG rr, LONG b) {
    return r.left == l && r.top == t && r.right == rr && r.bottom == b;
}

TEST(Rect, EmptyRectanglesAndPointsOnTheEdges) {
    RECT a{10, 10, 20, 30};
    EXPECT_FALSE(IsRectEmpty(&a));
    RECT flat{10, 10, 10, 30}, inverted{20, 10, 10, 30};
    EXPECT_TRUE(IsRectEmpty(&flat));
    EXPECT_TRUE(IsRectEmpty(&inverted));
    EXPECT_TRUE(IsRectEmpty(nullptr));
    EXPECT_TRUE(PtInRect(&a, POINT{10, 10}));
    EXPECT_TRUE(PtInRect(&a, POINT{19, 29}));
    EXPECT_FALSE(PtInRect(&a, POINT{20, 15}));
    EXPECT_FALSE(PtInRect(&a, POINT{15, 30}));
    EXPECT_FALSE(PtInRect(nullptr, POINT{15, 15}));
}

TEST(Rect, IntersectionAndUnionTreatEmptyInputsAsNothing) {
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, out{1, 1, 1, 1};
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_TRUE(Is(out, 5, 5, 10, 10));
    // Touching edges do not meet; the result is then all zero.
    RECT touching{10, 0, 20, 10};
    out = RECT{1, 1, 1, 1};
    EXPECT_FALSE(IntersectRect(&out, &a, &touching));
    EXPECT_TRUE(Is(out, 0, 0, 0, 0));
    // The destination may be one of the inputs.
    EXPECT_TRUE(IntersectRect(&a, &a, &b));
    EXPECT_TRUE(Is(a, 5, 5, 10, 10));
    EXPECT_FALSE(IntersectRect(nullptr, &a, &b));

    RECT empty{50, 50, 50, 60};
    EXPECT_TRUE(UnionRect(&out, &b, &empty));
    EXPECT_TRUE(Is(out, 5, 5, 20, 20)) << "an empty input adds nothing";
    EXPECT_TRUE(UnionRect(&out, &empty, &b));
    EXPECT_TRUE(Is(out, 5, 5, 20, 20));
    out = RECT{1, 1, 1, 1};
    EXPECT_FALSE(UnionRect(&out, &empty, &empty));
    EXPECT_TRUE(Is(out, 0, 0, 0, 0));
    RECT distant{100, 100, 110, 120};
    EXPECT_TRUE(UnionRect(&out, &b, &distant));
    EXPECT_TRUE(Is(out, 5, 5, 110, 120));
}

TEST(Rect, MovingGrowingAndComparing) {
    RECT r;
    ASSERT_TRUE(SetRect(&r, 1, 2, 3, 4));
    ASSERT_TRUE(OffsetRect(&r, 10, -2));
    EXPECT_TRUE(Is(r, 11, 0, 13, 2));
    ASSERT_TRUE(InflateRect(&r, 1, 3));
    EXPECT_TRUE(Is(r, 10, -3, 14, 5));
    ASSERT_TRUE(InflateRect(&r, -2, -4));
    EXPECT_TRUE(IsRectEmpty(&r));
    RECT c;
    ASSERT_TRUE(CopyRect(&c, &r));
    EXPECT_TRUE(EqualRect(&c, &r));
    ASSERT_TRUE(SetRectEmpty(&c));
    EXPECT_FALSE(EqualRect(&c, &r));
    EXPECT_FALSE(OffsetRect(nullptr, 1, 1));
    EXPECT_FALSE(EqualRect(nullptr, &r));
}

} // namespace
