// Contour tracing on small binarised images.
#include <gtest/gtest.h>

#include <vector>

#include "binary_image.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_contour.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;
using Pts = std::vector<std::pair<int, int>>;

const BinaryImage &Square3() {
  static const BinaryImage img = Draw({
      ".....",
      ".###.",
      ".###.",
      ".###.",
      ".....",
  });
  return img;
}

TEST(LfsContourTest, StepFindsTheNextBoundaryPixelAndItsEdge) {
  const struct {
    const char *name;
    BinaryImage img;
    int x, y, ex, ey, mode;
    int found, nx, ny, nex, ney;
  } cases[] = {
      {"clockwise along the top", Square3(), 1, 1, 1, 0, LFS_SCAN_CLOCKWISE, 1, 2, 1, 2, 0},
      {"counter-clockwise down the side", Square3(), 1, 1, 1, 0, LFS_SCAN_COUNTER_CLOCKWISE,
       1, 1, 2, 0, 2},
      {"round the corner: the edge is the last valley passed", Square3(), 3, 1, 3, 0,
       LFS_SCAN_CLOCKWISE, 1, 3, 2, 4, 2},
      {"diagonal joined by the next 4-neighbour is taken",
       Draw({"##.", ".#.", "..."}), 1, 1, 0, 1, LFS_SCAN_CLOCKWISE, 1, 0, 0, 0, 1},
      {"diagonal alone is looked past", Draw({"#..", ".#.", "..."}), 1, 1, 0, 1,
       LFS_SCAN_CLOCKWISE, 0, 0, 0, 0, 0},
      {"isolated pixel has no next pixel", Draw({"...", ".#.", "..."}), 1, 1, 1, 0,
       LFS_SCAN_CLOCKWISE, 0, 0, 0, 0, 0},
      {"a neighbour outside the image ends the search", Draw({"##.", "...", "..."}), 0, 0, 0,
       1, LFS_SCAN_CLOCKWISE, 0, 0, 0, 0, 0},
      {"a diagonal edge starts the turn at N", Draw({"...", ".##", "..."}), 1, 1, 0, 0,
       LFS_SCAN_CLOCKWISE, 1, 2, 1, 2, 0},
      {"a valley contour walks round a ridge", Draw({"...", ".#.", "..."}), 1, 0, 1, 1,
       LFS_SCAN_CLOCKWISE, 1, 0, 1, 1, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    int nx = 0, ny = 0, nex = 0, ney = 0;
    const int found = step_contour(&nx, &ny, &nex, &ney, c.x, c.y, c.ex, c.ey, c.mode,
                                   c.img.data(), c.img.width, c.img.height);
    EXPECT_EQ(found, c.found);
    if (found) {
      EXPECT_EQ((std::vector<int>{nx, ny, nex, ney}),
                (std::vector<int>{c.nx, c.ny, c.nex, c.ney}));
    }
  }
}

TEST(LfsContourTest, FollowWalksRoundAnIslandInEitherSense) {
  const BinaryImage &img = Square3();
  const Pts clockwise = {{2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}};
  const struct {
    int mode, max_len, result;
    Pts expected;
  } cases[] = {
      {LFS_SCAN_CLOCKWISE, 20, LFS_LOOP_FOUND, clockwise},
      {LFS_SCAN_COUNTER_CLOCKWISE, 20, LFS_LOOP_FOUND, Pts(clockwise.rbegin(), clockwise.rend())},
      {LFS_SCAN_CLOCKWISE, 7, 0, clockwise},  // the full length ends before the loop closes
      {LFS_SCAN_CLOCKWISE, 3, 0, Pts(clockwise.begin(), clockwise.begin() + 3)},
      {LFS_SCAN_CLOCKWISE, 0, 0, {}},
  };
  for (const auto &c : cases) {
    int *cx, *cy, *cex, *cey, n = -1;
    ASSERT_EQ(follow_contour(&cx, &cy, &cex, &cey, &n, c.max_len, 1, 1, 1, 1, 1, 0, c.mode,
                             img.data(), img.width, img.height),
              c.result)
        << c.mode << " " << c.max_len;
    EXPECT_EQ(minutiae_test::Points(cx, cy, n), c.expected);
    for (int i = 0; i < n; ++i) {  // every edge is a valley 4-neighbour
      EXPECT_EQ(img.at(cex[i], cey[i]), 0);
      EXPECT_EQ(std::abs(cex[i] - cx[i]) + std::abs(cey[i] - cy[i]), 1);
    }
    release_contour(cx, cy, cex, cey);
  }
}

TEST(LfsContourTest, FollowIgnoresAnEdgeOfTheStartsColourWithoutAllocating) {
  const BinaryImage &img = Square3();
  int *cx, *cy, *cex, *cey, n = -1;
  LfsFailAllocationsAfterForTest(0);
  EXPECT_EQ(follow_contour(&cx, &cy, &cex, &cey, &n, 10, 0, 0, 2, 2, 2, 1, LFS_SCAN_CLOCKWISE,
                           img.data(), img.width, img.height),
            LFS_IGNORE);
  EXPECT_EQ(LfsRefusedAllocationsForTest(), 0);
  LfsFailAllocationsAfterForTest(-1);
  EXPECT_EQ(cx, nullptr);
  EXPECT_EQ(n, 0);
}

TEST(LfsContourTest, IsolatedPixelGivesAnEmptyContour) {
  const BinaryImage img = Draw({"...", ".#.", "..."});
  int *cx, *cy, *cex, *cey, n = -1;
  EXPECT_EQ(follow_contour(&cx, &cy, &cex, &cey, &n, 10, -1, -1, 1, 1, 1, 0,
                           LFS_SCAN_CLOCKWISE, img.data(), 3, 3),
            0);
  EXPECT_EQ(n, 0);
  release_contour(cx, cy, cex, cey);
}

TEST(LfsContourTest, ContourReachesCountsItsSteps) {
  const BinaryImage &img = Square3();
  const struct {
    int tx, ty, steps, mode, expected;
  } cases[] = {
      {3, 3, 4, LFS_SCAN_CLOCKWISE, 1},
      {3, 3, 3, LFS_SCAN_CLOCKWISE, 0},
      {3, 3, 4, LFS_SCAN_COUNTER_CLOCKWISE, 1},
      {3, 2, 4, LFS_SCAN_COUNTER_CLOCKWISE, 0},  // fifth step that way
      {2, 2, 20, LFS_SCAN_CLOCKWISE, 0},         // inside, never on the contour
  };
  for (const auto &c : cases)
    EXPECT_EQ(contour_reaches(c.tx, c.ty, c.steps, 1, 1, 1, 0, c.mode, img.data(), 5, 5),
              c.expected)
        << c.tx << "," << c.ty << " in " << c.steps;
  EXPECT_EQ(contour_reaches(3, 3, 20, 2, 2, 2, 1, LFS_SCAN_CLOCKWISE, img.data(), 5, 5), 0);
}

// A ridge band touching the left border, and one clear of every border.
const BinaryImage &Band() {
  static const BinaryImage img = Draw({
      "..........",
      ".########.",
      ".########.",
      "..........",
  });
  return img;
}
const BinaryImage &BorderBand() {
  static const BinaryImage img = Draw({
      "..........",
      "#####.....",
      "#####.....",
      "..........",
  });
  return img;
}
const BinaryImage &Island2() {
  static const BinaryImage img = Draw({
      "....",
      ".##.",
      ".##.",
      "....",
  });
  return img;
}

struct AroundCase {
  const char *name;
  const BinaryImage *img;
  int half, x, y, ex, ey;
  int around_result;
  Pts around;
  int or_loop_result;
  Pts or_loop;
};

TEST(LfsContourTest, ContoursAroundAPixel) {
  const AroundCase cases[] = {
      {"centred on a straight edge", &Band(), 2, 4, 1, 4, 0, 0,
       {{6, 1}, {5, 1}, {4, 1}, {3, 1}, {2, 1}}, 0, {{6, 1}, {5, 1}, {4, 1}, {3, 1}, {2, 1}}},
      {"second half runs into the border", &BorderBand(), 3, 1, 1, 1, 0, LFS_INCOMPLETE, {}, 0,
       {}},
      {"first half closes a small loop", &Island2(), 5, 1, 1, 1, 0, LFS_LOOP_FOUND, {},
       LFS_LOOP_FOUND, {{1, 1}, {1, 2}, {2, 2}, {2, 1}}},
      {"second half closes the loop", &Square3(), 5, 1, 1, 1, 0, LFS_LOOP_FOUND, {}, 0,
       {{2, 3}, {3, 3}, {3, 2}, {3, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 3}}},
      {"an edge of the pixel's colour", &Band(), 2, 4, 1, 4, 2, LFS_IGNORE, {}, 0, {}},
  };
  for (const AroundCase &c : cases) {
    SCOPED_TRACE(c.name);
    int *cx, *cy, *cex, *cey, n = -1;
    EXPECT_EQ(contour_around(&cx, &cy, &cex, &cey, &n, c.half, c.x, c.y, c.ex, c.ey,
                             c.img->data(), c.img->width, c.img->height),
              c.around_result);
    EXPECT_EQ(minutiae_test::Points(cx, cy, n), c.around);
    if (c.around_result == 0) {
      EXPECT_EQ(n, 2 * c.half + 1);
      EXPECT_EQ(cex[c.half], c.ex);
      EXPECT_EQ(cey[c.half], c.ey);
    }
    release_contour(cx, cy, cex, cey);

    EXPECT_EQ(contour_around_or_loop(&cx, &cy, &cex, &cey, &n, c.half, c.x, c.y, c.ex, c.ey,
                                     c.img->data(), c.img->width, c.img->height),
              c.or_loop_result);
    EXPECT_EQ(minutiae_test::Points(cx, cy, n), c.or_loop);
    release_contour(cx, cy, cex, cey);
  }
}

TEST(LfsContourTest, SharpestTurn) {
  const struct {
    const char *name;
    Pts contour;
    int step;
    int result, index;
    double angle;
  } cases[] = {
      {"straight: no turn, middle index", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0},
       {7, 0}, {8, 0}}, 2, 0, 4, 3.1416015625},
      {"right angle at the corner", {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {4, 2},
       {4, 3}, {4, 4}}, 2, 0, 4, 1.57080078125},
      {"first of equal turns", {{0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 2}}, 1, 0, 1, 1.57080078125},
      {"too short for the step", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 2, LFS_IGNORE, -1, -1.0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> xs, ys;
    for (const auto &[x, y] : c.contour) {
      xs.push_back(x);
      ys.push_back(y);
    }
    int index = -1;
    double angle = -1.0;
    EXPECT_EQ(sharpest_contour_turn(&index, &angle, c.step, xs.data(), ys.data(),
                                    static_cast<int>(xs.size())),
              c.result);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(angle, c.angle);
  }
}

TEST(LfsContourTest, BoundsAndAlignment) {
  const int xs[] = {4, 2, 7, 3};
  const int ys[] = {5, 9, 6, 1};
  int x0, y0, x1, y1;
  contour_bounds(&x0, &y0, &x1, &y1, xs, ys, 4);
  EXPECT_EQ((std::vector<int>{x0, y0, x1, y1}), (std::vector<int>{2, 1, 7, 9}));

  const struct {
    const char *name;
    BinaryImage img;
    int fx, fy, ex, ey;
    std::vector<int> expected;  // fx, fy, ex, ey
  } cases[] = {
      // Feature (1,1), edge (0,0) diagonal.
      {"(fx, ey) differs: edge moves to it", Draw({"..", ".#"}), 1, 1, 0, 0, {1, 1, 1, 0}},
      {"(ex, fy) is feature too: feature moves", Draw({".#", "##"}), 1, 1, 0, 0, {1, 0, 0, 0}},
      {"otherwise the edge moves across", Draw({".#", ".#"}), 1, 1, 0, 0, {1, 1, 0, 1}},
      {"4-adjacent pairs stay", Draw({"..", ".#"}), 1, 1, 1, 0, {1, 1, 1, 0}},
  };
  for (const auto &c : cases) {
    int fx = c.fx, fy = c.fy, ex = c.ex, ey = c.ey;
    align_edge_pixel(&fx, &fy, &ex, &ey, c.img.data(), c.img.width);
    EXPECT_EQ((std::vector<int>{fx, fy, ex, ey}), c.expected) << c.name;
  }
}

}  // namespace
