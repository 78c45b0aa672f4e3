// Block maps, binarisation and the scan with each of their allocations
// refused in turn: each returns the code of the allocation that failed with
// its text, hands out nothing and leaks nothing (checked under the
// sanitizers), and succeeds once every allocation is allowed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "binary_image.h"
#include "detect_steps.h"
#include "minutiae/lfs_binarize.h"
#include "minutiae/lfs_common.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_scan.h"
#include "minutiae/lfs_tables.h"

namespace {

using minutiae_test::BinaryImage;
using minutiae_test::Draw;

const lfs_params &P() { return lfs_params_V2; }

struct Failure {
  int code;
  std::string text;
  bool operator==(const Failure &o) const { return code == o.code && text == o.text; }
};

std::ostream &operator<<(std::ostream &os, const Failure &f) {
  return os << f.code << " " << testing::PrintToString(f.text);
}

// Runs `run` with the first k allocations allowed, k = 0, 1, ..., until it
// succeeds; returns what each refused run gave.
std::vector<Failure> FailuresInTurn(const std::function<int()> &run) {
  std::vector<Failure> out;
  for (int k = 0; k < 1000; ++k) {
    testing::internal::CaptureStderr();
    LfsFailAllocationsAfterForTest(k);
    const int r = run();
    const int refused = LfsRefusedAllocationsForTest();
    LfsFailAllocationsAfterForTest(-1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (refused == 0) {
      EXPECT_EQ(r, 0);
      EXPECT_EQ(err, "");
      return out;
    }
    out.push_back({r, err});
  }
  ADD_FAILURE() << "never succeeded";
  return out;
}

// Tables and a padded 6-bit grating for the block maps.
struct MapInputs {
  static constexpr int kPad = 13, kW = 40, kH = 32;
  lfs_dir2rad *dir2rad = nullptr;
  lfs_dftwaves *waves = nullptr;
  lfs_rotgrids *grids = nullptr;
  std::vector<unsigned char> padded;
  MapInputs() {
    const double coefficients[] = {1, 2, 3, 4};
    EXPECT_EQ(init_dir2rad(&dir2rad, 16), 0);
    EXPECT_EQ(init_dftwaves(&waves, coefficients, 4, 24), 0);
    EXPECT_EQ(init_rotgrids(&grids, kW, kH, kPad, P().first_grid_angle, 16, 24, 24,
                            LFS_RELATIVE_TO_CORNER),
              0);
    padded = minutiae_test::PadAndScale(minutiae_test::Grating(kW, kH, 90.0, 8.0), kPad, P());
  }
  ~MapInputs() {
    free_dir2rad(dir2rad);
    free_dftwaves(waves);
    free_rotgrids(grids);
  }
};

TEST(LfsMapsAllocFailureTest, BlockMapsFailStepByStep) {
  MapInputs in;
  int *dm = nullptr, *lc = nullptr, *lf = nullptr, *hc = nullptr, mw = -1, mh = -1;
  const std::vector<Failure> got = FailuresInTurn([&] {
    const int r = gen_image_maps(&dm, &lc, &lf, &hc, &mw, &mh, in.padded.data(),
                                 MapInputs::kW + 26, MapInputs::kH + 26, in.dir2rad, in.waves,
                                 in.grids, &P());
    if (r != 0) {
      EXPECT_EQ(dm, nullptr);
      EXPECT_EQ(hc, nullptr);
      EXPECT_EQ(mw, -1);
      return r;
    }
    for (int *m : {dm, lc, lf, hc}) std::free(m);
    return 0;
  });
  // 5 x 4 blocks, each with its DFT row sums.
  std::vector<Failure> want = {
      {-81, "ERROR : block_offsets : malloc : blkoffs\n"},
      {-550, "ERROR : gen_initial_maps : malloc : direction_map\n"},
      {-551, "ERROR : gen_initial_maps : malloc : low_contrast_map\n"},
      {-552, "ERROR : gen_initial_maps : malloc : low_flow_map\n"},
      {-40, "ERROR : alloc_dir_powers : malloc : powers\n"},
  };
  for (int w = 0; w < 4; ++w) want.push_back({-41, "ERROR : alloc_dir_powers : malloc : powers[w]\n"});
  want.push_back({-50, "ERROR : alloc_power_stats : malloc : wis\n"});
  want.push_back({-51, "ERROR : alloc_power_stats : malloc : powmaxs\n"});
  want.push_back({-52, "ERROR : alloc_power_stats : malloc : powmax_dirs\n"});
  want.push_back({-53, "ERROR : alloc_power_stats : malloc : pownorms\n"});
  for (int b = 0; b < 20; ++b) want.push_back({-91, "ERROR : dft_dir_powers : malloc : rowsums\n"});
  want.push_back({-660, "ERROR : morph_TF_map : malloc : cimage\n"});
  want.push_back({-661, "ERROR : morph_TF_map : malloc : mimage\n"});
  want.push_back({-520, "ERROR : interpolate_direction_map : malloc : omap\n"});
  want.push_back({-530, "ERROR: gen_high_curve_map : malloc : high_curve_map\n"});
  EXPECT_EQ(got, want);
}

TEST(LfsMapsAllocFailureTest, MapStepsThatFailLeaveTheirMapAsItWas) {
  std::vector<int> map = {0, 1, 0, 1, 0, 1, 0, 1, 0};
  const std::vector<int> before = map;
  const std::vector<int> lc(9, 0);
  EXPECT_EQ(FailuresInTurn([&] {
              const int r = morph_TF_map(map.data(), 3, 3);
              if (r != 0) {
                EXPECT_EQ(map, before);
              }
              return r;
            }),
            (std::vector<Failure>{{-660, "ERROR : morph_TF_map : malloc : cimage\n"},
                                  {-661, "ERROR : morph_TF_map : malloc : mimage\n"}}));
  map = {4, -1, 4, -1, -1, -1, 4, -1, 4};
  const std::vector<int> holes = map;
  EXPECT_EQ(FailuresInTurn([&] {
              const int r = interpolate_direction_map(map.data(), lc.data(), 3, 3, &P());
              if (r != 0) {
                EXPECT_EQ(map, holes);
              }
              return r;
            }),
            (std::vector<Failure>{{-520, "ERROR : interpolate_direction_map : malloc : omap\n"}}));
  int *pmap = nullptr;
  EXPECT_EQ(FailuresInTurn([&] {
              const int r = pixelize_map(&pmap, 8, 8, map.data(), 1, 1, 8);
              if (r == 0) std::free(pmap);
              return r;
            }),
            (std::vector<Failure>{{-81, "ERROR : block_offsets : malloc : blkoffs\n"},
                                  {-590, "ERROR : pixelize_map : malloc : pmap\n"}}));
}

TEST(LfsMapsAllocFailureTest, BinarisationFailsWithItsCode) {
  const int pad = 5, w = 16, h = 8;
  std::vector<unsigned char> padded((w + 2 * pad) * (h + 2 * pad), 20);
  const std::vector<int> dmap = {8, 8};
  lfs_rotgrids *grids = nullptr;
  ASSERT_EQ(init_rotgrids(&grids, w, h, pad, P().first_grid_angle, 16, 7, 9,
                          LFS_RELATIVE_TO_CENTER),
            0);
  unsigned char *out = nullptr;
  int bw = -1, bh = -1;
  EXPECT_EQ(FailuresInTurn([&] {
              const int r = binarize_with_fill(&out, &bw, &bh, padded.data(), w + 2 * pad,
                                               h + 2 * pad, dmap.data(), 2, 1, grids, &P());
              if (r != 0) {
                EXPECT_EQ(out, nullptr);
                EXPECT_EQ(bw, -1);
              } else {
                std::free(out);
              }
              return r;
            }),
            (std::vector<Failure>{{-600, "ERROR : binarize_image_V2 : malloc : bdata\n"}}));
  free_rotgrids(grids);
}

TEST(LfsMapsAllocFailureTest, TheScanFailsWithThePixelMapsAndMinutiaCodes) {
  BinaryImage img = Draw({
      "................",
      "................",
      "................",
      "................",
      "...........##...",
      "................",
      "................",
      "................",
  });
  const std::vector<int> dmap = {0, 0}, zero = {0, 0};
  lfs_minutiae *list = nullptr;
  const std::vector<Failure> got = FailuresInTurn([&] {
    int r = alloc_minutiae(&list, 1000);
    if (r != 0) return r;
    r = scan_for_minutiae(list, img.data(), img.width, img.height, dmap.data(),
                                    zero.data(), zero.data(), 2, 1, &P());
    release_minutiae(list);
    return r;
  });
  const Failure offsets = {-81, "ERROR : block_offsets : malloc : blkoffs\n"};
  const Failure pmap = {-590, "ERROR : pixelize_map : malloc : pmap\n"};
  const Failure minutia = {-230, "ERROR : create_minutia : malloc : minutia\n"};
  // The list, then the three pixel maps, then the dot's four candidates
  // (its top and bottom edges in the row scan, its two sides in the column
  // scan).
  EXPECT_EQ(got, (std::vector<Failure>{
                     {-430, "ERROR : alloc_minutiae : malloc : minutiae\n"},
                     {-431, "ERROR : alloc_minutiae : malloc : minutiae->list\n"},
                     offsets, pmap, offsets, pmap, offsets, pmap, minutia, minutia, minutia,
                     minutia}));
}

TEST(LfsMapsAllocFailureTest, LoopMinutiaeFailWithTheMinutiaCode) {
  BinaryImage img = Draw({
      "......................",
      ".###################..",
      ".###################..",
      "......................",
  });
  // The loop round the island, from its top-left pixel.
  std::vector<int> x = {1}, y = {1}, ex = {1}, ey = {0};
  for (int i = 2; i <= 19; ++i) x.push_back(i), y.push_back(1), ex.push_back(i), ey.push_back(0);
  x.push_back(19), y.push_back(2), ex.push_back(20), ey.push_back(2);
  for (int i = 18; i >= 1; --i) x.push_back(i), y.push_back(2), ex.push_back(i), ey.push_back(3);
  const std::vector<int> lf(img.pixels.size(), 0);
  lfs_minutiae *list = nullptr;
  ASSERT_EQ(alloc_minutiae(&list, 1000), 0);
  const Failure minutia = {-230, "ERROR : create_minutia : malloc : minutia\n"};
  EXPECT_EQ(FailuresInTurn([&] {
              for (int i = list->count - 1; i >= 0; --i) remove_minutia(i, list);
              return loop_to_minutiae(x.data(), y.data(), ex.data(), ey.data(),
                                      static_cast<int>(x.size()), list, img.data(), img.width,
                                      img.height, lf.data(), &P());
            }),
            (std::vector<Failure>{minutia, minutia}));
  EXPECT_EQ(list->count, 2);
  release_minutiae(list);
}

TEST(LfsMapsAllocFailureTest, RefinementFailsWithTheContourCodesAndMovesNothing) {
  BinaryImage img = Draw({
      "........................",
      "........................",
      "........................",
      "...##########...........",
      "...###########..........",
      "...##########...........",
      "........................",
      "........................",
  });
  const std::vector<int> pdir(img.pixels.size(), 8), plow(img.pixels.size(), 0),
      phigh(img.pixels.size(), 1);
  const lfs_scan_image scan = {img.data(), img.width, img.height, pdir.data(), plow.data(),
                               phigh.data()};
  lfs_minutiae *list = nullptr;
  ASSERT_EQ(alloc_minutiae(&list, 10), 0);
  const std::vector<Failure> got = FailuresInTurn([&] {
    int x = 10, y = 3, ex = 10, ey = 2, dir = -1;
    const int r = refine_high_curvature_minutia(&x, &y, &ex, &ey, &dir, list, &scan, &P());
    if (r != 0) {
      EXPECT_EQ((std::vector<int>{x, y, ex, ey, dir}), (std::vector<int>{10, 3, 10, 2, -1}));
    }
    return r;
  });
  ASSERT_FALSE(got.empty());
  for (const Failure &f : got) {
    EXPECT_LE(f.code, -180);
    EXPECT_GE(f.code, -183);
    EXPECT_EQ(f.text.rfind("ERROR : allocate_contour : malloc : contour_", 0), 0u);
  }
  release_minutiae(list);
}

}  // namespace
