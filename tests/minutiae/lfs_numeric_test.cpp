// Rounding, snapping, angles and direction arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include "minutiae/lfs_numeric.h"

namespace {

TEST(LfsNumericTest, NearestIntRoundsHalvesAwayFromZero) {
  const struct {
    double v;
    int expected;
  } cases[] = {{0.0, 0},  {0.49, 0},  {0.5, 1},   {1.5, 2},  {2.5, 3},
               {-0.49, 0}, {-0.5, -1}, {-1.5, -2}, {-2.5, -3}, {-2.49, -2}};
  for (const auto &c : cases) EXPECT_EQ(nearest_int(c.v), c.expected) << c.v;
}

TEST(LfsNumericTest, Snap14BringsValuesToMultiplesOf1Over16384) {
  const double q = 1.0 / 16384;
  const struct {
    double v;
    double expected;
  } cases[] = {
      {M_PI, 3.1416015625},      // the start value of the sharpest-turn search
      {M_PI / 2, 1.57080078125},
      {q / 2, q},                // halves away from zero
      {-q / 2, -q},
      {q / 2 - 1e-12, 0.0},
      {1.0 / 3, 5461 * q},
      {5.0, 5.0},
  };
  for (const auto &c : cases) EXPECT_EQ(snap14(c.v), c.expected) << c.v;
}

TEST(LfsNumericTest, DistancesOfPixels) {
  EXPECT_EQ(squared_distance(1, 2, 4, 6), 25.0);
  EXPECT_EQ(distance(1, 2, 4, 6), 5.0);
  EXPECT_EQ(distance(3, 3, 3, 3), 0.0);
}

TEST(LfsNumericTest, AngleToLineHasTheYAxisPointingUp) {
  EXPECT_EQ(angle_to_line(5, 5, 5, 5), 0.0);
  EXPECT_DOUBLE_EQ(angle_to_line(5, 5, 9, 5), 0.0);
  EXPECT_DOUBLE_EQ(angle_to_line(5, 5, 5, 1), M_PI / 2);   // up the image
  EXPECT_DOUBLE_EQ(angle_to_line(5, 5, 5, 9), -M_PI / 2);  // down the image
  EXPECT_DOUBLE_EQ(angle_to_line(5, 5, 1, 5), M_PI);
}

TEST(LfsNumericTest, LineToDirectionCountsClockwiseFromUp) {
  const struct {
    int fx, fy, tx, ty, n;
    int expected;
  } cases[] = {
      {10, 10, 10, 0, 16, 0},    // up
      {10, 10, 20, 10, 16, 8},   // increasing x
      {10, 10, 10, 20, 16, 16},  // increasing y
      {10, 10, 0, 10, 16, 24},   // decreasing x
      {10, 10, 20, 0, 16, 4},    // up and right
      {10, 10, 9, -90, 16, 0},   // just left of up wraps to 0, not 32
      {10, 10, 10, 0, 8, 0},
      {10, 10, 0, 10, 8, 12},
  };
  for (const auto &c : cases)
    EXPECT_EQ(line_to_direction(c.fx, c.fy, c.tx, c.ty, c.n), c.expected)
        << c.tx << "," << c.ty << " n=" << c.n;
}

TEST(LfsNumericTest, DirectionGapIsCircular) {
  const struct {
    int a, b, n, expected;
  } cases[] = {
      {0, 0, 16, 0}, {1, 15, 16, 2}, {15, 1, 16, 2}, {0, 8, 16, 8},
      {3, 10, 16, 7}, {2, 30, 32, 4}, {-1, 3, 16, -1}, {3, -1, 16, -1},
  };
  for (const auto &c : cases)
    EXPECT_EQ(direction_gap(c.a, c.b, c.n), c.expected) << c.a << " " << c.b;
}

}  // namespace
