// Loops on binarised images: turning sense, widths, shapes, filling, and the
// loop, island, lake and hook tests of minutiae.
#include <gtest/gtest.h>

#include <vector>

#include "binary_image.h"
#include "minutiae/lfs_contour.h"
#include "minutiae/lfs_loop.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;
using Pts = std::vector<std::pair<int, int>>;

struct XY {
  std::vector<int> x, y;
  explicit XY(const Pts &pts) {
    for (const auto &[px, py] : pts) {
      x.push_back(px);
      y.push_back(py);
    }
  }
  int n() const { return static_cast<int>(x.size()); }
};

Pts Reversed(Pts p) { return Pts(p.rbegin(), p.rend()); }

lfs_minutia At(int x, int y, int ex, int ey) {
  lfs_minutia m{};
  m.x = x;
  m.y = y;
  m.edge_x = ex;
  m.edge_y = ey;
  return m;
}

// The boundary of a 3 x 3 island, clockwise as displayed, from its top-left.
const Pts kRing = {{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}};

const BinaryImage &Island3() {
  static const BinaryImage img = Draw({
      ".....",
      ".###.",
      ".###.",
      ".###.",
      ".....",
  });
  return img;
}

TEST(LfsLoopTest, TurningSense) {
  const Pts square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const Pts back_and_forth = {{0, 0}, {1, 0}, {2, 0}, {1, 0}};  // no net turn
  const struct {
    const char *name;
    Pts loop;
    int default_result, expected;
  } cases[] = {
      {"square, clockwise (turn sum -8)", square, 7, 1},
      {"square reversed", Reversed(square), 7, 0},
      {"island boundary", kRing, 7, 1},
      {"island boundary reversed", Reversed(kRing), 7, 0},
      {"three pixels take the default", {{0, 0}, {1, 0}, {1, 1}}, 7, 7},
      {"no net turn takes the default", back_and_forth, 5, 5},
  };
  for (const auto &c : cases) {
    const XY xy(c.loop);
    EXPECT_EQ(loop_turns_clockwise(xy.x.data(), xy.y.data(), xy.n(), c.default_result),
              c.expected)
        << c.name;
  }
}

TEST(LfsLoopTest, LoopWidthsPairOppositePixels) {
  const struct {
    const char *name;
    Pts loop;
    std::vector<double> expected;  // min a, min b, min d2, max a, max b, max d2
  } cases[] = {
      // Pairs (0,4) 8, (1,5) 4, (2,6) 8, (3,7) 4: first ones on ties.
      {"even loop", kRing, {1, 5, 4, 0, 4, 8}},
      // h = 2; pairs (0,2) 10, (1,3) 4, (2,4) 10, (3,0) 8, (4,1) 8.
      {"odd loop pairs every pixel", {{0, 0}, {2, 0}, {3, 1}, {2, 2}, {0, 2}}, {1, 3, 4, 0, 2, 10}},
  };
  for (const auto &c : cases) {
    const XY xy(c.loop);
    int min_a, min_b, max_a, max_b;
    double min_d2, max_d2;
    loop_widths(&min_a, &min_b, &min_d2, &max_a, &max_b, &max_d2, xy.x.data(), xy.y.data(),
                xy.n());
    EXPECT_EQ((std::vector<double>{double(min_a), double(min_b), min_d2, double(max_a),
                                   double(max_b), max_d2}),
              c.expected)
        << c.name;
  }
}

TEST(LfsLoopTest, ShapeRowsHoldSortedDistinctColumns) {
  const XY xy(Pts{{5, 2}, {3, 2}, {5, 2}, {4, 4}, {3, 4}, {6, 4}, {3, 3}});
  lfs_shape *shape = nullptr;
  ASSERT_EQ(shape_from_contour(&shape, xy.x.data(), xy.y.data(), xy.n()), 0);
  EXPECT_EQ(shape->ymin, 2);
  EXPECT_EQ(shape->ymax, 4);
  ASSERT_EQ(shape->nrows, 3);
  const std::vector<std::vector<int>> rows = {{3, 5}, {3}, {3, 4, 6}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(shape->rows[i]->y, 2 + i);
    EXPECT_EQ(shape->rows[i]->capacity, 4);  // columns 3..6
    EXPECT_EQ(std::vector<int>(shape->rows[i]->xs, shape->rows[i]->xs + shape->rows[i]->count),
              rows[i]);
  }
  free_shape(shape);
}

// The loop traced from (x, y) with its edge, the start first.
Pts TracedLoop(const BinaryImage &img, int x, int y, int ex, int ey) {
  int *cx, *cy, *cex, *cey, n;
  EXPECT_EQ(follow_contour(&cx, &cy, &cex, &cey, &n, 100, x, y, x, y, ex, ey,
                           LFS_SCAN_CLOCKWISE, img.data(), img.width, img.height),
            LFS_LOOP_FOUND);
  Pts loop = {{x, y}};
  for (const auto &p : minutiae_test::Points(cx, cy, n)) loop.push_back(p);
  release_contour(cx, cy, cex, cey);
  return loop;
}

TEST(LfsLoopTest, FillPaintsTheLoopWithTheOtherColour) {
  const struct {
    const char *name;
    std::vector<std::string> image;
    int x, y, ex, ey;
    std::vector<std::string> expected;
  } cases[] = {
      {"an island is erased", {".....", ".###.", ".###.", ".###.", "....."}, 1, 1, 1, 0,
       {".....", ".....", ".....", ".....", "....."}},
      {"a lake is filled", {"......", ".####.", ".#..#.", ".#..#.", ".####.", "......"}, 2, 2,
       2, 1, {"......", ".####.", ".####.", ".####.", ".####.", "......"}},
      {"a gap of the fill colour is jumped, sparing what lies in it",
       {".........", ".#.....#.", ".#..#..#.", ".#.....#.", ".#######.", "........."}, 1, 1, 1,
       0, {".........", ".........", "....#....", ".........", ".........", "........."}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    BinaryImage img = Draw(c.image);
    const XY xy(TracedLoop(img, c.x, c.y, c.ex, c.ey));
    ASSERT_EQ(fill_loop(xy.x.data(), xy.y.data(), xy.n(), img.data(), img.width, img.height), 0);
    EXPECT_EQ(img.Rows(), c.expected);
  }
}

TEST(LfsLoopTest, MinutiaOnLoop) {
  const BinaryImage &img = Island3();
  const struct {
    lfs_minutia m;
    int max_length, expected;
  } cases[] = {
      {At(1, 1, 1, 0), 15, 1},
      {At(1, 1, 1, 0), 8, 1},   // seven pixels, then the start
      {At(1, 1, 1, 0), 7, 0},
      {At(1, 1, 2, 1), 15, LFS_IGNORE},
  };
  for (const auto &c : cases)
    EXPECT_EQ(minutia_on_loop(&c.m, c.max_length, img.data(), 5, 5), c.expected)
        << c.max_length;
}

TEST(LfsLoopTest, PairOnIslandOrLake) {
  const BinaryImage &img = Island3();
  const lfs_minutia a = At(1, 1, 1, 0);
  const lfs_minutia b = At(3, 3, 3, 4);
  int *cx, *cy, *cex, *cey, n = -1;
  ASSERT_EQ(pair_on_island_or_lake(&cx, &cy, &cex, &cey, &n, &a, &b, 30, img.data(), 5, 5),
            LFS_LOOP_FOUND);
  EXPECT_EQ(minutiae_test::Points(cx, cy, n), kRing);
  EXPECT_EQ(cex[4], 3);  // b keeps its own edge
  EXPECT_EQ(cey[4], 4);
  release_contour(cx, cy, cex, cey);

  // Halves of three pixels do not fit in two.
  EXPECT_EQ(pair_on_island_or_lake(&cx, &cy, &cex, &cey, &n, &a, &b, 2, img.data(), 5, 5), 0);
  EXPECT_EQ(cx, nullptr);
  const lfs_minutia bad = At(1, 1, 2, 1);
  EXPECT_EQ(pair_on_island_or_lake(&cx, &cy, &cex, &cey, &n, &bad, &b, 30, img.data(), 5, 5),
            LFS_IGNORE);
  EXPECT_EQ(n, 0);
}

TEST(LfsLoopTest, PairOnHookWalksTheOtherColourBothWays) {
  // From a's edge (1,0) the valley contour runs down the left side in one
  // sense, (0,1), (0,2), (0,3), and along the top in the other, (2,0), (3,0).
  const BinaryImage &img = Island3();
  const lfs_minutia a = At(1, 1, 1, 0);
  const struct {
    int bx, by, max_length, expected;
  } cases[] = {
      {0, 2, 3, 1},  // clockwise
      {3, 0, 3, 1},  // counter-clockwise only
      {4, 4, 3, 0},
  };
  for (const auto &c : cases) {
    const lfs_minutia b = At(c.bx, c.by, 0, 0);
    EXPECT_EQ(pair_on_hook(&a, &b, c.max_length, img.data(), 5, 5), c.expected)
        << c.bx << "," << c.by;
  }
  const lfs_minutia bad = At(1, 1, 2, 1);
  const lfs_minutia b = At(3, 0, 0, 0);
  EXPECT_EQ(pair_on_hook(&bad, &b, 3, img.data(), 5, 5), LFS_IGNORE);
}

}  // namespace
