// Straight lines, free paths, searches along a direction and the appearing
// side of a minutia.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "binary_image.h"
#include "minutiae/lfs_line.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;
using Pts = std::vector<std::pair<int, int>>;

Pts Line(int x1, int y1, int x2, int y2) {
  int *xs = nullptr, *ys = nullptr, n = 0;
  EXPECT_EQ(line_points(&xs, &ys, &n, x1, y1, x2, y2), 0);
  Pts out = minutiae_test::Points(xs, ys, n);
  std::free(xs);
  std::free(ys);
  return out;
}

TEST(LfsLineTest, LinePointsIncludeBothEnds) {
  const struct {
    int x1, y1, x2, y2;
    Pts expected;
  } cases[] = {
      {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {3, 1, 0, 0, {{3, 1}, {2, 1}, {1, 0}, {0, 0}}},
      {0, 0, 2, 2, {{0, 0}, {1, 1}, {2, 2}}},
      {4, 0, 2, 2, {{4, 0}, {3, 1}, {2, 2}}},
      {5, 5, 5, 5, {{5, 5}}},
      {2, 0, 2, 3, {{2, 0}, {2, 1}, {2, 2}, {2, 3}}},
      {0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
      {6, 3, 2, 3, {{6, 3}, {5, 3}, {4, 3}, {3, 3}, {2, 3}}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Line(c.x1, c.y1, c.x2, c.y2), c.expected)
        << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
}

TEST(LfsLineTest, LongLinesStepOnePixelAlongTheMajorAxis) {
  const struct {
    int x1, y1, x2, y2;
  } cases[] = {{0, 0, 100, 37}, {250, 300, 3, 299}, {17, 400, 18, 0}, {0, 0, 333, 333}};
  for (const auto &c : cases) {
    const Pts pts = Line(c.x1, c.y1, c.x2, c.y2);
    const int major = std::max(std::abs(c.x2 - c.x1), std::abs(c.y2 - c.y1));
    ASSERT_EQ(static_cast<int>(pts.size()), major + 1);
    EXPECT_EQ(pts.back(), std::make_pair(c.x2, c.y2));
    for (size_t i = 1; i < pts.size(); ++i) {
      EXPECT_LE(std::abs(pts[i].first - pts[i - 1].first), 1);
      EXPECT_LE(std::abs(pts[i].second - pts[i - 1].second), 1);
    }
  }
}

TEST(LfsLineTest, PathIsFreeWithAtMostTwoColourChanges) {
  const BinaryImage img = Draw({"..#..#.."});
  const struct {
    int x2, expected;
  } cases[] = {{1, 1}, {3, 1}, {4, 1}, {5, 0}, {7, 0}};
  for (const auto &c : cases)
    EXPECT_EQ(path_is_free(0, 0, c.x2, 0, img.data(), img.width, img.height, &lfs_params_V2),
              c.expected)
        << c.x2;
}

TEST(LfsLineTest, FindPixelAlongADirection) {
  const BinaryImage row = Draw({".....##"});
  const BinaryImage diag = Draw({"....", "....", "....", "...#"});
  const struct {
    const char *name;
    const BinaryImage *img;
    double sx, sy, dx, dy;
    int colour, steps;
    std::vector<int> expected;  // result, x, y, edge x, edge y
  } cases[] = {
      {"first ridge pixel to the right", &row, 0, 0, 1, 0, 1, 10, {1, 5, 0, 4, 0}},
      {"too few steps", &row, 0, 0, 1, 0, 1, 4, {0, -1, -1, -1, -1}},
      {"leaves the image", &row, 3, 0, -1, 0, 1, 10, {0, -1, -1, -1, -1}},
      {"valley found from inside the ridge", &row, 6, 0, -1, 0, 0, 10, {1, 4, 0, 5, 0}},
      {"a diagonal edge is made 4-adjacent", &diag, 0, 0, M_SQRT1_2 * 1.5, M_SQRT1_2 * 1.5, 1, 5,
       {1, 3, 3, 3, 2}},
  };
  for (const auto &c : cases) {
    int x, y, ex, ey;
    const int r = find_pixel_along(&x, &y, &ex, &ey, c.colour, c.sx, c.sy, c.dx, c.dy, c.steps,
                                   c.img->data(), c.img->width, c.img->height);
    EXPECT_EQ((std::vector<int>{r, x, y, ex, ey}), c.expected) << c.name;
  }
}

TEST(LfsLineTest, AppearingSideOfAMinutia) {
  const struct {
    int x, y, ex, ey, expected;
  } cases[] = {
      {5, 5, 4, 5, 1}, {5, 5, 6, 5, 0}, {5, 5, 5, 4, 1}, {5, 5, 5, 6, 0},
      {5, 5, 4, 6, 1}, {5, 5, 6, 4, 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(is_minutia_appearing(c.x, c.y, c.ex, c.ey), c.expected) << c.ex << "," << c.ey;
  testing::internal::CaptureStderr();
  EXPECT_EQ(is_minutia_appearing(5, 5, 5, 5), -240);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR : is_minutia_appearing : bad configuration of pixels\n");
}

}  // namespace
