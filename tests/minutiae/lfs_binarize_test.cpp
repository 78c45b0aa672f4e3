// Binarisation: the directional pixel decision, blocks without direction,
// single-pixel gaps, and gratings binarised into their ridges and valleys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "detect_steps.h"
#include "minutiae/lfs_binarize.h"
#include "minutiae/lfs_tables.h"

namespace {

using minutiae_test::Grating;
using minutiae_test::RunScan;
using minutiae_test::Scan;

const lfs_params &P() { return lfs_params_V2; }

TEST(LfsGapFillTest, LonePixelsTakeTheirNeighboursValue) {
  const struct {
    const char *name;
    int w, h;
    std::vector<unsigned char> in, out;
  } cases[] = {
      {"a lone black pixel in a row turns white", 3, 1, {255, 0, 255}, {255, 255, 255}},
      {"a lone white pixel in a row turns black", 3, 1, {0, 255, 0}, {0, 0, 0}},
      {"alternating pixels all take the first value", 5, 1, {0, 255, 0, 255, 0}, {0, 0, 0, 0, 0}},
      {"a gap of two stays", 4, 1, {255, 0, 0, 255}, {255, 0, 0, 255}},
      {"the row ends are left alone", 2, 1, {0, 255}, {0, 255}},
      {"a lone pixel in a column", 1, 3, {255, 0, 255}, {255, 255, 255}},
      // Rows first: the bottom row's lone 0 turns 255, and then the middle
      // column no longer holds a lone 255 (columns first would clear it).
      {"rows before columns", 3, 3, {0, 0, 0, 0, 255, 255, 255, 0, 255},
       {0, 0, 0, 0, 255, 255, 255, 255, 255}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> img = c.in;
    fill_single_pixel_gaps(img.data(), c.w, c.h);
    EXPECT_EQ(img, c.out);
  }
}

// The binarisation grids of the detector for an image of width iw.
struct BinGrids {
  lfs_rotgrids *t = nullptr;
  BinGrids(int iw, int pad) {
    EXPECT_EQ(init_rotgrids(&t, iw, iw, pad, P().first_grid_angle, 16, 7, 9,
                            LFS_RELATIVE_TO_CENTER),
              0);
  }
  ~BinGrids() { free_rotgrids(t); }
};

TEST(LfsBinarizeTest, APixelIsValleyWhenItsRowIsAtLeastTheMeanRow) {
  // Direction 8: grid rows are horizontal lines 7 pixels long, stacked
  // vertically over 9 rows round the pixel. Image 10 x 10 padded by 5,
  // pixel (10, 10) of the padded image.
  const struct {
    const char *name;
    int centre_row_value, other_rows_value;
    int want;
  } cases[] = {
      {"darker than its neighbourhood: ridge", 10, 30, 0},
      {"brighter: valley", 30, 10, 255},
      {"equal: valley", 20, 20, 255},
  };
  BinGrids g(10, 5);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> img(400, static_cast<unsigned char>(c.other_rows_value));
    for (int x = 0; x < 20; ++x) img[10 * 20 + x] = static_cast<unsigned char>(c.centre_row_value);
    EXPECT_EQ(binarize_pixel(img.data(), 10 * 20 + 10, g.t, 8), c.want);
  }
  // Along direction 0 the grid rows are vertical: a dark row across the
  // flow is only one pixel of each grid row and does not decide alone.
  std::vector<unsigned char> img(400, 30);
  for (int x = 0; x < 20; ++x) img[10 * 20 + x] = 0;
  EXPECT_EQ(binarize_pixel(img.data(), 10 * 20 + 10, g.t, 0), 255);
}

TEST(LfsBinarizeTest, BlocksWithoutDirectionAreWhiteAndTheSizeDropsThePad) {
  const int pad = 5, w = 16, h = 8, pw = w + 2 * pad, ph = h + 2 * pad;
  std::vector<unsigned char> padded(pw * ph, 40);
  for (int x = 0; x < pw; ++x) padded[(pad + 3) * pw + x] = 0;  // a dark row
  const std::vector<int> dmap = {8, -1};
  BinGrids g(w, pad);
  unsigned char *out = nullptr;
  int bw = 0, bh = 0;
  ASSERT_EQ(binarize_image_V2(&out, &bw, &bh, padded.data(), pw, ph, dmap.data(), 2, 1, g.t,
                              &P()),
            0);
  ASSERT_EQ(bw, w);
  ASSERT_EQ(bh, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      SCOPED_TRACE(testing::Message() << x << ", " << y);
      EXPECT_EQ(out[y * w + x], x < 8 && y == 3 ? 0 : 255);
    }
  }
  std::free(out);
}

TEST(LfsBinarizeTest, GratingsBinariseIntoTheirRidgesAndValleys) {
  for (double degrees : {0.0, 90.0, 45.0, 22.5}) {
    SCOPED_TRACE(testing::Message() << degrees << " degrees");
    const Scan s = RunScan(Grating(96, 96, degrees, 8.0));
    ASSERT_EQ(s.rc, 0);
    ASSERT_EQ(s.bw, 96);
    ASSERT_EQ(s.bh, 96);
    const double a = degrees * M_PI / 180.0;
    int wrong = 0, checked = 0;
    for (int y = 0; y < 96; ++y) {
      for (int x = 0; x < 96; ++x) {
        const unsigned char v = s.binary[y * 96 + x];
        if (x < 8 || y < 8 || x >= 88 || y >= 88) {
          EXPECT_EQ(v, 0) << "the outer ring of blocks has no direction: valley";
          continue;
        }
        const double c = std::cos(2.0 * M_PI * (x * std::cos(a) + y * std::sin(a)) / 8.0);
        if (std::fabs(c) < 0.75) continue;  // near the ridge edges either is fine
        ++checked;
        wrong += v != (c < 0 ? 1 : 0);
      }
    }
    EXPECT_GT(checked, 1500);
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace
