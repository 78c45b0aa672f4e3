// Block maps: the block grid, pixel maps, the per-block DFT analysis and the
// clean-up steps, on sinusoid gratings and small hand-made maps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "detect_steps.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_tables.h"
#include "support/stderr_capture.h"

namespace {

using minutiae_test::Flat;
using minutiae_test::Grating;
using minutiae_test::GreyImage;
using minutiae_test::Maps;
using minutiae_test::RunMaps;
using testing_support::StderrCapture;

const lfs_params &P() { return lfs_params_V2; }

// Interior blocks (all but the outer ring) of a map.
std::vector<int> Interior(const std::vector<int> &m, int mw, int mh) {
  std::vector<int> out;
  for (int y = 1; y < mh - 1; ++y)
    for (int x = 1; x < mw - 1; ++x) out.push_back(m[y * mw + x]);
  return out;
}

std::vector<int> Ring(const std::vector<int> &m, int mw, int mh) {
  std::vector<int> out;
  for (int y = 0; y < mh; ++y)
    for (int x = 0; x < mw; ++x)
      if (x == 0 || y == 0 || x == mw - 1 || y == mh - 1) out.push_back(m[y * mw + x]);
  return out;
}

// The map as text rows, one character per block: '.' for -1, else the value
// as a hex digit.
std::vector<std::string> Text(const std::vector<int> &m, int mw) {
  std::vector<std::string> rows;
  for (size_t i = 0; i < m.size(); i += mw) {
    std::string row;
    for (int x = 0; x < mw; ++x) row += m[i + x] < 0 ? '.' : "0123456789abcdef"[m[i + x] & 15];
    rows.push_back(row);
  }
  return rows;
}

std::vector<int> FromText(const std::vector<std::string> &rows) {
  std::vector<int> m;
  for (const std::string &row : rows)
    for (char c : row) m.push_back(c == '.' ? -1 : std::stoi(std::string(1, c), nullptr, 16));
  return m;
}

struct Dir2Rad {
  lfs_dir2rad *t = nullptr;
  Dir2Rad() { EXPECT_EQ(init_dir2rad(&t, 16), 0); }
  ~Dir2Rad() { free_dir2rad(t); }
};

TEST(LfsBlockGridTest, OffsetsCoverTheImageWithTheLastRowAndColumnPulledBack) {
  int *offs = nullptr, mw = 0, mh = 0;
  ASSERT_EQ(block_offsets(&offs, &mw, &mh, 300, 400, 0, 8), 0);
  EXPECT_EQ(mw, 38);
  EXPECT_EQ(mh, 50);
  EXPECT_EQ(offs[36], 288);              // a regular block
  EXPECT_EQ(offs[37], 292);              // the last column overlaps it
  EXPECT_EQ(offs[38], 8 * 300);          // the second row
  EXPECT_EQ(offs[49 * 38], 392 * 300);   // the last row, a multiple of 8
  std::free(offs);

  // With padding every offset moves into the padded image.
  ASSERT_EQ(block_offsets(&offs, &mw, &mh, 20, 12, 3, 8), 0);
  EXPECT_EQ(std::vector<int>(offs, offs + 6),
            (std::vector<int>{3 * 26 + 3, 3 * 26 + 11, 3 * 26 + 15, 7 * 26 + 3, 7 * 26 + 11,
                              7 * 26 + 15}));
  std::free(offs);
}

TEST(LfsBlockGridTest, AnImageSmallerThanABlockIsRefused) {
  for (const auto &size : {std::pair<int, int>{7, 100}, {100, 7}}) {
    StderrCapture err;
    int *offs = nullptr, mw = -5, mh = -5;
    EXPECT_EQ(block_offsets(&offs, &mw, &mh, size.first, size.second, 0, 8), -80);
    EXPECT_EQ(err.Text(), "ERROR : block_offsets : image must be at least 8 by 8 in size\n");
    EXPECT_EQ(offs, nullptr);
    EXPECT_EQ(mw, -5);
  }
}

TEST(LfsBlockGridTest, PixelizeSpreadsBlocksAndTheLaterBlockWinsTheOverlap) {
  // 12 x 10 pixels in blocks of 4: 3 x 3 blocks, nothing overlaps across;
  // 10 rows: the last block row starts at 6 and overlaps rows 6..7.
  const std::vector<int> map = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  int *pmap = nullptr;
  ASSERT_EQ(pixelize_map(&pmap, 12, 10, map.data(), 3, 3, 4), 0);
  EXPECT_EQ(pmap[0], 1);
  EXPECT_EQ(pmap[11], 3);
  EXPECT_EQ(pmap[5 * 12 + 5], 5);
  EXPECT_EQ(pmap[6 * 12 + 0], 7);  // row 6 belongs to block row 1 and the last one
  EXPECT_EQ(pmap[9 * 12 + 11], 9);
  std::free(pmap);

  StderrCapture err;
  pmap = nullptr;
  EXPECT_EQ(pixelize_map(&pmap, 12, 10, map.data(), 3, 2, 4), -591);
  EXPECT_EQ(err.Text(), "ERROR : pixelize_map : block dimensions do not match\n");
  EXPECT_EQ(pmap, nullptr);
}

TEST(LfsMapsTest, ParallelRidgesGiveOneDirectionThatTurnsWithThePattern) {
  // The normal of the ridges at 0 degrees gives vertical ridges; turning it
  // by k * 11.25 degrees (clockwise as displayed) turns the block direction
  // by k steps.
  const Maps base = RunMaps(Grating(96, 120, 0.0, 8.0));
  ASSERT_EQ(base.rc, 0);
  const int d0 = base.direction[2 * base.mw + 2];
  const struct {
    double degrees, period;
    int steps;
  } cases[] = {{0, 8, 0},   {0, 12, 0},  {90, 8, 8},  {90, 12, 8},  {45, 8, 4},
               {45, 12, 4}, {-45, 8, -4}, {-45, 12, -4}, {22.5, 8, 2}, {-90, 8, 8}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.degrees << " degrees, period " << c.period);
    const Maps m = RunMaps(Grating(96, 120, c.degrees, c.period));
    ASSERT_EQ(m.rc, 0);
    ASSERT_EQ(m.mw, 12);
    ASSERT_EQ(m.mh, 15);
    const int want = ((d0 + c.steps) % 16 + 16) % 16;
    EXPECT_EQ(Interior(m.direction, m.mw, m.mh), std::vector<int>(10 * 13, want));
    EXPECT_EQ(Ring(m.direction, m.mw, m.mh), std::vector<int>(2 * 12 + 2 * 13, -1));
    EXPECT_EQ(m.low_contrast, std::vector<int>(12 * 15, 0));
    EXPECT_EQ(m.low_flow, std::vector<int>(12 * 15, 0));
    EXPECT_EQ(m.high_curve, std::vector<int>(12 * 15, 0));
  }
}

TEST(LfsMapsTest, AFlatImageHasNoDirectionAndIsLowContrastEverywhere) {
  for (unsigned char grey : {0, 128, 255}) {
    const Maps m = RunMaps(Flat(64, 48, grey));
    ASSERT_EQ(m.rc, 0);
    EXPECT_EQ(m.direction, std::vector<int>(8 * 6, -1));
    EXPECT_EQ(m.low_contrast, std::vector<int>(8 * 6, 1));
    EXPECT_EQ(m.low_flow, std::vector<int>(8 * 6, 0));
    EXPECT_EQ(m.high_curve, std::vector<int>(8 * 6, 0));
  }
}

TEST(LfsMapsTest, HalfFlatHalfRidgesSplitsTheMap) {
  GreyImage img = Grating(128, 96, 90.0, 8.0);
  for (int y = 0; y < 96; ++y)
    for (int x = 64; x < 128; ++x) img.at(x, y) = 128;
  const Maps m = RunMaps(img);
  ASSERT_EQ(m.rc, 0);
  // Windows reach 8 pixels past their block, so the first flat block column
  // (8) still sees ridges; past that the flat side is low-contrast.
  EXPECT_EQ(Text(m.direction, m.mw), (std::vector<std::string>{
                                         "................",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         ".88888888.......",
                                         "................",
                                     }));
  for (int y = 0; y < m.mh; ++y) {
    EXPECT_EQ(m.low_contrast[y * m.mw + 2], 0);
    EXPECT_EQ(m.low_contrast[y * m.mw + 12], 1);
  }
}

TEST(LfsMapsTest, WindowsOfSmallImagesStayInsideThePaddedImage) {
  // Below 17 pixels a side, the window placement alone would put the grids
  // above or left of the padded image; they are kept inside it (checked
  // under the sanitizers), and every block of such a map is on its border.
  for (const auto &size : {std::pair<int, int>{8, 8}, {16, 16}, {12, 40}, {40, 12}}) {
    SCOPED_TRACE(testing::Message() << size.first << " x " << size.second);
    const Maps m = RunMaps(Grating(size.first, size.second, 90.0, 8.0));
    ASSERT_EQ(m.rc, 0);
    EXPECT_EQ(m.direction, std::vector<int>(m.mw * m.mh, -1));
  }

  // With the grids' smallest pad an 8 x 8 image leaves no room for a 24 x 24
  // window at all: nothing is read, and the blocks count as low contrast.
  Dir2Rad d;
  const double coefficients[] = {1, 2, 3, 4};
  lfs_dftwaves *waves = nullptr;
  lfs_rotgrids *grids = nullptr;
  ASSERT_EQ(init_dftwaves(&waves, coefficients, 4, 24), 0);
  ASSERT_EQ(init_rotgrids(&grids, 8, 8, -1, P().first_grid_angle, 16, 24, 24,
                          LFS_RELATIVE_TO_CORNER),
            0);
  ASSERT_EQ(grids->pad, 5);
  const std::vector<unsigned char> image(18 * 18, 20);
  int *dm = nullptr, *lc = nullptr, *lf = nullptr, *hc = nullptr, mw = 0, mh = 0;
  ASSERT_EQ(gen_image_maps(&dm, &lc, &lf, &hc, &mw, &mh, image.data(), 18, 18, d.t, waves,
                           grids, &P()),
            0);
  EXPECT_EQ(mw * mh, 1);
  EXPECT_EQ(lc[0], 1);
  EXPECT_EQ(dm[0], -1);
  for (int *p : {dm, lc, lf, hc}) std::free(p);
  free_dftwaves(waves);
  free_rotgrids(grids);
}

TEST(LfsMapsTest, NonSquareDftGridsAreRefused) {
  Dir2Rad d;
  const double coefficients[] = {1, 2, 3, 4};
  lfs_dftwaves *waves = nullptr;
  lfs_rotgrids *grids = nullptr;
  ASSERT_EQ(init_dftwaves(&waves, coefficients, 4, 24), 0);
  ASSERT_EQ(init_rotgrids(&grids, 64, 64, 13, P().first_grid_angle, 16, 24, 20,
                          LFS_RELATIVE_TO_CORNER),
            0);
  const std::vector<unsigned char> image(90 * 90, 32);
  int *dm = nullptr, *lc = nullptr, *lf = nullptr, *hc = nullptr, mw = 0, mh = 0;
  {
    StderrCapture err;
    EXPECT_EQ(gen_image_maps(&dm, &lc, &lf, &hc, &mw, &mh, image.data(), 90, 90, d.t, waves,
                             grids, &P()),
              -540);
    EXPECT_EQ(err.Text(), "ERROR : gen_image_maps : DFT grids must be square\n");
  }
  {
    StderrCapture err;
    double row[16], *powers[4] = {row, row, row, row};
    EXPECT_EQ(dft_dir_powers(powers, image.data(), 0, 90, waves, grids), -90);
    EXPECT_EQ(err.Text(), "ERROR : dft_dir_powers : DFT grids must be square\n");
  }
  EXPECT_EQ(dm, nullptr);
  free_dftwaves(waves);
  free_rotgrids(grids);
}

TEST(LfsMapsTest, LowContrastComparesTheTenthAndNinetiethPercentiles) {
  // A 24 x 24 window takes its percentiles at the 58th pixel from either end.
  const struct {
    const char *name;
    int high_value, high_count, low_value;
    int low_contrast;
  } cases[] = {
      {"uniform", 20, 0, 20, 1},
      {"range of 5", 25, 288, 20, 0},
      {"range of 4", 24, 288, 20, 1},
      {"57 bright pixels are below the percentile", 40, 57, 20, 1},
      {"58 bright pixels reach it", 40, 58, 20, 0},
      {"values past six bits count as the top level", 255, 288, 255, 1},
      {"the top level against the bottom", 200, 288, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<unsigned char> window(24 * 24, static_cast<unsigned char>(c.low_value));
    for (int i = 0; i < c.high_count; ++i) window[i * 2] = static_cast<unsigned char>(c.high_value);
    int low = -1;
    EXPECT_EQ(low_contrast_block(&low, 0, 24, window.data(), 24, &P()), 0);
    EXPECT_EQ(low, c.low_contrast);
  }
}

TEST(LfsMapsTest, PercentilesThatCannotBeReachedAreErrors) {
  lfs_params p = P();
  p.contrast_percentile = 200;  // asks for more pixels than the window has
  const std::vector<unsigned char> window(8 * 8, 10);
  int low = -1;
  StderrCapture err;
  EXPECT_EQ(low_contrast_block(&low, 0, 8, window.data(), 8, &p), -510);
  EXPECT_EQ(err.Text(), "ERROR : low_contrast_block : min percentile pixel not found\n");
  EXPECT_EQ(low, -1);
}

// Power table of 4 waves x 16 directions, all 0 but what a case sets.
struct Powers {
  double rows[4][16] = {};
  double *ptr[4] = {rows[0], rows[1], rows[2], rows[3]};
};

TEST(LfsDirectionTestsTest, StatisticsRankWavesByPeakTimesNorm) {
  Powers p;
  p.rows[1][3] = 2e5;   // wave 1: peak 2e5 alone, norm 16
  p.rows[2][7] = 4e5;   // wave 2: peak 4e5 over a flat 1e5, norm 16 * 4e5 / 1.9e6
  for (int d = 0; d < 16; ++d)
    if (d != 7) p.rows[2][d] = 1e5;
  p.rows[3][9] = 2e5;   // wave 3: two equal peaks, the first is the peak
  p.rows[3][10] = 2e5;  // direction; norm 8
  int wis[3], dirs[3];
  double maxs[3], norms[3];
  dft_power_stats(wis, maxs, dirs, norms, p.ptr, 4, 16);
  EXPECT_EQ(std::vector<int>(dirs, dirs + 3), (std::vector<int>{3, 7, 9}));
  EXPECT_DOUBLE_EQ(norms[0], 16.0);
  EXPECT_DOUBLE_EQ(norms[1], 4e5 / (1.9e6 / 16));
  EXPECT_DOUBLE_EQ(norms[2], 8.0);
  // Products: 3.2e6, ~1.35e6, 1.6e6.
  EXPECT_EQ(std::vector<int>(wis, wis + 3), (std::vector<int>{0, 2, 1}));

  Powers flat;  // an all-zero wave: the mean is floored, the norm stays 0
  dft_power_stats(wis, maxs, dirs, norms, flat.ptr, 4, 16);
  EXPECT_EQ(std::vector<int>(wis, wis + 3), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(norms[0], 0.0);
}

TEST(LfsDirectionTestsTest, PrimaryTestTakesTheFirstRankedWaveThatPasses) {
  Powers p;
  const int wis[3] = {2, 0, 1};
  const int dirs[3] = {4, 6, 9};
  const struct {
    const char *name;
    double maxs[3], norms[3], low_wave;
    int want;
  } cases[] = {
      {"top ranked passes", {2e5, 2e5, 2e5}, {5, 5, 5}, 0, 9},
      {"top ranked norm too low", {2e5, 2e5, 2e5}, {5, 5, 3.8}, 0, 4},
      {"peak must exceed the minimum", {1e5, 2e5, 1e5}, {5, 5, 5}, 0, 6},
      {"none passes", {1e5, 1e5, 1e5}, {5, 5, 5}, 0, -1},
      {"strong one-cycle wave in the peak direction", {2e5, 2e5, 2e5}, {5, 5, 5}, 5.1e7, -1},
      {"one-cycle wave at the limit", {2e5, 2e5, 2e5}, {5, 5, 5}, 5e7, 9},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    for (int d = 0; d < 16; ++d) p.rows[0][d] = c.low_wave;
    EXPECT_EQ(primary_dir_test(p.ptr, wis, c.maxs, dirs, c.norms, 3, &P()), c.want);
  }
}

TEST(LfsDirectionTestsTest, ForkTestNeedsExactlyOneStrongSide) {
  const struct {
    const char *name;
    double left, right, norm, low_wave;
    int want;
  } cases[] = {
      {"left above 0.7 of the peak, right below", 7.5e5, 6e5, 3.0, 0, 5},
      {"right above, left below", 1e5, 8e5, 3.0, 0, 5},
      {"both above", 7.5e5, 7.5e5, 3.0, 0, -1},
      {"neither", 1e5, 1e5, 3.0, 0, -1},
      {"exactly 0.7 of the peak is not above it", 7e5, 0, 3.0, 0, -1},
      {"norm below 0.75 of the minimum", 7.5e5, 0, 2.8, 0, -1},
      {"norm at 0.75 of the minimum", 7.5e5, 0, 0.75 * 3.8, 0, 5},
      {"strong one-cycle wave", 7.5e5, 0, 3.0, 6e7, -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Powers p;
    const int wis[3] = {1, 0, 2};
    const int dirs[3] = {0, 5, 0};
    const double maxs[3] = {0, 1e6, 0};
    const double norms[3] = {0, c.norm, 0};
    p.rows[0][5] = c.low_wave;
    p.rows[2][3] = c.left;  // the wave of entry 1 is wave 2
    p.rows[2][7] = c.right;
    EXPECT_EQ(fork_dir_test(p.ptr, wis, maxs, dirs, norms, &P()), c.want);
  }
  // The sides wrap round the direction count.
  Powers p;
  const int wis[3] = {0, 1, 2};
  const int dirs[3] = {1, 0, 0};
  const double maxs[3] = {1e6, 0, 0};
  const double norms[3] = {3.0, 0, 0};
  p.rows[1][15] = 8e5;
  EXPECT_EQ(fork_dir_test(p.ptr, wis, maxs, dirs, norms, &P()), 1);
}

TEST(LfsDirectionCleanupTest, ABlockKeepsItsDirectionWithinThreeStepsOfItsNeighbours) {
  Dir2Rad d;
  const struct {
    const char *name;
    std::vector<std::string> map;
    int want;
  } cases[] = {
      {"neighbours 3 steps away", {"777", "747", "777"}, 0},
      {"neighbours 4 steps away", {"888", "848", "888"}, 2},
      {"4 steps the other way, across 0", {"ccc", "c0c", "ccc"}, 2},
      {"only two neighbours with a direction", {"5..", ".5.", "..5"}, 1},
      {"three neighbours suffice", {"5..", ".5.", ".55"}, 0},
      {"neighbours too scattered for a mean", {"048", "c4.", "..."}, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<int> m = FromText(c.map);
    EXPECT_EQ(check_block_direction(1, 1, m.data(), 3, 3, d.t, &P()), c.want);
  }
}

TEST(LfsDirectionCleanupTest, NeighbourMeanAveragesDoubledAngles) {
  Dir2Rad d;
  const struct {
    std::vector<std::string> map;
    int mean, count;
  } cases[] = {
      {{"f1.", ".x.", "..."}, 0, 2},   // 15 and 1 meet at 0, not at 8
      {{"444", "4x4", "444"}, 4, 8},
      {{"...", ".x.", "..."}, -1, 0},
      {{"08.", ".x.", "..."}, -1, 2},  // opposite directions cancel
  };
  for (const auto &c : cases) {
    std::vector<std::string> rows = c.map;
    rows[1][1] = '.';
    const std::vector<int> m = FromText(rows);
    int mean = -9, n = -9;
    double strength = -9;
    neighbour_mean_direction(&mean, &strength, &n, 1, 1, m.data(), 3, 3, d.t);
    EXPECT_EQ(mean, c.mean);
    EXPECT_EQ(n, c.count);
    if (mean < 0) {
      EXPECT_EQ(strength, 0.0);
    }
  }
}

TEST(LfsDirectionCleanupTest, RemovalClearsOutliersAndWhatLosesItsSupport) {
  Dir2Rad d;
  std::vector<int> m = FromText({
      "4444444",
      "4444444",
      "444c444",  // the centre disagrees
      "4444444",
      "4444b44",  // so does this one
      "4444444",
      "......4",  // a corner block with two neighbours
  });
  remove_inconsistent_directions(m.data(), 7, 7, d.t, &P());
  EXPECT_EQ(Text(m, 7), (std::vector<std::string>{
                            "4444444",
                            "4444444",
                            "444.444",
                            "4444444",
                            "4444.44",
                            "4444444",
                            ".......",
                        }));

  // A chain: once its end goes, the next block has too few neighbours, until
  // the whole chain is gone.
  m = FromText({"....", ".33.", "..33", "...3"});
  remove_inconsistent_directions(m.data(), 4, 4, d.t, &P());
  EXPECT_EQ(Text(m, 4), (std::vector<std::string>{"....", "....", "....", "...."}));
}

TEST(LfsDirectionCleanupTest, SmoothingFillsWellSurroundedBlocksAndSkipsLowContrast) {
  Dir2Rad d;
  std::vector<int> m = FromText({
      "55555.",
      "5.5555",
      "555.55",
      "55555.",
      "5555.5",
  });
  std::vector<int> lc(30, 0);
  lc[1 * 6 + 1] = 1;  // low contrast: stays without a direction
  smooth_directions(m.data(), lc.data(), 6, 5, d.t, &P());
  EXPECT_EQ(Text(m, 6), (std::vector<std::string>{
                            "55555.",  // corner-ish: too few neighbours to fill
                            "5.5555",
                            "555555",  // eight neighbours: filled
                            "55555.",  // four neighbours: not filled
                            "5555.5",
                        }));

  // A block with a direction takes the mean of three or more neighbours.
  m = FromText({"666", "636", "..."});
  lc.assign(9, 1);
  lc[4] = 0;
  smooth_directions(m.data(), lc.data(), 3, 3, d.t, &P());
  EXPECT_EQ(m[4], 6);
}

TEST(LfsDirectionCleanupTest, InterpolationWeighsNearerDirectionsMore) {
  const struct {
    const char *name;
    std::vector<std::string> map;
    int low_contrast_x;  // -1 for none; else the low-contrast block in row 1
    int want;            // at block (3, 1)
  } cases[] = {
      {"east at 1, west at 3: 0.75 E + 0.25 W", {"......", "4...8.", "......"}, -1, 7},
      {"north and south at equal distance", {"...c..", "......", "...4.."}, -1, 8},
      {"one direction found is not enough", {"......", "....8.", "......"}, -1, -1},
      {"low contrast ends a search", {"......", "4...8.", "......"}, 1, -1},
      {"four directions", {"...2..", "2....2", "...2.."}, -1, 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> m = FromText(c.map);
    std::vector<int> lc(m.size(), 0);
    if (c.low_contrast_x >= 0) lc[6 + c.low_contrast_x] = 1;
    ASSERT_EQ(interpolate_direction_map(m.data(), lc.data(), 6, 3, &P()), 0);
    EXPECT_EQ(m[1 * 6 + 3], c.want);
  }
}

TEST(LfsDirectionCleanupTest, InterpolationReadsTheMapAsItWas) {
  // Block (1, 1) finds only the 8 to its east in the map as it was; had the
  // block filled before it been visible, it would have found two.
  std::vector<int> m = FromText({"0...", "...8", "4..."});
  std::vector<int> lc(12, 0);
  ASSERT_EQ(interpolate_direction_map(m.data(), lc.data(), 4, 3, &P()), 0);
  EXPECT_EQ(Text(m, 4), (std::vector<std::string>{"0..6", "3..8", "4..7"}));
}

TEST(LfsMorphTest, ClosingFillsHolesAndKeepsIsolatedFlags) {
  std::vector<int> m = FromText({
      "00000000000",
      "00000000000",
      "00000000000",
      "00011100000",
      "00010100000",
      "00011100000",
      "00000000000",
      "00000000000",
      "00000000100",
      "00000000000",
      "00000000000",
  });
  ASSERT_EQ(morph_TF_map(m.data(), 11, 11), 0);
  EXPECT_EQ(Text(m, 11), (std::vector<std::string>{
                             "00000000000",
                             "00000000000",
                             "00000000000",
                             "00011100000",
                             "00011100000",
                             "00011100000",
                             "00000000000",
                             "00000000000",
                             "00000000100",
                             "00000000000",
                             "00000000000",
                         }));
}

TEST(LfsCurvatureTest, SharpDirectionChangesAndTurningNeighboursAreHighCurvature) {
  const struct {
    const char *name;
    std::vector<std::string> map;
    int centre;
  } cases[] = {
      {"neighbour 5 steps away", {"444", "499", "444"}, 1},
      {"neighbour 4 steps away", {"444", "488", "444"}, 0},
      {"no direction, neighbours turn once round", {"024", "e.6", "ca8"}, 1},
      {"turning the other way", {"0ec", "2.a", "468"}, 0},
      {"six neighbours are too few", {"024", "e.6", "c.."}, 0},
      {"seven neighbours are enough", {"024", "e.6", "ca."}, 1},
      {"vorticity 5", {"c22", "6.a", "83e"}, 1},
      {"vorticity 4", {"02d", "d.3", "761"}, 0},
      {"no neighbour with a direction", {"...", "...", "..."}, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<int> m = FromText(c.map);
    int *hc = nullptr;
    ASSERT_EQ(gen_high_curve_map(&hc, m.data(), 3, 3, &P()), 0);
    EXPECT_EQ(hc[4], c.centre);
    std::free(hc);
  }
  const std::vector<int> round = FromText({"024", "e.6", "ca8"});
  EXPECT_EQ(block_vorticity(1, 1, round.data(), 3, 3, 16), 8);
  const std::vector<int> back = FromText({"0ec", "2.a", "468"});
  EXPECT_EQ(block_vorticity(1, 1, back.data(), 3, 3, 16), -8);
}

// Whole 3 x 3 maps: a block's curvature looks only at neighbours inside the
// map that have a direction.
TEST(LfsCurvatureTest, OnlyDirectedNeighboursInsideTheMapCount) {
  const struct {
    const char *name;
    std::vector<std::string> map, expected;
  } cases[] = {
      // Block (2, 0) holds 0 beside 4s: a gap of 4. The block after it in
      // memory, (0, 1), holds 8: no neighbour of (2, 0), nor it of (0, 1).
      {"rows do not wrap at the edges", {"440", "844", "444"}, {"000", "000", "000"}},
      // A gap of exactly 5 at the map's corner marks both sides of it.
      {"corner block with a gap of 5", {"449", "444", "444"}, {"011", "011", "000"}},
      // Undirected neighbours are no neighbours, however far 4 is from -1.
      {"undirected neighbours are ignored", {"...", ".4.", "..4"}, {"000", "000", "000"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<int> m = FromText(c.map);
    int *hc = nullptr;
    ASSERT_EQ(gen_high_curve_map(&hc, m.data(), 3, 3, &P()), 0);
    EXPECT_EQ(Text(std::vector<int>(hc, hc + 9), 3), c.expected);
    std::free(hc);
  }
}

TEST(LfsCurvatureTest, TheOuterRingIsNeverHighCurvature) {
  // After the ring is cleared a ring block has at most five neighbours with
  // a direction, too few for the vorticity test.
  std::vector<int> m = FromText({"02468", "e024a", "c8e6c", "a4028", "86420"});
  clear_map_border(m.data(), 5, 5);
  EXPECT_EQ(Text(m, 5), (std::vector<std::string>{".....", ".024.", ".8e6.", ".402.", "....."}));
  int *hc = nullptr;
  ASSERT_EQ(gen_high_curve_map(&hc, m.data(), 5, 5, &P()), 0);
  const std::vector<int> hcv(hc, hc + 25);
  EXPECT_EQ(Ring(hcv, 5, 5), std::vector<int>(16, 0));
  std::free(hc);
}

}  // namespace
