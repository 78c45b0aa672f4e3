// Structuring elements, grey dilation and erosion, binary dilation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqMorphology.h"
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
      {"ellipse", 7, 5, ZQ_SHAPE_ELLIPSE, {"...#...", ".#####.", "#######", ".#####.", "...#..."}},
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

// Reflection about the edge pixel without repeating it, for any distance.
int Reflect101(int p, int len) {
  if (len == 1) return 0;
  while (p < 0 || p >= len) p = p < 0 ? -p : 2 * (len - 1) - p;
  return p;
}

// Brute-force grey dilation (or erosion) by definition.
Mask Reference(const Mask &src, int kx, int ky, bool dilate) {
  Mask out(src.rows, src.cols);
  for (int y = 0; y < src.rows; ++y)
    for (int x = 0; x < src.cols; ++x) {
      int best = dilate ? 0 : 255;
      for (int j = 0; j < ky; ++j)
        for (int i = 0; i < kx; ++i) {
          int v =
              src.at(Reflect101(y - ky / 2 + j, src.rows), Reflect101(x - kx / 2 + i, src.cols));
          best = dilate ? std::max(best, v) : std::min(best, v);
        }
      out.at(y, x) = static_cast<uint8_t>(best);
    }
  return out;
}

Mask Noise(int rows, int cols, unsigned seed) {
  Mask m(rows, cols);
  for (uint8_t &p : m.px) {
    seed = seed * 1103515245u + 12345u;
    p = static_cast<uint8_t>(seed >> 16);
  }
  return m;
}

TEST(DilateErode, MatchTheDefinitionInPlace) {
  struct Case {
    int rows, cols, kx, ky;
  } cases[] = {
      {1, 1, 1, 1},     {6, 9, 1, 1}, {6, 9, 3, 3},  {6, 9, 2, 2},  {7, 5, 4, 6},    {20, 30, 7, 5},
      {20, 30, 15, 15}, {3, 4, 9, 7}, {1, 12, 5, 3}, {12, 1, 3, 5}, {40, 33, 11, 2},
  };
  for (const Case &c : cases) {
    for (bool dilate : {true, false}) {
      SCOPED_TRACE(::testing::Message() << c.rows << "x" << c.cols << " window " << c.kx << "x"
                                        << c.ky << (dilate ? " dilate" : " erode"));
      Mask src = Noise(c.rows, c.cols, 17u * c.rows + c.kx);
      // Plateaus exercise the running extreme's ties.
      for (int i = 0; i < c.rows * c.cols; i += 3) src.px[i] = src.px[i] & 0xC0;
      Mask want = Reference(src, c.kx, c.ky, dilate);
      Mask m = src;
      auto fn = dilate ? ZqDilate : ZqErode;
      ASSERT_EQ(fn(m.data(), c.rows, c.cols, 0, c.kx, c.ky, m.data()), 0);
      EXPECT_EQ(m.px, want.px);
    }
  }
}

TEST(DilateErode, SmallPatterns) {
  // A bright corner pixel under 3 x 3 gives a 2 x 2 block (no edge repeat).
  Mask m(5, 5);
  m.at(0, 0) = 200;
  ASSERT_EQ(ZqDilate(m.data(), 5, 5, 0, 3, 3, m.data()), 0);
  EXPECT_EQ(ToText(m), (std::vector<std::string>{"##...", "##...", ".....", ".....", "....."}));
  // 2 x 2: the pixel, its left, upper and upper-left neighbours; row -1
  // reads row 1 and column -1 column 1.
  Mask d = FromText({"....", "....", "..#.", "#..."});
  Mask out(4, 4, 9);
  ASSERT_EQ(ZqDilate(d.data(), 4, 4, 0, 2, 2, out.data()), 0);
  EXPECT_EQ(ToText(out), (std::vector<std::string>{"....", "....", "..##", "####"}));
  Mask e = FromText({"....", ".#..", "....", "...."});
  ASSERT_EQ(ZqDilate(e.data(), 4, 4, 0, 2, 2, out.data()), 0);
  EXPECT_EQ(ToText(out), (std::vector<std::string>{"###.", "###.", "###.", "...."}));
  // Erosion removes a lone pixel and shrinks a block.
  Mask b(6, 6);
  b.Box(1, 1, 4, 4);
  b.at(0, 5) = 1;
  ASSERT_EQ(ZqErode(b.data(), 6, 6, 0, 3, 3, b.data()), 0);
  EXPECT_EQ(ToText(b),
            (std::vector<std::string>{"......", "......", "..##..", "..##..", "......", "......"}));
}

TEST(DilateErode, ErrorsLeaveTheDestination) {
  Mask m = Noise(8, 8, 3), out(8, 8, 7);
  struct Case {
    const uint8_t *src;
    int rows, cols, kx, ky;
    uint8_t *dst;
  } cases[] = {
      {nullptr, 8, 8, 3, 3, out.data()},  {m.data(), 8, 8, 3, 3, nullptr},
      {m.data(), 0, 8, 3, 3, out.data()}, {m.data(), 8, 0, 3, 3, out.data()},
      {m.data(), 8, 8, 0, 3, out.data()}, {m.data(), 8, 8, 3, -1, out.data()},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ZqDilate(c.src, c.rows, c.cols, 0, c.kx, c.ky, c.dst), -1);
    EXPECT_EQ(ZqErode(c.src, c.rows, c.cols, 0, c.kx, c.ky, c.dst), -1);
  }
  ZqSetMemoryPoolEn(1);
  ZqInitMemBlock(100);
  EXPECT_EQ(ZqDilate(m.data(), 8, 8, 0, 3, 3, out.data()), -2);
  EXPECT_EQ(ZqErode(m.data(), 8, 8, 0, 3, 3, out.data()), -2);
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
  EXPECT_EQ(out.Count(7), 64);
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
