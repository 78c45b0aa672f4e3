// Overlap of the sensor frame and of valid pixels under a transform, and
// the keypoint and binarised-image agreement measures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fingers/rng.h"
#include "src/ZqAlg/ZqKpAgreement.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqBinImg.h"
#include "zq_synth_keypoints.h"

namespace {

constexpr int kCols = 16;
constexpr int kRows = 12;

class OverlapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqSetSensorColRow(kCols, kRows);
  }
  void TearDown() override { ZqAlgSettingsResetForTest(); }
};

ST_FullHMatrix Shift(float dx, float dy) { return {1, 0, dx, 0, 1, dy, 0, 0, 1, 0}; }

TEST_F(OverlapTest, ShareOfTheGridKeptInsideTheFrame) {
  struct Case {
    float dx, dy;
    int exact, truncated;  // ZqCalImageOverlap, ZqCalImageOverlap_v1
  };
  const Case cases[] = {
      {0, 0, 100, 100},
      {kCols, 0, 0, 0},
      {-kCols, 0, 0, 6},    // column 15: -1 + 0.5 truncates to 0
      {0, kRows, 0, 0},
      {8, 0, 50, 50},
      {0, -3, 75, 83},
      {0.5f, 0, 100, 93},   // x' = 15.5 is inside, 15.5 + 0.5 truncates to 16
      {-0.4f, 0, 93, 100},  // x' = -0.4 is outside, -0.4 + 0.5 truncates to 0
      {-0.6f, 0, 93, 100},  // -0.1 truncates toward zero: column 0 again
      {-1.6f, 0, 87, 93},
      {8, 6, 25, 25},
  };
  for (const Case &c : cases) {
    const ST_FullHMatrix h = Shift(c.dx, c.dy);
    EXPECT_EQ(ZqCalImageOverlap(&h), c.exact) << c.dx << "," << c.dy;
    EXPECT_EQ(ZqCalImageOverlap_v1(&h), c.truncated) << c.dx << "," << c.dy;
  }
  // A half turn about the origin leaves only (0, 0) inside: 1 of 192.
  const ST_FullHMatrix turn = {-1, 0, 0, 0, -1, 0, 0, 0, 1, 3.1415927f};
  EXPECT_EQ(ZqCalImageOverlap(&turn), 0);
  EXPECT_EQ(ZqCalImageOverlap(nullptr), 0);
  ZqSetSensorColRow(0, 0);
  const ST_FullHMatrix id = Shift(0, 0);
  EXPECT_EQ(ZqCalImageOverlap(&id), 0);
  EXPECT_EQ(ZqCalImageOverlap_v1(&id), 0);
}

// A sub-template holding only a valid mask of the configured frame.
struct MaskedTemplate {
  std::vector<uint8_t> mask;
  ST_SubTemplate t{};
  explicit MaskedTemplate(int cols = kCols, int rows = kRows)
      : mask(static_cast<size_t>(cols * rows / 8 + 1), 0) {
    t.templatePixValid = mask.data();
    t.maskBufSize = static_cast<uint32_t>(mask.size());
  }
  void Set(int x, int y) { ZqPixBitMapSetBit(mask.data(), static_cast<uint32_t>(y * kCols + x), 1); }
  void Column(int x) {
    for (int y = 0; y < kRows; ++y) Set(x, y);
  }
  void All() {
    for (int x = 0; x < kCols; ++x) Column(x);
  }
};

TEST_F(OverlapTest, ValidPixelsAreCountedOverTheFrameOnly) {
  MaskedTemplate m;
  EXPECT_EQ(ZqGetTemplateValidPixelNum(&m.t), 0u);
  m.Set(0, 0);
  m.Set(15, 11);
  m.Set(3, 7);
  m.mask[kCols * kRows / 8] = 0xFF;  // the spare byte after the frame
  EXPECT_EQ(ZqGetTemplateValidPixelNum(&m.t), 3u);
  m.All();
  EXPECT_EQ(ZqGetTemplateValidPixelNum(&m.t), 192u);
  // A mask shorter than the frame is read only as far as it goes.
  m.t.maskBufSize = 2;
  EXPECT_EQ(ZqGetTemplateValidPixelNum(&m.t), 16u);
  EXPECT_EQ(ZqGetTemplateValidPixelNum(nullptr), 0u);
  m.t.templatePixValid = nullptr;
  EXPECT_EQ(ZqGetTemplateValidPixelNum(&m.t), 0u);
}

TEST_F(OverlapTest, CoinAreaAccumulatesCoverOverCalls) {
  MaskedTemplate a, a2, b;
  b.All();
  a.Column(3);
  a2.Column(5);
  std::vector<uint8_t> cover(kCols * kRows, 0);
  uint32_t newCount = 0, count = 77;
  const ST_FullHMatrix h = Shift(1, 0);
  ZqTemplateCoinArea(&a.t, &b.t, &h, cover.data(), &newCount, &count);
  EXPECT_EQ(count, 12u);  // b's column 2 lands on a's column 3
  EXPECT_EQ(newCount, 12u);
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kCols; ++x) EXPECT_EQ(cover[y * kCols + x], x == 2 ? 1 : 0) << x << "," << y;
  ZqTemplateCoinArea(&a.t, &b.t, &h, cover.data(), &newCount, &count);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(newCount, 12u);
  ZqTemplateCoinArea(&a2.t, &b.t, &h, cover.data(), &newCount, &count);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(newCount, 24u);
  // Optional counters.
  ZqTemplateCoinArea(&a2.t, &b.t, &h, cover.data(), nullptr, nullptr);
  ZqTemplateCoinArea(&a2.t, nullptr, &h, cover.data(), &newCount, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(newCount, 24u);
}

TEST_F(OverlapTest, CoinAreaTruncatesAfterAddingAHalf) {
  struct Case {
    float dx;
    int coveredColumn;  // column of b that lands on a's column 3
  };
  // X = trunc(j + dx + 0.5): 0.49 keeps the column, 0.5 moves it, and a
  // negative position above -1 truncates to column 0.
  const Case cases[] = {{0.49f, 3}, {0.5f, 2}, {-0.7f, 4}, {-1.5f, 4}, {-1.51f, 5}};
  for (const Case &c : cases) {
    MaskedTemplate a, b;
    b.All();
    a.Column(3);
    std::vector<uint8_t> cover(kCols * kRows, 0);
    uint32_t newCount = 0, count = 0;
    const ST_FullHMatrix h = Shift(c.dx, 0);
    ZqTemplateCoinArea(&a.t, &b.t, &h, cover.data(), &newCount, &count);
    EXPECT_EQ(count, 12u) << c.dx;
    EXPECT_EQ(cover[c.coveredColumn], 1) << c.dx;
  }
  // With -0.7 columns 0 and 1 both land on column 0 (-0.2 and 0.8).
  MaskedTemplate a, b;
  b.All();
  a.Column(0);
  std::vector<uint8_t> cover(kCols * kRows, 0);
  uint32_t newCount = 0, count = 0;
  const ST_FullHMatrix h = Shift(-0.7f, 0);
  ZqTemplateCoinArea(&a.t, &b.t, &h, cover.data(), &newCount, &count);
  EXPECT_EQ(count, 24u);
  EXPECT_EQ(cover[0], 1);
  EXPECT_EQ(cover[1], 1);
  // Far-away images never count (no wrap into the frame).
  const ST_FullHMatrix far = Shift(65536.0f * 4.0f, 0);
  ZqTemplateCoinArea(&a.t, &b.t, &far, cover.data(), &newCount, &count);
  EXPECT_EQ(count, 0u);
}

ST_Feature At(float x, float y, float ori = 0.0f) {
  ST_Feature f{};
  f.x = x;
  f.y = y;
  f.ori = ori;
  return f;
}

TEST_F(OverlapTest, RecurPointsCountsSampleKeypointsLandingOnTemplateOnes) {
  std::vector<ST_Feature> smp = {At(2, 2), At(5, 5), At(-0.5f, 3), At(15, 11), At(7, 7)};
  std::vector<ST_Feature> tpl = {At(9, 9), At(6, 5), At(2.9f, 2.0f), At(15.5f, 11.5f)};
  ST_SubTemplate s = zq_test::SubTemplateOver(&smp, 3, 2);
  ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, 1, 3);
  const uint64_t bits[4] = {};
  const ST_FullHMatrix id = Shift(0, 0);
  uint8_t pct = 0;
  // In frame: (2, 2), (5, 5), (15, 11), (7, 7); reappearing: (2, 2) at 0.9
  // and (15, 11) at 0.5; (5, 5) is exactly 1 away and does not count.
  EXPECT_EQ(ZqCalImageRecurPoints(bits, bits, nullptr, nullptr, &s, &t, &id, &pct, kRows, kCols), 2);
  EXPECT_EQ(pct, 2 * 100 / 5);
  // Moved by (2, 2) onto (9, 9): one more reappears.
  const ST_FullHMatrix moved = Shift(2, 2);
  EXPECT_EQ(ZqCalImageRecurPoints(bits, bits, nullptr, nullptr, &s, &t, &moved, &pct, kRows, kCols),
            1);  // (7, 7) -> (9, 9); (2, 2) -> (4, 4) no longer
  EXPECT_EQ(ZqCalImageRecurPoints(nullptr, bits, nullptr, nullptr, &s, &t, &id, &pct, kRows, kCols), 0);
  EXPECT_EQ(ZqCalImageRecurPoints(bits, bits, nullptr, nullptr, &s, &t, nullptr, &pct, kRows, kCols), 0);
}

TEST_F(OverlapTest, RecurPointsCountsSamplesOfMoreThan255Keypoints) {
  std::vector<ST_Feature> smp, tpl;
  for (int i = 0; i < 300; ++i) smp.push_back(At(static_cast<float>(i % 16), static_cast<float>(i % 12)));
  tpl = smp;
  ST_SubTemplate s = zq_test::SubTemplateOver(&smp, 150, 150);
  ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, 150, 150);
  const uint64_t bits[4] = {};
  const ST_FullHMatrix id = Shift(0, 0);
  uint8_t pct = 0;
  EXPECT_EQ(ZqCalImageRecurPoints(bits, bits, nullptr, nullptr, &s, &t, &id, &pct, kRows, kCols), 300);
  EXPECT_EQ(pct, 300 * 100 / 301);
}

// Byte masks of the frame, all set.
std::vector<uint8_t> FullMask() { return std::vector<uint8_t>(kCols * kRows, 1); }

double PopVariance(const std::vector<double> &v) {
  double m = 0, q = 0;
  for (double x : v) m += x;
  m /= static_cast<double>(v.size());
  for (double x : v) q += (x - m) * (x - m);
  return q / static_cast<double>(v.size());
}

TEST_F(OverlapTest, KeypointsInTheMatchAreaAndTheirOrientationSpread) {
  struct Case {
    int n;
    float ori0, step;
    bool setA;  // the set the values fall in
    bool hasVar;
  };
  const Case cases[] = {
      {10, 1.40f, 0.03f, true, true},    // around pi/2: set A only
      {9, 1.40f, 0.03f, true, false},    // too few
      {10, -0.2f, 0.04f, false, true},   // around 0: set B only (ori + pi/2)
      {12, -0.2f, 0.04f, false, true},
      {9, -0.2f, 0.04f, false, false},
  };
  const auto smpMask = FullMask(), tplMask = FullMask();
  for (const Case &c : cases) {
    std::vector<ST_Feature> smp;
    std::vector<double> folded;
    for (int i = 0; i < c.n; ++i) {
      const float ori = c.ori0 + c.step * static_cast<float>(i);
      smp.push_back(At(static_cast<float>(i), static_cast<float>(i % 5), ori));
      folded.push_back(c.setA ? (ori < 0 ? ori + M_PI : ori) : ori + M_PI / 2);
    }
    ST_SubTemplate s = zq_test::SubTemplateOver(&smp, c.n, 0);
    std::vector<ST_MatchPoint> list(smp.size());
    int16_t count = -1;
    float var = -1;
    const ST_FullHMatrix id = Shift(0, 0);
    ZqCalcKpNumInMatchArea(&s, smpMask.data(), tplMask.data(), &id, list.data(), &count, &var);
    EXPECT_EQ(count, c.n);
    EXPECT_NEAR(var, c.hasVar ? PopVariance(folded) : 0.0, 1e-4) << c.n << " from " << c.ori0;
    EXPECT_GT(PopVariance(folded), 1e-3);
  }
}

TEST_F(OverlapTest, MatchAreaNeedsBothMasksAndCountsAPositionOnce) {
  auto smpMask = FullMask(), tplMask = FullMask();
  smpMask[1 * kCols + 1] = 0;   // sample pixel (1, 1) invalid
  tplMask[5 * kCols + 10] = 0;  // template pixel (10, 5) invalid
  tplMask[4 * kCols + 2] = 0;   // template pixel (2, 4) invalid, (3, 4) valid
  std::vector<ST_Feature> smp = {
      At(4, 4, 0.5f), At(4, 4, -1.0f),  // a copy with another orientation
      At(1, 1), At(8, 5),               // own pixel invalid; lands on (10, 5)
      At(14.6f, 2), At(0.5f, 4),        // lands outside; lands on 2.5 -> 3 (half away)
      At(3, 9)};
  ST_SubTemplate s = zq_test::SubTemplateOver(&smp, 4, 3);
  std::vector<ST_MatchPoint> list(smp.size());
  int16_t count = -1;
  float var = -1;
  const ST_FullHMatrix h = Shift(2, 0);
  ZqCalcKpNumInMatchArea(&s, smpMask.data(), tplMask.data(), &h, list.data(), &count, &var);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(list[0].x, 4.0f);
  EXPECT_EQ(list[1].x, 0.5f);
  EXPECT_EQ(list[2].x, 3.0f);
  EXPECT_EQ(var, 0.0f);

  // The recall score takes the groups one by one; a template keypoint of the
  // other group recalls nothing.
  std::vector<ST_Feature> tpl = {At(6.4f, 4), At(3.6f, 4.5f),  // group 0
                                 At(5, 9)};                     // group 1: (3, 9) -> (5, 9)
  ST_SubTemplate t = zq_test::SubTemplateOver(&tpl, 2, 1);
  uint16_t out[2] = {9, 9};
  ZqCalcRecallScore(&s, &t, smpMask.data(), tplMask.data(), reinterpret_cast<const ST_HMatrix *>(&h),
                    list.data(), out, &var);
  EXPECT_EQ(out[0], 3);
  // (4, 4) -> (6, 4): 0.4 from (6.4, 4), group 0, recalled. (0.5, 4) ->
  // (2.5, 4), group 1: (3.6, 4.5) is group 0. (3, 9) -> (5, 9): recalled.
  EXPECT_EQ(out[1], 2);
  t.nFeatureNum[0] = 1;  // (3.6, 4.5) moves to group 1, (5, 9) leaves
  t.nFeatureNum[1] = 1;
  ZqCalcRecallScore(&s, &t, smpMask.data(), tplMask.data(), reinterpret_cast<const ST_HMatrix *>(&h),
                    list.data(), out, &var);
  EXPECT_EQ(out[1], 2);  // (6, 4) and (2.5, 4) at 1.1 and 0.5
}

// A refit on keypoint correspondences: the template's keypoints and bits are
// the sample's moved by (1, 0); H says identity.
struct RefitFixture {
  std::vector<ST_Feature> smp, tpl;
  std::vector<uint8_t> smpBin, tplBin, smpMask = FullMask(), tplMask = FullMask();
  explicit RefitFixture(int pairs) {
    fingers::Rng rng(9);
    smpBin.resize(kCols * kRows);
    tplBin.assign(kCols * kRows, 0);
    for (uint8_t &b : smpBin) b = static_cast<uint8_t>(rng.Below(2));
    for (int y = 0; y < kRows; ++y)
      for (int x = 0; x + 1 < kCols; ++x) tplBin[y * kCols + x + 1] = smpBin[y * kCols + x];
    // 5 px apart in x and 4 in y: each has one template keypoint within 3.
    const float pos[][2] = {{2, 2}, {12, 6}, {7, 10}, {7, 2}, {2, 6}, {12, 10}, {12, 2}, {7, 6}, {2, 10}};
    for (int i = 0; i < pairs; ++i) {
      smp.push_back(At(pos[i][0], pos[i][1]));
      tpl.push_back(At(pos[i][0] + 1, pos[i][1]));
    }
    // A keypoint mapped onto x = 0 exactly is not paired (strict frame test).
    smp.push_back(At(0, 4));
    tpl.push_back(At(0.5f, 4));
  }
};

TEST_F(OverlapTest, RefitNeedsEightCorrespondences) {
  const ST_HMatrix id = {1, 0, 0, 0, 1, 0};
  for (int pairs : {8, 7}) {
    RefitFixture f(pairs);
    ST_SubTemplate s = zq_test::SubTemplateOver(&f.smp, pairs + 1, 0);
    ST_SubTemplate t = zq_test::SubTemplateOver(&f.tpl, pairs + 1, 0);
    ST_HMatrix refit = {7, 7, 7, 7, 7, 7};
    float sim = -1;
    const int32_t n = ZqCalcSimScoreRefit(&t, &s, f.tplMask.data(), f.smpMask.data(),
                                          f.tplBin.data(), f.smpBin.data(), 0.5f, &id, &refit, &sim);
    EXPECT_EQ(n, pairs);
    if (pairs == 8) {
      EXPECT_NEAR(refit.a00, 1, 1e-4);
      EXPECT_NEAR(refit.a01, 0, 1e-4);
      EXPECT_NEAR(refit.a02, 1, 1e-3);
      EXPECT_NEAR(refit.a10, 0, 1e-4);
      EXPECT_NEAR(refit.a11, 1, 1e-4);
      EXPECT_NEAR(refit.a12, 0, 1e-3);
      EXPECT_EQ(sim, 1.0f);  // every pixel moved by one agrees
    } else {
      EXPECT_EQ(refit.a00, 7.0f);
      EXPECT_EQ(refit.a12, 7.0f);
      EXPECT_EQ(sim, -1.0f);
    }
  }
  // Only the pixels inside both masks vote: invert the template bits where
  // its mask is off, and nothing changes.
  RefitFixture f(8);
  for (int y = 0; y < kRows; ++y) {
    f.tplMask[y * kCols + 6] = 0;
    f.tplBin[y * kCols + 6] ^= 1;
  }
  ST_SubTemplate s = zq_test::SubTemplateOver(&f.smp, 9, 0);
  ST_SubTemplate t = zq_test::SubTemplateOver(&f.tpl, 9, 0);
  ST_HMatrix refit;
  float sim = -1;
  ZqCalcSimScoreRefit(&t, &s, f.tplMask.data(), f.smpMask.data(), f.tplBin.data(), f.smpBin.data(),
                      0.0f, &id, &refit, &sim);
  EXPECT_EQ(sim, 1.0f);
  f.tplBin[3 * kCols + 7] ^= 1;  // one disagreeing pixel of the 15 x 12 compared
  ZqCalcSimScoreRefit(&t, &s, f.tplMask.data(), f.smpMask.data(), f.tplBin.data(), f.smpBin.data(),
                      0.0f, &id, &refit, &sim);
  EXPECT_NEAR(sim, 1.0f - 1.0f / (14 * 12), 1e-6);
  EXPECT_EQ(ZqCalcSimScoreRefit(&t, &s, nullptr, f.smpMask.data(), f.tplBin.data(), f.smpBin.data(),
                                0.0f, &id, &refit, &sim),
            -1);
}

}  // namespace
