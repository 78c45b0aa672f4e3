// Structuring elements, grey dilation and erosion, binary dilation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/ZqMorphology.h"
#include "zq_mask_fixture.h"

namespace {

using zq_test::FromText;
using zq_test::Mask;
using zq_test::ToText;

TEST(StructuringElement, Shapes) {
  struct Case {
    const char *name;
    int cols, rows, shape;
    std::vector<std::string> want;
  } cases[] = {
      {"rectangle", 3, 2, ZQ_SHAPE_RECT, {"###", "###"}},
      {"cross", 5, 3, ZQ_SHAPE_CROSS, {"..#..", "#####", "..#.."}},
      // r = 2, c = 3: dx = 3 * sqrt(1 - dy^2 / 4) -> 0, 2, 3, 2, 0.
      {"ellipse", 7, 5, ZQ_SHAPE_ELLIPSE,
       {"...#...", ".#####.", "#######", ".#####.", "...#..."}},
      {"unknown shape", 3, 3, 9, {"#..", "...", "..."}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Mask e(c.rows, c.cols, 7);
    ZqGetStructuringElement(e.data(), c.cols, c.rows, c.shape, 0.0);
    EXPECT_EQ(ToText(e), c.want);
    EXPECT_EQ(e.Count(7), 0);
  }
  Mask line(1, 4, 7);
  ZqGetStructuringElement(line.data(), 4, 1, ZQ_SHAPE_RECT, 0.0);
  EXPECT_EQ(line.Count(7), 4);  // one row: nothing written
}

TEST(DilateMask, HalfSizesGiveOddWindowsClippedAtTheBorder) {
  struct Case {
    const char *name;
    int y, x, a, b;
    int y0, x0, y1, x1;  // expected square
  } cases[] = {
      {"a = b = 7 gives 15 x 15", 15, 15, 7, 7, 8, 8, 22, 22},
      {"half-width 2, half-height 1", 10, 10, 2, 1, 9, 8, 11, 12},
      {"corner, clipped", 0, 0, 2, 3, 0, 0, 3, 2},
      {"zero half sizes copy", 5, 6, 0, 0, 5, 6, 5, 6},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Mask m(30, 30);
    m.at(c.y, c.x) = 1;
    ZqDilate_v2(m.data(), 30, 30, c.a, c.b, m.data());  // in place: no further growth
    Mask want(30, 30);
    want.Box(c.y0, c.x0, c.y1, c.x1);
    EXPECT_EQ(ToText(m), ToText(want));
    EXPECT_EQ(m.Count(1) + m.Count(0), 900);
  }
}

TEST(DilateMask, OnlyPixelsEqualToOneGrowAndOutputIsAddedTo) {
  Mask src = FromText({".....", ".#...", ".....", "....."});
  src.at(3, 4) = 2;  // not a mask pixel
  Mask out(4, 5);
  out.at(3, 0) = 1;  // kept: the caller's content
  ZqDilate_v2(src.data(), 4, 5, 1, 1, out.data());
  EXPECT_EQ(ToText(out), (std::vector<std::string>{"###..", "###..", "###..", "#...."}));
  Mask untouched = out;
  ZqDilate_v2(nullptr, 4, 5, 1, 1, out.data());
  ZqDilate_v2(src.data(), 0, 5, 1, 1, out.data());
  EXPECT_EQ(out.px, untouched.px);
}

}  // namespace
