// The scale space: the pyramids as built (overwritten levels kept), the
// extrema scan with its thresholds and refinement, and the region filter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqScaleSpace.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;
using Grid = std::vector<std::vector<double>>;

float &At(const ST_Image *img, int r, int c) {
  return reinterpret_cast<float *>(img->imageData + r * img->rowBytes)[c];
}

// Clipped box mean of side `size` in double precision.
Grid Box(const Grid &g, int size) {
  const int rows = static_cast<int>(g.size()), cols = static_cast<int>(g[0].size()), h = size / 2;
  Grid out(rows, std::vector<double>(cols));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      double s = 0;
      int n = 0;
      for (int y = std::max(0, r - h); y <= std::min(rows - 1, r + h); ++y)
        for (int x = std::max(0, c - h); x <= std::min(cols - 1, c + h); ++x, ++n) s += g[y][x];
      out[r][c] = s / n;
    }
  return out;
}
Grid Chain(Grid g, const std::vector<int> &sizes) {
  for (int s : sizes) g = Box(g, s);
  return g;
}
void ExpectNear(const ST_Image *img, const Grid &g, const std::string &what) {
  double worst = 0;
  for (int r = 0; r < img->height; ++r)
    for (int c = 0; c < img->width; ++c) worst = std::max(worst, std::fabs(At(img, r, c) - g[r][c]));
  EXPECT_LT(worst, 2e-3) << what;
}

TEST(GaussPyr, KeepsTheLevelsTheNextBlurOverwrote) {
  // imageMode 4: levels 1, 2 take {3,3,3}, levels 3..5 {3,3,5}. Each level
  // is left holding all but the last pass of the next level's chain (odd
  // counts), and octave 1 starts from the overwritten level 3.
  ZqAlgModeResetForTest();
  gAlgMode.imageMode = 4;
  ST_Size size = {18, 22};
  ST_Image *base = ZqCreateImage(&size, DEPTH_32F);
  Grid b(18, std::vector<double>(22));
  for (int r = 0; r < 18; ++r)
    for (int c = 0; c < 22; ++c) b[r][c] = At(base, r, c) = static_cast<float>((r * 37 + c * 91) % 256);
  ST_Image ***g = ZqBuildGaussPyr(base, 2, 3);
  ASSERT_NE(g, nullptr);
  const std::vector<int> t3 = {3, 3, 3}, t5 = {3, 3, 5}, two = {3, 3};
  const Grid l1 = Chain(b, t3), l2 = Chain(l1, t3), l3 = Chain(l2, t5), l4 = Chain(l3, t5);
  const Grid l5 = Chain(l4, t5);
  ExpectNear(g[0][0], Chain(b, two), "level 0 keeps two of level 1's passes");
  ExpectNear(g[0][1], Chain(l1, two), "level 1");
  ExpectNear(g[0][2], Chain(l2, two), "level 2");
  ExpectNear(g[0][3], Chain(l3, two), "level 3");
  ExpectNear(g[0][5], l5, "the last level is not overwritten");
  // Octave 1 starts from every second pixel of the overwritten level 3,
  // and is itself overwritten by its level 1.
  const Grid ov3 = Chain(l3, two);
  Grid half(9, std::vector<double>(11));
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 11; ++c) half[r][c] = ov3[2 * r][2 * c];
  ASSERT_EQ(g[1][0]->width, 11);
  ASSERT_EQ(g[1][0]->height, 9);
  ExpectNear(g[1][0], Chain(half, two), "octave 1 level 0");
  // Differences: slot m = level m - level m + 1, the extra slot zero.
  ST_Image ***d = ZqBuildDogPyr(g, 2, 3);
  ASSERT_NE(d, nullptr);
  for (int o = 0; o < 2; ++o)
    for (int r = 0; r < g[o][0]->height; ++r)
      for (int c = 0; c < g[o][0]->width; ++c) {
        for (int m = 0; m < 5; ++m) EXPECT_EQ(At(d[o][m], r, c), At(g[o][m], r, c) - At(g[o][m + 1], r, c));
        EXPECT_EQ(At(d[o][5], r, c), 0.0f);
      }
  ZqClearDogPyr(d, 2, 3);
  for (int m = 0; m < 6; ++m) EXPECT_EQ(At(d[1][m], 4, 4), 0.0f);
  ZqReleasePyr(&g, 2, 6);
  ZqReleasePyr(&d, 2, 6);
  EXPECT_EQ(g, nullptr);
  ZqReleaseImage(&base);
  ZqAlgModeResetForTest();
}

TEST(GaussPyr, RefusesLevelsTheBlurDoesNotHave) {
  ST_Size size = {16, 16};
  ST_Image *base = ZqCreateImage(&size, DEPTH_32F);
  LibLogCapture log;
  EXPECT_EQ(ZqBuildGaussPyr(base, 2, 4), nullptr);
  EXPECT_EQ(ZqBuildGaussPyr(base, 2, 0), nullptr);
  EXPECT_EQ(ZqBuildGaussPyr(nullptr, 2, 3), nullptr);
  EXPECT_EQ(log.Messages().back(), "ZqBuildGaussPyr...base = NULL");
  ZqReleaseImage(&base);
}

// A difference pyramid of one octave, intvls 3 (slots 0..5), 32 x 32, with
// D(s)(r, c) = f(s, r, c).
struct Dog {
  std::vector<ST_Image *> slots;
  ST_Image **oct;
  ST_Image ***pyr = &oct;
  explicit Dog(const std::function<double(int, int, int)> &f, int rows = 32, int cols = 32) {
    ST_Size size = {rows, cols};
    for (int s = 0; s < 6; ++s) {
      slots.push_back(ZqCreateImage(&size, DEPTH_32F));
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) At(slots[s], r, c) = static_cast<float>(f(s, r, c));
    }
    oct = slots.data();
  }
  ~Dog() {
    for (ST_Image *img : slots) ZqReleaseImage(&img);
  }
  // Runs the scan and returns the keypoints (data freed).
  std::vector<ST_DetectFeature> Scan(float contrThr = 0.02f, int32_t *ret = nullptr) {
    ST_MemStorage *storage = ZqCreateMemStorage(0);
    ST_Seq *seq = nullptr;
    const int32_t r = ZqScaleSpaceExtrema(pyr, 1, 3, 15, &seq, storage, contrThr);
    if (ret != nullptr) *ret = r;
    std::vector<ST_DetectFeature> out;
    for (int k = 0; seq != nullptr && k < seq->total; ++k) {
      auto *f = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(seq, k));
      ST_DetectFeature copy = *f;
      intvs.push_back(f->ddata->intv);
      ZqSafeFree(f->ddata);
      copy.ddata = nullptr;
      out.push_back(copy);
    }
    ZqReleaseMemStorage(&storage);
    return out;
  }
  std::vector<int> intvs;
};

// A bump of height amp(s) centred at (y, x) with widths sr (rows), sc (cols).
std::function<double(int, int, int)> Bump(double y, double x, double sr, double sc,
                                          std::vector<double> amp) {
  return [=](int s, int r, int c) {
    return amp[s] * std::exp(-(r - y) * (r - y) / (2 * sr * sr) - (c - x) * (c - x) / (2 * sc * sc));
  };
}

// A peak at (row 15, column x0, interval s0) on a ridge running diagonally
// in (column, interval): the sample at column 15, interval 3 is the discrete
// maximum, and the refinement steps by the true offsets.
std::function<double(int, int, int)> Ridge(double x0, double s0) {
  return [=](int s, int r, int c) {
    const double u = (c - x0) + (s - s0), w = (c - x0) - (s - s0);
    return 10 - u * u - 0.05 * w * w - 0.5 * (r - 15) * (r - 15);
  };
}

TEST(ScaleSpaceExtrema, FindsAndRefinesBumps) {
  const std::vector<double> peak2 = {0, 2, 5, 2, 0, 0};
  struct Case {
    std::string what;
    std::function<double(int, int, int)> f;
    size_t found;
    int kind = 0;
    float x = 0, y = 0;
    int intv = 0;
  };
  const std::vector<Case> cases = {
      {"bright bump", Bump(15.3, 16.2, 2, 2, peak2), 1, 1, 16.2f, 15.3f, 2},
      {"dark bump", Bump(12, 19, 2, 2, {0, -2, -5, -2, 0, 0}), 1, 0, 19, 12, 2},
      {"too weak: |v| must exceed contrThr 127.5 / intvls", Bump(15, 15, 2, 2, {0, 0.3, 0.84, 0.3, 0, 0}), 0},
      {"strong enough", Bump(15, 15, 2, 2, {0, 0.3, 0.9, 0.3, 0, 0}), 1, 1, 15, 15, 2},
      {"ridge: edge-like", Bump(15, 15, 1.2, 12, peak2), 0},
      {"inside the border of interval 2 (8)", Bump(15, 7, 2, 2, peak2), 0},
      {"on the border of interval 2", Bump(15, 8, 2, 2, peak2), 1, 1, 8, 15, 2},
      {"refined past the last interval", Ridge(14.7, 3.7), 0},
      {"refined within it", Ridge(14.7, 3.3), 1, 1, 14.7f, 15, 3},
  };
  for (const Case &c : cases) {
    Dog dog(c.f);
    const std::vector<ST_DetectFeature> kp = dog.Scan();
    ASSERT_EQ(kp.size(), c.found) << c.what;
    if (c.found == 0) continue;
    EXPECT_EQ(kp[0].kind, c.kind) << c.what;
    EXPECT_NEAR(kp[0].x, c.x, 0.15) << c.what;
    EXPECT_NEAR(kp[0].y, c.y, 0.15) << c.what;
    EXPECT_EQ(dog.intvs[0], c.intv) << c.what;
  }
}

// The eight- and four-column screens find exactly the keypoints of the
// column-by-column one, in the same order: noisy fields with many extrema,
// plateaus (equal neighbours do not beat a pixel), zeros and both signs, a
// NaN here and there, and widths that leave columns over after the groups.
TEST(ScaleSpaceExtrema, VectorScreensFindWhatTheColumnScanFinds) {
  auto noise = [](unsigned seed, double levels, double nanEvery) {
    return [=](int s, int r, int c) {
      unsigned h = seed ^ static_cast<unsigned>(s * 7919 + r * 104729 + c * 1299709);
      h = (h ^ (h >> 13)) * 0x5bd1e995u;
      h ^= h >> 15;
      if (nanEvery > 0 && h % static_cast<unsigned>(nanEvery) == 0) return std::nan("");
      const double u = static_cast<double>(h % 65536) / 65535.0 * 2.0 - 1.0;  // -1..1
      return levels > 0 ? std::round(u * levels) / levels * 3.0 : u * 3.0;
    };
  };
  struct Case {
    std::string what;
    std::function<double(int, int, int)> f;
    int rows, cols;
  };
  const std::vector<Case> cases = {
      {"noise 32x32", noise(1, 0, 0), 32, 32},
      {"noise 29x37", noise(2, 0, 0), 29, 37},
      {"plateaus of 3 levels", noise(3, 3, 0), 32, 35},
      {"plateaus of 1 level: -3, 0, 3", noise(4, 1, 0), 33, 30},
      {"noise with NaNs", noise(5, 0, 11), 32, 34},
      {"a bump", Bump(15.3, 16.2, 2, 2, {0, 2, 5, 2, 0, 0}), 31, 33},
  };
  for (const Case &c : cases) {
    Dog dog(c.f, c.rows, c.cols);
    const std::vector<ST_DetectFeature> fast = dog.Scan(0.002f);
    const std::vector<int> fastIntvs = dog.intvs;
    dog.intvs.clear();
    ZqScaleSpaceVectorScanForTest(0);
    const std::vector<ST_DetectFeature> plain = dog.Scan(0.002f);
    const std::vector<int> plainIntvs = dog.intvs;
    dog.intvs.clear();
    ZqScaleSpaceVectorScanForTest(4);
    const std::vector<ST_DetectFeature> four = dog.Scan(0.002f);
    ZqScaleSpaceVectorScanForTest(8);
    EXPECT_GT(plain.size(), 0u) << c.what;
    EXPECT_EQ(fastIntvs, plainIntvs) << c.what;
    EXPECT_EQ(dog.intvs, plainIntvs) << c.what;
    for (const std::vector<ST_DetectFeature> *v : {&fast, &four}) {
      const std::string what = c.what + (v == &four ? " (four lanes)" : " (widest)");
      ASSERT_EQ(v->size(), plain.size()) << what;
      for (size_t k = 0; k < plain.size(); ++k) {
        const ST_DetectFeature &f = (*v)[k];
        EXPECT_EQ(std::memcmp(&f.x, &plain[k].x, sizeof(float)), 0) << what << " " << k;
        EXPECT_EQ(std::memcmp(&f.y, &plain[k].y, sizeof(float)), 0) << what << " " << k;
        EXPECT_EQ(f.kind, plain[k].kind) << what << " " << k;
        EXPECT_EQ(std::memcmp(&f.contrast, &plain[k].contrast, sizeof(float)), 0) << what << " " << k;
      }
    }
  }
}

TEST(ScaleSpaceExtrema, ContrastIsTheScannedValue) {
  Dog dog(Bump(15.4, 15, 2, 2, {0, 2, 5, 2, 0, 0}));
  const std::vector<ST_DetectFeature> kp = dog.Scan();
  ASSERT_EQ(kp.size(), 1u);
  EXPECT_EQ(kp[0].contrast, At(dog.slots[2], 15, 15));
}

TEST(ScaleSpaceExtrema, RefusesBadInput) {
  Dog dog(Bump(15, 15, 2, 2, {0, 2, 5, 2, 0, 0}));
  ST_MemStorage *storage = ZqCreateMemStorage(0);
  ST_Seq *seq = nullptr;
  LibLogCapture log;
  EXPECT_EQ(ZqScaleSpaceExtrema(nullptr, 1, 3, 15, &seq, storage, 0.02f), -1);
  EXPECT_EQ(ZqScaleSpaceExtrema(dog.pyr, 1, 3, 15, nullptr, storage, 0.02f), -1);
  EXPECT_EQ(ZqScaleSpaceExtrema(dog.pyr, 1, 3, 15, &seq, nullptr, 0.02f), -1);
  // Past five intervals the border table would be read out of range.
  EXPECT_EQ(ZqScaleSpaceExtrema(dog.pyr, 1, 6, 15, &seq, storage, 0.02f), -1);
  for (const std::string &m : log.Messages()) EXPECT_EQ(m, "ZqScaleSpaceExtrema...input error");
  EXPECT_EQ(log.Messages().size(), 4u);
  ZqReleaseMemStorage(&storage);
}

TEST(InValidPixelSet, KeepsKeypointsWithASetBitLeftOfThemOneRowUp) {
  // 16 x 16 map; a keypoint at (x, y) looks at row trunc(y - 1), columns
  // trunc(x - 1) .. trunc(x + 1) - 1.
  struct Case {
    float x, y;
    bool keep;
  };
  const Case cases[] = {
      {10.5f, 5.2f, true},   // row 4, columns 9 and 10: (4, 9) is set
      {11.5f, 5.2f, false},  // columns 10, 11
      {9.9f, 5.9f, true},    // columns 8, 9
      {8.9f, 5.0f, false},   // columns 7, 8
      {10.5f, 6.0f, false},  // row 5
      {10.5f, 40.0f, false}, // outside the map
      {0.5f, 0.5f, true},    // row trunc(-0.5) = 0, column 0
  };
  uint8_t map[32] = {};
  auto set = [&](int r, int c) { map[(r * 16 + c) / 8] |= static_cast<uint8_t>(1u << ((r * 16 + c) % 8)); };
  set(4, 9);
  set(0, 0);
  ST_MemStorage *storage = ZqCreateMemStorage(0);
  ST_Seq *seq = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), storage);
  std::vector<float> kept;
  for (const Case &c : cases) {
    ST_DetectFeature *f = ZqNewFeature();
    f->x = c.x;
    f->y = c.y;
    ZqSeqPush(seq, f);
    ZqSafeFree(f);
    if (c.keep) kept.push_back(c.x * 100 + c.y);
  }
  const int32_t start = ZqGetMallocCnts();
  ZqInValidPixelSet(seq, map, 16, 16);
  ASSERT_EQ(seq->total, static_cast<int>(kept.size()));
  for (int k = 0; k < seq->total; ++k) {
    auto *f = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(seq, k));
    EXPECT_FLOAT_EQ(f->x * 100 + f->y, kept[k]) << k;
    ZqSafeFree(f->ddata);
  }
  // The dropped keypoints' data was freed.
  EXPECT_EQ(ZqGetMallocCnts(), start - static_cast<int32_t>(kept.size()) -
                                   static_cast<int32_t>(sizeof(cases) / sizeof(cases[0]) - kept.size()));
  ZqReleaseMemStorage(&storage);
}

TEST(ScaleSpaceHelpers, NullInputsAreLogged) {
  LibLogCapture log;
  ZqReleasePyr(nullptr, 1, 1);
  ZqClearDogPyr(nullptr, 1, 1);
  ZqAdjustForImgDbl(nullptr);
  ZqCalcFeatureScales(nullptr, 3, 1.6f);
  ZqInValidPixelSet(nullptr, nullptr, 1, 1);
  const std::vector<std::string> expected = {
      "ZqReleasePyr...pyr == NULL", "ZqClearDogPyr...dogPyr == NULL",
      "ZqAdjustForImgDbl...features == NULL", "ZqCalcFeatureScales...features == NULL",
      "ZqInValidPixelSet...features == NULL"};
  EXPECT_EQ(log.Messages(), expected);
}

}  // namespace
