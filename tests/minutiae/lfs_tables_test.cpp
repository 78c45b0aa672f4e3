// Direction, wave and rotated-grid tables, padding and recoding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "minutiae/lfs_image.h"
#include "minutiae/lfs_tables.h"

namespace {

TEST(LfsTablesTest, Dir2radHoldsSnappedCosinesOfTwiceTheBlockAngle) {
  lfs_dir2rad *t = nullptr;
  ASSERT_EQ(init_dir2rad(&t, 16), 0);
  EXPECT_EQ(t->ndirs, 16);
  EXPECT_EQ(t->cos[0], 1.0);
  EXPECT_EQ(t->sin[0], 0.0);
  EXPECT_EQ(t->cos[4], 0.0);  // cos(pi/2) is not exactly 0 before snapping
  EXPECT_EQ(t->sin[4], 1.0);
  EXPECT_EQ(t->cos[8], -1.0);
  EXPECT_EQ(t->cos[2], 11585.0 / 16384);  // cos(pi/4) = 0.70710678 snapped
  EXPECT_EQ(t->sin[12], -1.0);
  free_dir2rad(t);
}

TEST(LfsTablesTest, DftWavesMakeTheirCoefficientsCyclesPerWindow) {
  const double coefficients[] = {1.0, 2.0, 3.0, 4.0};
  lfs_dftwaves *t = nullptr;
  ASSERT_EQ(init_dftwaves(&t, coefficients, 4, 24), 0);
  EXPECT_EQ(t->nwaves, 4);
  EXPECT_EQ(t->wavelen, 24);
  for (int w = 0; w < 4; ++w) {
    for (int j = 0; j < 24; ++j) {
      EXPECT_DOUBLE_EQ(t->waves[w]->cos[j], std::cos(2 * M_PI / 24 * coefficients[w] * j));
      EXPECT_DOUBLE_EQ(t->waves[w]->sin[j], std::sin(2 * M_PI / 24 * coefficients[w] * j));
    }
  }
  // Wave 2 (three cycles) is back at its start after 8 samples; not snapped.
  EXPECT_NEAR(t->waves[2]->cos[8], 1.0, 1e-12);
  EXPECT_NE(t->waves[0]->cos[6], 0.0);
  free_dftwaves(t);
}

TEST(LfsTablesTest, RotgridsCheckTheirPad) {
  const struct {
    int pad, w, h, mode;
    int expected_result, expected_pad;
  } cases[] = {
      {-1, 24, 24, LFS_RELATIVE_TO_CORNER, 0, 5},  // (sqrt(1152) - 24) / 2 = 4.97
      {4, 24, 24, LFS_RELATIVE_TO_CORNER, -32, 0},
      {5, 24, 24, LFS_RELATIVE_TO_CORNER, 0, 5},
      {12, 24, 24, LFS_RELATIVE_TO_CORNER, 0, 12},
      {-1, 7, 9, LFS_RELATIVE_TO_CENTER, 0, 5},  // (sqrt(130) - 1) / 2 = 5.2
      {-1, 7, 9, 2, -31, 0},
  };
  for (const auto &c : cases) {
    lfs_rotgrids *t = nullptr;
    testing::internal::CaptureStderr();
    const int r = init_rotgrids(&t, 100, 100, c.pad, M_PI / 2, 16, c.w, c.h, c.mode);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, c.expected_result) << c.pad << " " << c.mode;
    if (r == 0) {
      EXPECT_EQ(t->pad, c.expected_pad);
      EXPECT_EQ(t->ngrids, 16);
      EXPECT_EQ(t->grid_w, c.w);
      EXPECT_EQ(t->grid_h, c.h);
      EXPECT_EQ(t->relative2, c.mode);
      EXPECT_EQ(t->start_angle, M_PI / 2);
      EXPECT_EQ(err, "");
      free_rotgrids(t);
    } else if (r == -32) {
      EXPECT_EQ(err, "ERROR : init_rotgrids : Pad passed is too small\n");
    } else {
      EXPECT_EQ(err, "ERROR : init_rotgrids : Illegal relative flag : 2\n");
    }
  }
}

TEST(LfsTablesTest, RotgridOffsetsFollowTheRotation) {
  // A 3 x 3 centre grid over an image 10 wide with pad 2 (rows of 14).
  lfs_rotgrids *t = nullptr;
  ASSERT_EQ(init_rotgrids(&t, 10, 10, 2, 0.0, 2, 3, 3, LFS_RELATIVE_TO_CENTER), 0);
  const int row = 14;
  std::vector<int> unrotated, quarter;
  for (int j = -1; j <= 1; ++j)
    for (int k = -1; k <= 1; ++k) {
      unrotated.push_back(k + row * j);   // angle 0: the grid as it is
      quarter.push_back(-j + row * k);    // angle pi/2: x = -u, y = k
    }
  EXPECT_EQ(std::vector<int>(t->grids[0], t->grids[0] + 9), unrotated);
  EXPECT_EQ(std::vector<int>(t->grids[1], t->grids[1] + 9), quarter);
  free_rotgrids(t);

  // Corner mode keeps the window's top-left origin: the unrotated grid starts at 0.
  ASSERT_EQ(init_rotgrids(&t, 10, 10, 2, 0.0, 1, 3, 3, LFS_RELATIVE_TO_CORNER), 0);
  EXPECT_EQ(t->grids[0][0], 0);
  EXPECT_EQ(t->grids[0][8], 2 + 2 * row);
  free_rotgrids(t);
}

TEST(LfsTablesTest, PowerTableAndStatsHaveTheirShapes) {
  double **powers = nullptr;
  ASSERT_EQ(alloc_dir_powers(&powers, 4, 16), 0);
  for (int w = 0; w < 4; ++w)
    for (int d = 0; d < 16; ++d) powers[w][d] = w * d;  // every cell writable
  free_dir_powers(powers, 4);

  int32_t *wis, *dirs;
  double *maxs, *norms;
  ASSERT_EQ(alloc_power_stats(&wis, &maxs, &dirs, &norms, 3), 0);
  wis[2] = dirs[2] = 1;
  maxs[2] = norms[2] = 1.0;
  std::free(wis);
  std::free(maxs);
  std::free(dirs);
  std::free(norms);
}

TEST(LfsTablesTest, PadScaleAndRecode) {
  const unsigned char img[] = {10, 20, 30, 40, 50, 60};  // 3 x 2
  unsigned char *padded = nullptr;
  int pw = 0, ph = 0;
  ASSERT_EQ(pad_uchar_image(&padded, &pw, &ph, img, 3, 2, 1, 128), 0);
  ASSERT_EQ(pw, 5);
  ASSERT_EQ(ph, 4);
  const std::vector<unsigned char> expected = {
      128, 128, 128, 128, 128,  //
      128, 10,  20,  30,  128,  //
      128, 40,  50,  60,  128,  //
      128, 128, 128, 128, 128,
  };
  EXPECT_EQ(std::vector<unsigned char>(padded, padded + 20), expected);
  scale_to_6_bits(padded, pw, ph);
  EXPECT_EQ(padded[0], 32);
  EXPECT_EQ(padded[6], 2);
  EXPECT_EQ(padded[13], 15);
  std::free(padded);

  ASSERT_EQ(pad_uchar_image(&padded, &pw, &ph, img, 3, 2, 0, 128), 0);
  EXPECT_EQ(std::vector<unsigned char>(padded, padded + 6),
            std::vector<unsigned char>(img, img + 6));
  gray_to_binary(40, 1, 0, padded, 3, 2);
  EXPECT_EQ(std::vector<unsigned char>(padded, padded + 6),
            (std::vector<unsigned char>{1, 1, 1, 0, 0, 0}));
  gray_to_binary(1, 255, 0, padded, 3, 2);  // back: ridge 0, valley 255
  EXPECT_EQ(std::vector<unsigned char>(padded, padded + 6),
            (std::vector<unsigned char>{0, 0, 0, 255, 255, 255}));
  std::free(padded);
}

}  // namespace
