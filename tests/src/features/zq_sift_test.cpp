// Stages of the fast keypoint detector on constructed inputs: 3 x 3 extrema,
// suppression and the candidate limit, the sort, gradient images,
// orientation histograms and peaks with their copy slots, the descriptor
// histogram and the bit conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "src/features/ZqFeature.h"
#include "src/features/ZqSift.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// An int16 difference image of rows x cols, zero but for the given pixels.
struct Dog {
  int rows, cols;
  std::vector<int16_t> px;
  Dog(int r, int c) : rows(r), cols(c), px(static_cast<size_t>(r) * c, 0) {}
  void Set(int r, int c, int16_t v) { px[static_cast<size_t>(r) * cols + c] = v; }
};

struct Found {
  std::vector<ST_DetectFeature> kept;
  uint16_t candidates = 0;
};

Found Find(const Dog &d, int border = ZQ_SIFT_BORDER) {
  std::vector<ST_DetectFeature> out(ZQ_SIFT_MAX_CANDIDATES), cand(ZQ_SIFT_MAX_CANDIDATES);
  Found f;
  const int32_t n =
      ZqFindExtrema(d.px.data(), d.rows, d.cols, border, out.data(), cand.data(), &f.candidates);
  f.kept.assign(out.begin(), out.begin() + n);
  return f;
}

TEST(SiftExtrema, IsExtremumCodesAndValue) {
  struct Case {
    const char *name;
    int16_t centre, ring, one;  // centre, the 8 neighbours, then neighbour 0 overridden
    int32_t code;
  };
  const Case cases[] = {
      {"positive maximum", 40, 10, 10, 1},
      {"negative minimum", -40, -10, -10, 2},
      {"positive but one neighbour equal", 40, 10, 40, 0},
      {"negative but one neighbour equal", -40, -10, -40, 0},
      {"positive below the ring", 5, 10, 10, 0},
      {"zero above a negative ring", 0, -10, -10, 0},
      {"zero below a positive ring", 0, 10, 10, 0},
      {"plateau", 7, 7, 7, 0},
  };
  for (const Case &c : cases) {
    int16_t img[9];
    for (int16_t &v : img) v = c.ring;
    img[0] = c.one;
    img[4] = c.centre;
    int16_t value = 99;
    EXPECT_EQ(ZqIsExtremum3x3(img, 4, 3, &value), c.code) << c.name;
    EXPECT_EQ(value, c.centre) << c.name;
  }
}

TEST(SiftExtrema, CandidatesCarryPositionContrastAndKind) {
  Dog d(30, 40);
  d.Set(10, 12, 300);
  d.Set(20, 30, -450);
  const Found f = Find(d);
  ASSERT_EQ(f.candidates, 2);
  ASSERT_EQ(f.kept.size(), 2u);
  EXPECT_FLOAT_EQ(f.kept[0].x, 12);
  EXPECT_FLOAT_EQ(f.kept[0].y, 10);
  EXPECT_FLOAT_EQ(f.kept[0].contrast, 300);
  EXPECT_EQ(f.kept[0].kind, 0);  // maximum of the difference: a dark blob
  EXPECT_FLOAT_EQ(f.kept[1].x, 30);
  EXPECT_FLOAT_EQ(f.kept[1].y, 20);
  EXPECT_FLOAT_EQ(f.kept[1].contrast, 450);
  EXPECT_EQ(f.kept[1].kind, 1);
  EXPECT_EQ(f.kept[1].ddata, nullptr);
}

TEST(SiftExtrema, PlateauAndBorderGiveNoCandidate) {
  Dog plateau(30, 30);
  for (int r = 14; r <= 16; ++r)
    for (int c = 14; c <= 16; ++c) plateau.Set(r, c, 50);
  EXPECT_EQ(Find(plateau).candidates, 0);

  // Rows and columns border .. size - border - 1 are scanned.
  struct Case {
    int r, c;
    bool found;
  };
  const Case cases[] = {{6, 15, false}, {7, 15, true}, {22, 15, true}, {23, 15, false},
                        {15, 6, false}, {15, 7, true}, {15, 22, true}, {15, 23, false}};
  for (const Case &c : cases) {
    Dog d(30, 30);
    d.Set(c.r, c.c, 20);
    EXPECT_EQ(Find(d).candidates, c.found ? 1 : 0) << c.r << "," << c.c;
  }
}

TEST(SiftExtrema, SuppressionDropsOnlyStrictlyWeakerNeighbours) {
  struct Case {
    const char *name;
    int dx, dy;
    int16_t a, b;             // a at (15, 15), b at (15 + dy, 15 + dx)
    std::vector<float> kept;  // contrasts kept, scan order
  };
  const Case cases[] = {
      {"3 px apart, weaker dropped", 3, 0, 100, 60, {100}},
      {"3 px apart, weaker first dropped", 3, 0, 60, 100, {100}},
      {"3 px apart diagonally", 3, 3, 100, 60, {100}},
      {"equal contrast both stay", 3, 0, 100, 100, {100, 100}},
      {"equal contrast, opposite kinds", 3, 0, 100, -100, {100, 100}},
      {"opposite kinds still suppress", 0, 3, 100, -60, {100}},
      {"4 px apart both stay", 4, 0, 100, 60, {100, 60}},
      {"3 px in x but 4 in y", 3, 4, 100, 60, {100, 60}},
  };
  for (const Case &c : cases) {
    Dog d(40, 40);
    d.Set(15, 15, c.a);
    d.Set(15 + c.dy, 15 + c.dx, c.b);
    const Found f = Find(d);
    EXPECT_EQ(f.candidates, 2) << c.name;
    std::vector<float> kept;
    for (const ST_DetectFeature &k : f.kept) kept.push_back(k.contrast);
    EXPECT_EQ(kept, c.kept) << c.name;
  }
}

TEST(SiftExtrema, CandidatesPastThe300thAreLostEvenWhenStronger) {
  // 12 rows of 28 isolated maxima, 4 px apart: 336 in scan order, the last
  // far stronger than the rest.
  Dog d(64, 128);
  int placed = 0;
  for (int r = 8; r <= 52; r += 4)
    for (int c = 8; c <= 116; c += 4, ++placed) d.Set(r, c, 10);
  ASSERT_EQ(placed, 336);
  d.Set(52, 116, 1000);
  const Found f = Find(d);
  EXPECT_EQ(f.candidates, 300);
  ASSERT_EQ(f.kept.size(), 300u);
  for (const ST_DetectFeature &k : f.kept) EXPECT_EQ(k.contrast, 10);
  // Scan order: the 300th is row 8 + 4 * (299 / 28), column 8 + 4 * (299 % 28).
  EXPECT_FLOAT_EQ(f.kept[299].y, 8 + 4 * (299 / 28));
  EXPECT_FLOAT_EQ(f.kept[299].x, 8 + 4 * (299 % 28));
}

TEST(SiftExtrema, MaskRestrictsTheScan) {
  Dog d(30, 30);
  d.Set(10, 10, 80);
  d.Set(20, 20, 90);
  std::vector<uint8_t> mask(30 * 30, 0);
  mask[10 * 30 + 10] = 1;
  std::vector<ST_DetectFeature> out(ZQ_SIFT_MAX_CANDIDATES), cand(ZQ_SIFT_MAX_CANDIDATES);
  uint16_t count = 0;
  ASSERT_EQ(
      ZqFindExtremaWithMask(d.px.data(), 30, 30, 7, mask.data(), out.data(), cand.data(), &count),
      1);
  EXPECT_EQ(count, 1);
  EXPECT_FLOAT_EQ(out[0].contrast, 80);
}

TEST(SiftSort, DecreasingContrastKeepsScanOrderOfTies) {
  const float contrast[] = {2, 5, 3, 5, 2, 9};
  std::vector<ST_DetectFeature> f(6);
  for (int i = 0; i < 6; ++i) {
    f[i] = ST_DetectFeature{};
    f[i].contrast = contrast[i];
    f[i].x = static_cast<float>(i);  // identity
  }
  ZqKpSort(f.data(), 6);
  const float order[] = {5, 1, 3, 2, 0, 4};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f[i].x, order[i]) << i;
}

TEST(SiftGradient, RampGivesMagnitudeAndQuantisedAngle) {
  const int rows = 6, cols = 7;
  struct Case {
    int gx, gy;  // S(r, c) = 1000 + gx * c + gy * r
  };
  const Case cases[] = {{100, 7}, {-100, 0}, {100, 0}, {0, -50}, {30, 40}};
  for (const Case &k : cases) {
    std::vector<uint16_t> s(rows * cols), m(rows * cols, 7), a(rows * cols, 7);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        s[r * cols + c] = static_cast<uint16_t>(1000 + k.gx * c + k.gy * r);
    ZqCalcGradMagOri(s.data(), rows, cols, m.data(), a.data());
    const double dx = 2.0 * k.gx, dy = 0.0 - 2.0 * k.gy;  // +0 for a level ramp
    const int mag = static_cast<int>(std::sqrt(dx * dx + dy * dy));
    const double ang = (std::atan2(dy, dx) + kPi) * 4096;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        const bool inner = r > 0 && r < rows - 1 && c > 0 && c < cols - 1;
        if (!inner) {
          EXPECT_EQ(m[r * cols + c], 7);
          EXPECT_EQ(a[r * cols + c], 7);
          continue;
        }
        EXPECT_EQ(m[r * cols + c], mag) << k.gx << "," << k.gy;
        EXPECT_NEAR(a[r * cols + c], ang, 1.0) << k.gx << "," << k.gy;
      }
    }
  }
  // The angle pi (gradient to the left) is the top of the range.
  std::vector<uint16_t> s = {0, 0, 0, 200, 100, 0, 0, 0, 0}, m(9), a(9);
  ZqCalcGradMagOri(s.data(), 3, 3, m.data(), a.data());
  EXPECT_EQ(a[4], 25735);

  std::vector<uint16_t> two(2 * 5, 9), m2(10, 7), a2(10, 7);
  ZqCalcGradMagOri(two.data(), 2, 5, m2.data(), a2.data());
  EXPECT_EQ(m2, std::vector<uint16_t>(10, 7));
}

// M = 1 and A = a everywhere on a rows x cols grid.
struct Field {
  int rows, cols;
  std::vector<uint16_t> m, a;
  Field(int r, int c, uint16_t angle, uint16_t mag = 1)
      : rows(r),
        cols(c),
        m(static_cast<size_t>(r) * c, mag),
        a(static_cast<size_t>(r) * c, angle) {}
};

TEST(SiftOriHist, WindowIsClippedToTheInnerPixels) {
  struct Case {
    float x, y;
    uint32_t pixels;
  };
  const Case cases[] = {
      {20, 20, 225},                         // whole 15 x 15 window
      {0, 0, 7 * 7},                         // rows and columns 1 .. 7
      {2.5f, 20, 10 * 15},                   // round half away: centre 3, columns 1 .. 10
      {2.49f, 20, 9 * 15}, {38, 38, 8 * 8},  // rows and columns 31 .. 38 of 40
  };
  Field f(40, 40, 12867);  // angle 0: bin 18
  for (const Case &c : cases) {
    uint32_t hist[36] = {};
    ZqCalcOriHist(f.m.data(), f.a.data(), 40, 40, hist, c.x, c.y);
    EXPECT_EQ(hist[18], c.pixels) << c.x << "," << c.y;
  }
}

TEST(SiftOriHist, QuantisedAngleToBin) {
  struct Case {
    uint16_t a;
    int bin;
  };
  const Case cases[] = {{0, 0},      {357, 0},   {358, 1},  {12867, 18},
                        {25378, 35}, {25379, 0}, {25735, 0}};
  for (const Case &c : cases) {
    Field f(20, 20, c.a, 3);
    uint32_t hist[36] = {};
    ZqCalcOriHist(f.m.data(), f.a.data(), 20, 20, hist, 10, 10);
    EXPECT_EQ(hist[c.bin], 3u * 225) << c.a;
  }
}

TEST(SiftOriHist, SmoothingIsCircularAndTruncates) {
  uint32_t h[36] = {};
  h[0] = 100;
  h[20] = 3;
  ZqSmoothOriHistInt(h);
  EXPECT_EQ(h[35], 25u);
  EXPECT_EQ(h[0], 50u);
  EXPECT_EQ(h[1], 25u);
  EXPECT_EQ(h[19], 0u);  // 0.75
  EXPECT_EQ(h[20], 1u);  // 1.5
  EXPECT_EQ(h[21], 0u);
  ZqSmoothOriHistInt(h);
  EXPECT_EQ(h[34], 6u);
  EXPECT_EQ(h[0], 37u);  // 6.25 + 25 + 6.25 from the values before the pass
}

// The angle of a bin position t.
float Angle(float t) { return t * 6.283185f / 36.0f - 3.1415925f; }

std::vector<ST_DetectFeature> Slots(int n) {
  std::vector<ST_DetectFeature> f(ZQ_SIFT_MAX_CANDIDATES);
  for (int i = 0; i < ZQ_SIFT_MAX_CANDIDATES; ++i) {
    f[i] = ST_DetectFeature{};
    f[i].contrast = i < n ? static_cast<float>(1000 - i) : -1.0f;  // -1 marks an empty slot
    f[i].x = static_cast<float>(i);
  }
  return f;
}

TEST(SiftOriPeaks, DominantSetsOriAndOtherStrongPeaksAreCopied) {
  struct Case {
    const char *name;
    std::vector<std::pair<int, uint32_t>> bins;
    int first, n;               // arguments
    int newN;                   // result
    std::vector<int> copyBins;  // bins of the copies, in slot order
    int dominant;
  };
  const Case cases[] = {
      {"three peaks above 0.8 max", {{5, 100}, {15, 90}, {25, 80}}, 10, 0, 2, {15, 25}, 5},
      {"one below 0.8 max", {{5, 100}, {15, 90}, {25, 79}}, 10, 0, 1, {15}, 5},
      {"dominant later than a copy", {{3, 90}, {20, 100}}, 10, 4, 5, {3}, 20},
      {"first largest of equal peaks", {{8, 100}, {30, 100}}, 2, 0, 1, {30}, 8},
      {"no room at 170", {{5, 100}, {15, 90}}, 170, 0, 0, {}, 5},
      {"room at 169", {{5, 100}, {15, 90}, {25, 95}}, 169, 0, 2, {15, 25}, 5},
      {"slots end at 299", {{5, 100}, {15, 90}, {25, 95}}, 169, 130, 131, {15}, 5},
  };
  for (const Case &c : cases) {
    uint32_t h[36] = {};
    for (auto [b, v] : c.bins) h[b] = v;
    std::vector<ST_DetectFeature> f = Slots(c.first);
    f[0].kind = 1;
    EXPECT_EQ(ZqAssignOriPeaks(h, f.data(), 0, c.first, c.n), c.newN) << c.name;
    EXPECT_NEAR(f[0].ori, Angle(static_cast<float>(c.dominant)), 1e-6) << c.name;
    for (size_t i = 0; i < c.copyBins.size(); ++i) {
      const ST_DetectFeature &copy = f[c.first + c.n + i];
      EXPECT_EQ(copy.x, 0) << c.name;  // a copy of keypoint 0
      EXPECT_EQ(copy.contrast, 1000) << c.name;
      EXPECT_EQ(copy.kind, 1) << c.name;
      EXPECT_NEAR(copy.ori, Angle(static_cast<float>(c.copyBins[i])), 1e-6) << c.name;
    }
    const int after = c.first + c.newN;
    if (after < ZQ_SIFT_MAX_CANDIDATES) {
      EXPECT_EQ(f[after].contrast, -1.0f) << c.name;
    }
  }
}

TEST(SiftOriPeaks, PeakPositionIsInterpolatedAndWrapped) {
  struct Case {
    int j;
    uint32_t p, b, q;
    float t;
  };
  const Case cases[] = {
      {5, 50, 100, 0, 5.0f - 25.0f / 150.0f},
      {5, 0, 100, 50, 5.0f + 25.0f / 150.0f},
      {0, 60, 100, 0, 36.0f - 30.0f / 140.0f},  // below 0: plus 36
      {35, 0, 100, 60, 35.0f + 30.0f / 140.0f},
  };
  for (const Case &c : cases) {
    uint32_t h[36] = {};
    h[(c.j + 35) % 36] = c.p;
    h[c.j] = c.b;
    h[(c.j + 1) % 36] = c.q;
    std::vector<ST_DetectFeature> f = Slots(1);
    ZqAssignOriPeaks(h, f.data(), 0, 1, 0);
    EXPECT_NEAR(f[0].ori, Angle(c.t), 2e-6) << c.j;
  }
}

// A 40 x 40 gradient field, zero but for three pixels near (20, 20) whose
// angles fall in bins 6, 18 and 30 with equal magnitude: after the two
// smoothing passes three equal strict peaks.
Field ThreePeakField() {
  Field f(40, 40, 0, 0);
  const int bins[] = {6, 18, 30};
  for (int i = 0; i < 3; ++i) {
    const int idx = (18 + i) * 40 + 21;
    f.m[idx] = 100;
    f.a[idx] = static_cast<uint16_t>(bins[i] * 25736 / 36);
  }
  return f;
}

TEST(SiftOriStage, CopiesFollowTheKeypointsInConsecutiveSlots) {
  const Field field = ThreePeakField();
  struct Case {
    int count, total;
  };
  const Case cases[] = {{3, 9}, {169, 170}, {170, 170}, {171, 170}, {250, 170}};
  for (const Case &c : cases) {
    std::vector<ST_DetectFeature> f = Slots(c.count);
    for (int i = 0; i < c.count; ++i) {
      f[i].x = 20;
      f[i].y = 20;
      f[i].kind = i % 2;
    }
    const int32_t total =
        ZqCalcFastFeatureOris(field.m.data(), field.a.data(), 40, 40, f.data(), c.count);
    EXPECT_EQ(total, c.total) << c.count;
    const int kept = c.count < ZQ_SIFT_MAX_KEYPOINTS ? c.count : ZQ_SIFT_MAX_KEYPOINTS;
    for (int i = 0; i < kept; ++i) EXPECT_NEAR(f[i].ori, Angle(6), 1e-6) << c.count;
    if (c.count >= ZQ_SIFT_MAX_KEYPOINTS) {
      // No copies at all: the slots after the 170 keypoints hold what was
      // there (the raw keypoints beyond the cap or empty slots).
      for (int i = ZQ_SIFT_MAX_KEYPOINTS; i < ZQ_SIFT_MAX_CANDIDATES; ++i) {
        EXPECT_EQ(f[i].ori, 0.0f) << c.count << " slot " << i;
      }
      continue;
    }
    // Keypoint k's two copies sit in slots count + 2k and count + 2k + 1.
    for (int k = 0; k < c.count && c.count + 2 * k + 1 < ZQ_SIFT_MAX_CANDIDATES; ++k) {
      for (int s = 0; s < 2; ++s) {
        const ST_DetectFeature &copy = f[c.count + 2 * k + s];
        EXPECT_EQ(copy.contrast, 1000 - k) << c.count << " copy of " << k;
        EXPECT_EQ(copy.kind, k % 2);
        EXPECT_NEAR(copy.ori, Angle(s == 0 ? 18 : 30), 1e-6);
      }
    }
  }
}

TEST(SiftDescrHist, SampleGoesToTheRotatedCellsAndItsAngleBins) {
  // One gradient sample 6 rows below the keypoint at (30, 30).
  struct Case {
    const char *name;
    float ori;
    uint16_t a;        // its quantised angle
    float rbin, cbin;  // where it lands
    float obin;
  };
  const float a0 = 12868 / 4096.0f - 3.1415927f;  // angle of A = 12868
  const Case cases[] = {
      {"ori 0", 0.0f, 12868, 1.5f + 6 / 4.5f, 1.5f, a0 * 1.2732395f},
      {"ori pi/2", 1.5707964f, 12868, 1.5f, 1.5f - 6 / 4.5f,
       (a0 - 1.5707964f + 6.2831855f) * 1.2732395f},
      {"ori -pi/2", -1.5707964f, 12868, 1.5f, 1.5f + 6 / 4.5f, (a0 + 1.5707964f) * 1.2732395f},
  };
  for (const Case &c : cases) {
    Field f(60, 60, 0, 0);
    f.m[36 * 60 + 30] = 90;
    f.a[36 * 60 + 30] = c.a;
    ST_DetectFeature kp{};
    kp.x = 30;
    kp.y = 30;
    kp.ori = c.ori;
    float hist[128] = {};
    descr_hist_v2(f.m.data(), f.a.data(), 60, 60, &kp, hist);
    double total = 0;
    for (float v : hist) total += v;
    EXPECT_NEAR(total, 90, 1e-3) << c.name;  // no Gaussian weight, all cells inside
    for (int r = 0; r < 4; ++r) {
      for (int cc = 0; cc < 4; ++cc) {
        const float wr = std::fmax(0.0f, 1 - std::fabs(c.rbin - r));
        const float wc = std::fmax(0.0f, 1 - std::fabs(c.cbin - cc));
        float cell = 0;
        for (int o = 0; o < 8; ++o) cell += hist[r * 32 + cc * 8 + o];
        EXPECT_NEAR(cell, 90 * wr * wc, 1e-3) << c.name << " cell " << r << "," << cc;
      }
    }
    const int o0 = static_cast<int>(std::floor(c.obin)) % 8;
    float obins[8] = {};
    for (int i = 0; i < 128; ++i) obins[i % 8] += hist[i];
    EXPECT_NEAR(obins[o0], 90 * (1 - (c.obin - std::floor(c.obin))), 1e-2) << c.name;
    EXPECT_NEAR(obins[(o0 + 1) % 8], 90 * (c.obin - std::floor(c.obin)), 1e-2) << c.name;
  }
}

TEST(SiftDescrHist, WindowSkipsTheOuterPixelsAndTheCornersOutsideTheCells) {
  // A uniform field: with ori 0 the samples count for offsets -11 .. 11
  // (rbin, cbin inside (-1, 4)); near the top-left corner only rows and
  // columns from 1.
  Field f(60, 60, 12868, 1);
  struct Case {
    float x, y;
  };
  const Case cases[] = {{30, 30}, {3, 30}, {30.9f, 3.2f}, {57.5f, 56}};
  for (const Case &c : cases) {
    ST_DetectFeature kp{};
    kp.x = c.x;
    kp.y = c.y;
    float hist[128] = {};
    descr_hist_v2(f.m.data(), f.a.data(), 60, 60, &kp, hist);
    // Each counted sample keeps the share of its weight that falls in
    // cells 0..3 of each axis.
    auto share = [](int off) {
      const float b = 1.5f + off * 0.22222222f;
      float s = 0;
      for (int k = 0; k < 4; ++k) s += std::fmax(0.0f, 1 - std::fabs(b - k));
      return s;
    };
    double expect = 0;
    for (int i = -12; i <= 12; ++i) {
      for (int j = -12; j <= 12; ++j) {
        const float rb = 1.5f + i * 0.22222222f, cb = 1.5f + j * 0.22222222f;
        if (!(rb > -1 && rb < 4 && cb > -1 && cb < 4)) continue;
        const int rr = static_cast<int>(c.y + i), cc = static_cast<int>(c.x + j);
        if (rr < 1 || rr > 58 || cc < 1 || cc > 58) continue;
        expect += share(i) * share(j);
      }
    }
    double total = 0;
    for (float v : hist) total += v;
    EXPECT_NEAR(total, expect, 1e-3) << c.x << "," << c.y;
    EXPECT_GT(total, 0);
  }
}

// 128 bins from a function of (cell, bin).
template <typename F>
std::vector<float> Hist(F f) {
  std::vector<float> h(128);
  for (int k = 0; k < 16; ++k)
    for (int o = 0; o < 8; ++o) h[k * 8 + o] = f(k, o);
  return h;
}

std::vector<int> Bits(const ST_Feature &f) {
  std::vector<int> b;
  for (uint32_t i = 0; i < ZQ_DESCR_BITS; ++i)
    if (ZqFeatureDescrBit(&f, i)) b.push_back(static_cast<int>(i));
  return b;
}

TEST(SiftDescrBits, UpperBitsCompareWithTheMeanOfCellO) {
  // Cells constant: cell k holds v[k] in all 8 bins, so each cell equals
  // its own mean and an own-cell comparison would set no upper bit.
  const float v[16] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 3, 8, 1, 7, 2, 6, 4};
  const std::vector<float> h = Hist([&](int k, int) { return v[k]; });
  ST_Feature f;
  std::memset(&f, 0xff, sizeof(f));
  descr_to_binary(h.data(), &f);
  std::vector<int> expect;
  const float m1 = 3.5f, m2 = (9 + 3 + 8 + 1 + 7 + 2 + 6 + 4) / 8.0f;
  for (int k = 0; k < 8; ++k) {
    for (int o = 0; o < 8; ++o) {
      if (v[k] > m1) expect.push_back(16 * k + 2 * o);
      if (v[k + 8] > m2) expect.push_back(16 * k + 2 * o + 1);
    }
  }
  for (int k = 0; k < 8; ++k) {
    for (int o = 0; o < 8; ++o) {
      if (v[k] > v[o]) expect.push_back(128 + 16 * k + 2 * o);
      if (v[k + 8] > v[o + 8]) expect.push_back(128 + 16 * k + 2 * o + 1);
    }
  }
  std::sort(expect.begin(), expect.end());
  EXPECT_EQ(Bits(f), expect);
  // The record's other fields are left alone.
  uint32_t x;
  std::memcpy(&x, &f.x, 4);
  EXPECT_EQ(x, 0xffffffffu);
}

TEST(SiftDescrBits, LowerBitsCompareEachBinWithItsHalfMean) {
  // Bin o of cell k = o + k for the upper half, o * (k - 7) for the lower.
  const std::vector<float> h = Hist([](int k, int o) {
    return k < 8 ? static_cast<float>(o + k) : static_cast<float>(o * (k - 7));
  });
  ST_Feature f{};
  descr_to_binary(h.data(), &f);
  for (int k = 0; k < 8; ++k) {
    for (int o = 0; o < 8; ++o) {
      const float m1 = o + 3.5f, m2 = o * 4.5f;
      EXPECT_EQ(ZqFeatureDescrBit(&f, 16 * k + 2 * o), h[k * 8 + o] > m1 ? 1u : 0u) << k << o;
      EXPECT_EQ(ZqFeatureDescrBit(&f, 16 * k + 2 * o + 1), h[(k + 8) * 8 + o] > m2 ? 1u : 0u);
      const float a = o + 3.5f, b = 3.5f * (o + 1);  // means of cells o and o + 8
      EXPECT_EQ(ZqFeatureDescrBit(&f, 128 + 16 * k + 2 * o), h[k * 8 + o] > a ? 1u : 0u);
      EXPECT_EQ(ZqFeatureDescrBit(&f, 128 + 16 * k + 2 * o + 1), h[(k + 8) * 8 + o] > b ? 1u : 0u);
    }
  }
}

TEST(SiftDescrBits, OtherLayouts) {
  const float v[16] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 3, 8, 1, 7, 2, 6, 4};
  const std::vector<float> h = Hist([&](int k, int) { return v[k]; });
  float evenMean = 0, oddMean = 0;
  for (int k = 0; k < 16; k += 2) evenMean += v[k] / 8;
  for (int k = 1; k < 16; k += 2) oddMean += v[k] / 8;
  ST_Feature f2{};
  descr_to_binary_v2(h.data(), &f2);
  for (int k = 0; k < 16; ++k) {
    for (int o = 0; o < 8; ++o) {
      EXPECT_EQ(ZqFeatureDescrBit(&f2, 8 * k + o), v[k] > (k % 2 ? oddMean : evenMean) ? 1u : 0u);
      if (k < 8) {
        EXPECT_EQ(ZqFeatureDescrBit(&f2, 128 + 8 * k + o), v[k] > v[o] ? 1u : 0u);
        EXPECT_EQ(ZqFeatureDescrBit(&f2, 192 + 8 * k + o), v[k + 8] > v[o + 8] ? 1u : 0u);
      }
    }
  }
  // v3: the second histogram is compared with the half means of the first.
  std::vector<float> h3(h);
  for (int k = 0; k < 16; ++k)
    for (int o = 0; o < 8; ++o) h3.push_back(static_cast<float>(o));
  ST_Feature f3{};
  descr_to_binary_v3(h3.data(), &f3);
  const float m1 = 3.5f, m2 = 5.0f;
  for (int k = 0; k < 16; ++k) {
    for (int o = 0; o < 8; ++o) {
      EXPECT_EQ(ZqFeatureDescrBit(&f3, 8 * k + o), ZqFeatureDescrBit(&f2, 8 * k + o));
      EXPECT_EQ(ZqFeatureDescrBit(&f3, 128 + 8 * k + o), o > (k < 8 ? m1 : m2) ? 1u : 0u);
    }
  }
}

}  // namespace
