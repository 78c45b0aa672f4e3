// Spatial smoothing: FastConv, the histogram stretch and ZqSpaSmooth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "src/alloc_failure.h"
#include "src/finger_frames.h"
#include "src/image/ZqSpatialFilter.h"

namespace {

using testing_support::FailHeapAfter;

TEST(FastConv, UniformImagesBecomeZero) {
  for (uint8_t level : {0, 1, 77, 255}) {
    std::vector<uint8_t> img(6 * 9, level);
    ASSERT_EQ(FastConv(img.data(), 6, 9, 2, 0.8f / 1200), 1);
    EXPECT_EQ(img, std::vector<uint8_t>(54, 0)) << int{level};
  }
}

// A 100 impulse in the middle of a 5 x 5 zero image with r = 1: the tent
// weights are 1 2 1 each way, the centre's own weight 4, so N is 0 at the
// impulse, 200 beside it and 100 on its diagonals.
TEST(FastConv, ImpulseByHand) {
  struct Case {
    float factor;
    std::vector<uint8_t> want;
  } cases[] = {
      // t: centre 100, beside -20, diagonal -10, rest 0; min -20.
      {0.1f, {20, 20, 20, 20, 20,  //
              20, 10, 0, 10, 20,   //
              20, 0, 120, 0, 20,   //
              20, 10, 0, 10, 20,   //
              20, 20, 20, 20, 20}},
      // t: centre 100, beside 400, diagonal 200; min 0; 400 > 255 keeps 0.
      {-2.0f, {0, 0, 0, 0, 0,      //
               0, 200, 0, 200, 0,  //
               0, 0, 100, 0, 0,    //
               0, 200, 0, 200, 0,  //
               0, 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> img(25, 0);
    img[12] = 100;
    ASSERT_EQ(FastConv(img.data(), 5, 5, 1, c.factor), 1);
    EXPECT_EQ(img, c.want) << c.factor;
  }
}

TEST(FastConv, RefusalsLeaveTheImage) {
  std::vector<uint8_t> img(4 * 6), keep;
  for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i * 9);
  keep = img;
  EXPECT_EQ(FastConv(nullptr, 4, 6, 1, 0.1f), 0);
  EXPECT_EQ(FastConv(img.data(), 4, 6, 0, 0.1f), 0);
  EXPECT_EQ(FastConv(img.data(), 4, 6, 5, 0.1f), 0);  // above the smaller side
  for (int ok : {0, 1, 2}) {
    FailHeapAfter fail(ok);
    EXPECT_EQ(FastConv(img.data(), 4, 6, 1, 0.1f), 0);
  }
  EXPECT_EQ(img, keep);
  EXPECT_EQ(FastConv(img.data(), 4, 6, 4, 0.1f), 1);  // r equal to the side is fine
}

TEST(SpaHistStretch, PeakEndsAndGain) {
  struct Case {
    const char *what;
    std::vector<uint8_t> img;
    float impact;
    std::vector<std::pair<uint8_t, uint8_t>> map;  // input level -> output
  };
  std::vector<Case> cases;
  // >= 50 pixels at 100: P 100, L 99, U 101, gain 1, all 128.
  cases.push_back({"56 at 100", std::vector<uint8_t>(56, 100), 0.0f, {{100, 128}}});
  // 11..49 pixels: t = 0, the U search fails, U falls back to 250:
  // c = 174.5, (100 - 174.5) + 128 = 53.
  cases.push_back({"30 at 100", std::vector<uint8_t>(30, 100), 0.0f, {{100, 53}}});
  cases.push_back({"56 at 3", std::vector<uint8_t>(56, 3), 0.0f, {{3, 128}}});      // P <= 4
  cases.push_back({"56 at 250", std::vector<uint8_t>(56, 250), 0.0f, {{250, 128}}});  // P > 248
  // No peak inside 2..252: P = 2, L = 1, U = 250, c = 125.5.
  std::vector<uint8_t> ends(60, 0);
  for (size_t i = 0; i < 30; ++i) ends[i] = 255;
  cases.push_back({"0 and 255", ends, 0.0f, {{0, 2}, {255, 255}}});
  // 60 at 100 and one pixel at each of 103, 108, .., 198: L 99, U 199,
  // gain 0.75 * 255 / 100 = 1.9125 around c = 149.
  std::vector<uint8_t> spread(60, 100);
  for (int v = 103; v <= 198; v += 5) spread.push_back(static_cast<uint8_t>(v));
  cases.push_back({"gain 1.9125", spread, 0.75f, {{100, 34}, {103, 40}, {198, 221}}});
  // A large impact saturates the gain at 100.
  cases.push_back({"gain 100", spread, 1000.0f, {{100, 0}, {148, 28}, {149, 128}, {150, 228}}});

  for (Case &c : cases) {
    std::vector<uint8_t> img = c.img;
    ASSERT_EQ(zq::SpaHistStretch(img.data(), 1, static_cast<int32_t>(img.size()), c.impact), 1)
        << c.what;
    for (auto [in, out] : c.map)
      for (size_t i = 0; i < img.size(); ++i)
        if (c.img[i] == in) {
          ASSERT_EQ(img[i], out) << c.what << " level " << int{in};
        }
  }
}

TEST(SpaHistStretch, CountsBeyondSixteenBits) {
  // 300 x 300 at 100: the whole count, not 90000 & 0xffff, is stretched.
  std::vector<uint8_t> img(300 * 300, 100);
  ASSERT_EQ(zq::SpaHistStretch(img.data(), 300, 300, 0.0f), 1);
  EXPECT_EQ(img, std::vector<uint8_t>(300 * 300, 128));
  std::vector<uint8_t> keep(56, 100), again = keep;
  FailHeapAfter fail(0);  // the lower-end table
  EXPECT_EQ(zq::SpaHistStretch(again.data(), 7, 8, 0.0f), 0);
  EXPECT_EQ(again, keep);
}

TEST(ZqSpaSmooth, DefaultsAndSetters) {
  EXPECT_EQ(gSPApara.rows, 64);
  EXPECT_EQ(gSPApara.cols, 80);
  EXPECT_EQ(gSPApara.radius, 5);
  EXPECT_EQ(gSPApara.weight, 20);
  EXPECT_FLOAT_EQ(gSPApara.impact, 0.75f);
  InitSPAImageSize(96, 112);
  InitSPAMaskRadius(3);
  InitSPAImpactFactors(0.5f);
  EXPECT_EQ(gSPApara.cols, 96);
  EXPECT_EQ(gSPApara.rows, 112);
  EXPECT_EQ(gSPApara.radius, 3);
  EXPECT_FLOAT_EQ(gSPApara.impact, 0.5f);
  EXPECT_EQ(gSPApara.weight, 20);
}

// A synthetic press of 64 x 80 (the default size) on a background that
// rises by 70 grey levels towards the corners: the smoothing takes the
// background away and stretches the ridges, which stay dark.
TEST(ZqSpaSmooth, FlattensTheBackgroundOfASyntheticPress) {
  using testing_support::FingerPixel;
  InitSPAImageSize(80, 64);
  InitSPAMaskRadius(5);
  InitSPAImpactFactors(0.75f);
  const auto frame = testing_support::PressOnBowl(64, 80, 0.4, -60, 60, 0);
  auto mean = [&](const std::vector<uint8_t> &img, bool ridge, bool rim) {
    return testing_support::MeanOver(frame, img, [&](const FingerPixel &p) {
      return (ridge ? p.ridge : p.valley) && (rim ? p.rim : p.middle);
    });
  };
  // Valley minus ridge, and the rim's lift of the valleys.
  auto contrast = [&](const std::vector<uint8_t> &v, bool rim) {
    return mean(v, false, rim) - mean(v, true, rim);
  };
  auto lift = [&](const std::vector<uint8_t> &v) { return mean(v, false, true) - mean(v, false, false); };

  const std::vector<uint8_t> &img = frame.gray;
  ASSERT_GT(contrast(img, false), 40);
  ASSERT_GT(lift(img), 0.5 * contrast(img, false));  // the bowl is there

  std::vector<uint8_t> a = img, b = img;
  ASSERT_EQ(ZqSpaSmooth(a.data(), 20), 1);
  ASSERT_EQ(ZqSpaSmooth(b.data(), 0), 1);
  EXPECT_EQ(a, b);  // the level is ignored

  EXPECT_GT(contrast(a, false), 1.5 * contrast(img, false));
  EXPECT_GT(contrast(a, true), 1.5 * contrast(img, true));
  EXPECT_LT(std::fabs(lift(a)) / contrast(a, false), 0.4 * lift(img) / contrast(img, false));
}

TEST(ZqSpaSmooth, FailuresAreReported) {
  InitSPAImageSize(80, 64);
  InitSPAMaskRadius(5);
  std::vector<uint8_t> img(64 * 80, 90), keep = img;
  EXPECT_EQ(ZqSpaSmooth(nullptr, 20), 0);
  {
    FailHeapAfter fail(0);
    EXPECT_EQ(ZqSpaSmooth(img.data(), 20), 0);
  }
  EXPECT_EQ(img, keep);
  InitSPAMaskRadius(0);
  EXPECT_EQ(ZqSpaSmooth(img.data(), 20), 0);
  EXPECT_EQ(img, keep);
}

}  // namespace
