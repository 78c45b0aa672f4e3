// Local statistics, local thresholds, the angle function and the float to
// grey conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "src/alloc_failure.h"
#include "src/image/ZqCalcAngle.h"
#include "src/image/ZqGrayScale.h"
#include "src/image/ZqLocalStat.h"

namespace {

using testing_support::FailHeapAfter;

TEST(ZqCalcAngle, CordicDegrees) {
  struct Case {
    int32_t y, x, want;
  } cases[] = {
      {0, 5, 0},        {0, -5, 180},     {5, 0, 90},     {-5, 0, -90},   {100, 100, 45},
      {-100, -100, -135}, {0, 0, 180},    {100, -100, 135}, {-100, 100, -45},
      // Hand-run CORDIC: 3217 - 1899 + 1003 = 2321 -> 32 (atan2 gives 37).
      {3, 4, 32},       {-3, 4, -32},     {3, -4, 148},   {-3, -4, -148},
      {INT32_MIN, INT32_MIN, -135},       {INT32_MAX, 1, 90},
  };
  for (const Case &c : cases) EXPECT_EQ(ZqCalcAngle(c.y, c.x), c.want) << c.y << ", " << c.x;
}

// 3 x 4 zero image with a 6 at (1, 1).
const std::vector<uint8_t> kDot = {0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0};

TEST(ZqLocalMeanVar, HandComputedWindows) {
  std::vector<float> mean(12), var(12);
  ASSERT_EQ(ZqLocalMeanVar(kDot.data(), 4, 3, 1, mean.data(), var.data()), 0);
  // (1, 1): one 6 among 9: var = (9 * 36 - 36) / (8 * 9) = 4.
  EXPECT_FLOAT_EQ(mean[5], 6.0f / 9);
  EXPECT_FLOAT_EQ(var[5], 4.0f);
  // (0, 0): the reflection repeats the 6 four times: var = (9 * 144 - 576) / 72.
  EXPECT_FLOAT_EQ(mean[0], 24.0f / 9);
  EXPECT_FLOAT_EQ(var[0], 10.0f);
  // (0, 3): the window misses the 6.
  EXPECT_FLOAT_EQ(mean[3], 0.0f);
  EXPECT_FLOAT_EQ(var[3], 0.0f);

  std::vector<uint8_t> flat(5 * 7, 173);
  std::vector<float> m(35), v(35);
  for (uint16_t r : {0, 1, 3, 9}) {  // r = 9: window wider than the image
    ASSERT_EQ(ZqLocalMeanVar(flat.data(), 7, 5, r, m.data(), v.data()), 0);
    for (int i = 0; i < 35; ++i) {
      ASSERT_FLOAT_EQ(m[i], 173.0f) << r;
      ASSERT_FLOAT_EQ(v[i], 0.0f) << r;  // r = 0: 0, not NaN
    }
  }
}

TEST(ZqLocalMeanVar, Failures) {
  std::vector<float> m(12), v(12);
  EXPECT_EQ(ZqLocalMeanVar(nullptr, 4, 3, 1, m.data(), v.data()), -1);
  EXPECT_EQ(ZqLocalMeanVar(kDot.data(), 4, 3, 1, nullptr, v.data()), -1);
  EXPECT_EQ(ZqLocalMeanVar(kDot.data(), 4, 3, 1, m.data(), nullptr), -1);
  for (int ok : {0, 1, 2, 3}) {
    FailHeapAfter fail(ok);
    EXPECT_EQ(ZqLocalMeanVar(kDot.data(), 4, 3, 1, m.data(), v.data()), -2) << ok;
  }
}

TEST(ZqLocalThreshold, MarksPixelsBelowTheirThreshold) {
  std::vector<uint8_t> out(12);
  // k = 0: exactly the pixels below their local mean.
  ASSERT_EQ(ZqLocalThreshold(kDot.data(), 4, 3, 0, 1, out.data(), 0.0f), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{255, 255, 255, 0, 255, 0, 255, 0, 255, 255, 255, 0}));
  // invert 1 works on 255 - v: only the dark 249 is below its mean.
  ASSERT_EQ(ZqLocalThreshold(kDot.data(), 4, 3, 1, 1, out.data(), 0.0f), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0}));
  // 3 x 3 of 10 with a 5 inside: mean 85 / 9, sd 5 / 3. With k = 0.475,
  // mean * (1 - k) = 4.958 < 5 but the deviation term adds 0.058.
  std::vector<uint8_t> img(9, 10), o(9);
  img[4] = 5;
  ASSERT_EQ(ZqLocalThreshold(img.data(), 3, 3, 0, 1, o.data(), 0.475f), 0);
  EXPECT_EQ(o[4], 255);
  ASSERT_EQ(ZqLocalThreshold(img.data(), 3, 3, 0, 1, o.data(), 0.5f), 0);
  EXPECT_EQ(o[4], 0);  // 4.722 + 0.061 < 5

  EXPECT_EQ(ZqLocalThreshold(kDot.data(), 4, 3, 2, 1, out.data(), 0.0f), -1);
  EXPECT_EQ(ZqLocalThreshold(nullptr, 4, 3, 0, 1, out.data(), 0.0f), -1);
  EXPECT_EQ(ZqLocalThreshold(kDot.data(), 4, 3, 0, -1, out.data(), 0.0f), -1);
  {
    FailHeapAfter fail(0);
    EXPECT_EQ(ZqLocalThreshold(kDot.data(), 4, 3, 0, 1, out.data(), 0.0f), -2);
  }
  FailHeapAfter fail(3);  // the statistics' own blocks fail
  EXPECT_EQ(ZqLocalThreshold(kDot.data(), 4, 3, 0, 1, out.data(), 0.0f), -3);
}

TEST(ZqLocalAvergeThreshold, KeepIsTheOppositeOfInvert) {
  // MeanImage of the dot image (truncated): 2 1 1 0 / 1 0 0 0 / 2 1 1 0.
  std::vector<uint8_t> out(12);
  ASSERT_EQ(ZqLocalAvergeThreshold(kDot.data(), 4, 3, 1, 1, 0, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 255, 0, 255, 255, 255, 0, 0, 0, 255}));
  ASSERT_EQ(ZqLocalAvergeThreshold(kDot.data(), 4, 3, 1, 1, 1, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0}));
  // keep 0 inverts: 249 against its mean 254 is the only miss.
  ASSERT_EQ(ZqLocalAvergeThreshold(kDot.data(), 4, 3, 0, 1, 0, out.data()), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{255, 255, 255, 255, 255, 0, 255, 255, 255, 255, 255, 255}));
  EXPECT_EQ(ZqLocalAvergeThreshold(kDot.data(), 4, 3, 2, 1, 0, out.data()), -1);
  EXPECT_EQ(ZqLocalAvergeThreshold(kDot.data(), 4, 3, 1, 1, 0, nullptr), -1);
  FailHeapAfter fail(2);
  EXPECT_EQ(ZqLocalAvergeThreshold(kDot.data(), 4, 3, 1, 1, 0, out.data()), -3);
}

TEST(ZqGrayScale32f, MinMaxScaling) {
  const float ramp[3] = {1.0f, 2.0f, 3.0f};
  uint8_t out[3];
  ASSERT_EQ(ZqGrayScale_32f(ramp, 3, 1, out), 0);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0, 127, 255}));
  const float flat[4] = {-2.5f, -2.5f, -2.5f, -2.5f};
  uint8_t o4[4];
  ASSERT_EQ(ZqGrayScale_32f(flat, 2, 2, o4), 0);
  EXPECT_EQ(std::vector<uint8_t>(o4, o4 + 4), std::vector<uint8_t>(4, 255));
  const float neg[6] = {-10, 0, 10, -5, 5, 2.5f};  // 2 x 3
  uint8_t o6[6];
  ASSERT_EQ(ZqGrayScale_32f(neg, 3, 2, o6), 0);
  EXPECT_EQ(std::vector<uint8_t>(o6, o6 + 6), (std::vector<uint8_t>{0, 127, 255, 63, 191, 159}));
  EXPECT_EQ(ZqGrayScale_32f(nullptr, 3, 1, out), -1);
  EXPECT_EQ(ZqGrayScale_32f(ramp, 3, 1, nullptr), -1);
}

}  // namespace
