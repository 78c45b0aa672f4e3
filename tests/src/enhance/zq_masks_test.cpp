// Masks and valid areas: the box mean, the flag masks, the local range
// stretch, the large-region share and the valid area, on constructed images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "src/enhance/ZqGetFlag.h"
#include "src/enhance/ZqLocalQuati.h"
#include "src/enhance/ZqMeanImage.h"
#include "src/enhance/ZqValidArea.h"
#include "src/enhance/ZqWhiteAbnormal.h"
#include "src/lib_log_capture.h"

namespace {

using Image = std::vector<uint8_t>;

template <typename F>
Image Make(int rows, int cols, F f) {
  Image img(static_cast<size_t>(rows) * cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) img[static_cast<size_t>(y) * cols + x] = static_cast<uint8_t>(f(y, x));
  return img;
}

// --- ZqMeanImage -------------------------------------------------------------

TEST(ZqMeanImage, ReflectedTruncatedMeanBeyondSixteenBitPadding) {
  // 250 x 300 with r = 2: the padded copy holds 254 x 304 = 77216 bytes.
  std::mt19937 rng(9);
  const int rows = 250, cols = 300, r = 2;
  const Image img = Make(rows, cols, [&](int, int) { return rng() % 256; });
  Image out(img.size());
  ASSERT_EQ(ZqMeanImage(img.data(), rows, cols, r, out.data()), 0);
  auto reflect = [](int p, int n) { return p < 0 ? -p : p >= n ? 2 * n - 2 - p : p; };
  for (int y : {0, 1, 124, 248, 249})
    for (int x : {0, 1, 150, 298, 299}) {
      int sum = 0;
      for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) sum += img[reflect(y + dy, rows) * cols + reflect(x + dx, cols)];
      EXPECT_EQ(out[y * cols + x], static_cast<int>(static_cast<float>(sum) * (1.0f / 25.0f)))
          << y << "," << x;
    }
  EXPECT_EQ(ZqMeanImage(nullptr, 3, 3, 1, out.data()), -1);
  EXPECT_EQ(ZqMeanImage(img.data(), -1, 3, 1, out.data()), -1);
  EXPECT_EQ(ZqMeanImage(img.data(), 3, 3, -1, out.data()), -1);
}

// --- ZqGetFlag ---------------------------------------------------------------

TEST(ZqGetFlag, FlatImageKeepsEverything) {
  const Image img(30 * 20, 133);
  Image a(img.size(), 7), b(img.size(), 7);
  ASSERT_EQ(ZqGetFlag(img.data(), 30, 20, a.data(), b.data()), 0);
  EXPECT_EQ(a, Image(img.size(), 1));
  EXPECT_EQ(b, Image(img.size(), 1));
}

TEST(ZqGetFlag, DarkAndWhiteHalvesSplit) {
  // Left half 40, right half 220; the 3 x 3 mean blurs columns 29 and 30.
  const int rows = 40, cols = 60;
  const Image img = Make(rows, cols, [](int, int x) { return x < 30 ? 40 : 220; });
  Image a(img.size(), 7), b(img.size(), 7);
  ASSERT_EQ(ZqGetFlag(img.data(), rows, cols, a.data(), b.data()), 0);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      ASSERT_EQ(a[y * cols + x], x >= 29 ? 1 : 0) << "flagA " << y << "," << x;
      ASSERT_EQ(b[y * cols + x], x < 30 ? 1 : 0) << "flagB " << y << "," << x;
    }
}

TEST(ZqGetFlag, BadArguments) {
  Image img(16, 100), a(16), b(16);
  EXPECT_EQ(ZqGetFlag(nullptr, 4, 4, a.data(), b.data()), -1);
  EXPECT_EQ(ZqGetFlag(img.data(), 4, 4, nullptr, b.data()), -1);
  EXPECT_EQ(ZqGetFlag(img.data(), 4, 4, a.data(), nullptr), -1);
  EXPECT_EQ(ZqGetFlag(img.data(), 0, 4, a.data(), b.data()), -1);
  EXPECT_EQ(ZqGetFlag(img.data(), 4, -4, a.data(), b.data()), -1);
}

// T = 100 everywhere except zeros over [zeroFrom, zeroTo] (when given).
std::vector<float> Valley(int zeroFrom, int zeroTo) {
  std::vector<float> T(GETFLAG_BINS, 100.0f);
  for (int k = zeroFrom; k >= 0 && k <= zeroTo; ++k) T[k] = 0.0f;
  return T;
}

TEST(GetFlagDarkEdge, ValleyAtMost200AndNotAbovePeak) {
  // Walking up from 10 with d = 70: the window sums over zeros run from
  // zeroFrom + 3 to zeroTo - 3, and the valley is zeroTo - 2.
  struct Case {
    const char *name;
    int zeroFrom, zeroTo, peak, want;
  };
  const Case cases[] = {
      {"valley 200 below the peak", 191, 202, 220, 205},
      {"valley 200 at the peak", 191, 202, 200, 205},
      {"valley 200 above the peak", 191, 202, 199, 5},
      {"valley 201", 192, 203, 220, 5},
      {"run of five is no valley", 191, 201, 220, 5},
      {"valley 60", 51, 62, 100, 65},
      {"no valley", -1, -1, 220, 5},
  };
  for (const Case &c : cases)
    EXPECT_EQ(GetFlagDarkEdge(Valley(c.zeroFrom, c.zeroTo).data(), c.peak), c.want) << c.name;
}

// A 250-bin histogram of constant runs: {from, to, value} in order.
struct Run {
  int from, to;
  float value;
};
std::vector<float> Runs(std::initializer_list<Run> runs) {
  std::vector<float> T(GETFLAG_BINS, 0.0f);
  for (const Run &r : runs)
    for (int k = r.from; k <= r.to; ++k) T[k] = r.value;
  return T;
}

TEST(GetFlagDarkEdge, DarkHeavyHistogramsSearchFrom85) {
  struct Case {
    const char *name;
    std::vector<float> T;
    int want;
  };
  const Case cases[] = {
      // lo = 75000 > 0.8 hi (hi = 17680): start 85, d = lo x 84 / hi
      // (about 356). The bump at 87..88 closes a valley at 84 that only a
      // search starting below 85 sees; from 85 the valley is 117, the
      // window before the peak at 120..124.
      {"dark-heavy: valley 117, not 84",
       Runs({{0, 74, 1000}, {75, 249, 10}, {87, 88, 500}, {120, 124, 3000}}),
       122},
      // Gap 30..44 in the dark part, gap 75..99 above it, peak at 200;
      // hi = 7500. lo = 6000 is exactly 0.8 hi: start 10 and d = 70, so
      // the dark gap's valley 42 counts.
      {"lo exactly 0.8 hi: start 10",
       Runs({{0, 74, 100}, {30, 44, 0}, {100, 199, 25}, {200, 200, 5000}}),
       47},
      // One count more in bin 0: start 85 with d = 6001 x 84 / 7500 =
      // 67.2; the window sums climb 0, 25, 50, 75 out of the upper gap.
      {"lo just above 0.8 hi: start 85",
       Runs({{0, 74, 100}, {0, 0, 101}, {30, 44, 0}, {100, 199, 25}, {200, 200, 5000}}),
       104},
  };
  for (const Case &c : cases) {
    const int peak = static_cast<int>(std::max_element(c.T.begin(), c.T.end()) - c.T.begin());
    EXPECT_EQ(GetFlagDarkEdge(c.T.data(), peak), c.want) << c.name;
  }
}

TEST(GetFlagBrightThreshold, ValleyAtLeast50AndNotBelowPeak) {
  // Walking down from 240 with d = 70: the valley is zeroFrom + 2. R = 250.
  struct Case {
    const char *name;
    int zeroFrom, zeroTo, peak, want;
  };
  const Case cases[] = {
      {"valley 50 above the peak", 48, 59, 10, 65},  // u = 65
      {"valley 50 at the peak", 48, 59, 50, 65},
      {"valley 50 below the peak", 48, 59, 51, 245},  // 250 x 250 / 255
      {"valley 49", 47, 58, 10, 245},
      {"valley 150", 148, 159, 10, 165},
      {"no valley", -1, -1, 10, 245},
  };
  for (const Case &c : cases)
    EXPECT_EQ(GetFlagBrightThreshold(Valley(c.zeroFrom, c.zeroTo).data(), c.peak, 250), c.want)
        << c.name;
}

TEST(GetFlagBrightThreshold, BrightHeavyHistogramsSearchFrom170) {
  // hi = 70000 > 0.8 lo (lo = 20500): start 170, d = lo x 84 / hi (24.6).
  // Windows over 171 .. 176 see only zeros and the one at 170 sees the
  // count at 167: a valley at 170 for a search starting above it. From 170
  // down, the valley is 112, above the bump at 100 .. 109 that holds the
  // peak: u = 127. R = 250.
  const std::vector<float> T = Runs({{100, 109, 2000}, {167, 167, 500}, {180, 249, 1000}});
  EXPECT_EQ(GetFlagBrightThreshold(T.data(), 100, 250), 127);
}

TEST(GetFlagWindowMean, ClippedFiveByFiveWindow) {
  const Image m = Make(6, 7, [](int y, int x) { return (y + x) % 2; });
  EXPECT_FLOAT_EQ(GetFlagWindowMean(m.data(), 6, 7, 0, 0), 4.0f / 9.0f);   // 3 x 3, corner 0
  EXPECT_FLOAT_EQ(GetFlagWindowMean(m.data(), 6, 7, 2, 3), 13.0f / 25.0f);  // full, centre 1
  EXPECT_FLOAT_EQ(GetFlagWindowMean(m.data(), 6, 7, 5, 1), 6.0f / 12.0f);  // 3 x 4
}

TEST(GetFlagClean, DensityBoundaries) {
  // 4 x 5 masks: pixel (2, 2) sees the whole mask, so its density is
  // ones / 20. Cells listed as (row, column).
  using Cells = std::vector<std::pair<int, int>>;
  const Cells rows01 = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 0}, {1, 1}, {1, 2}, {1, 3}};
  Cells ten = rows01;
  ten.push_back({1, 4});
  const Cells eight = {{3, 0}, {3, 1}, {3, 2}, {3, 3}, {3, 4}, {2, 1}, {2, 2}, {2, 3}};
  const Cells seven(eight.begin() + 1, eight.end());
  Cells twelve = {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 0},
                  {3, 1}, {3, 2}, {3, 3}, {3, 4}, {1, 1}, {1, 2}};
  Cells thirteen = twelve;
  thirteen.push_back({1, 3});
  struct Case {
    const char *name;
    bool flagA;
    Cells ones;
    uint8_t want;  // pixel (2, 2) after the clean-up
  };
  const Case cases[] = {
      {"A: 0.5 fills", true, ten, 1},
      {"A: 0.45 does not fill", true, rows01, 0},
      {"A: 0.4 keeps", true, eight, 1},
      {"A: 0.35 clears", true, seven, 0},
      {"B: 0.6 clears (and 0.45 does not refill)", false, twelve, 0},
      {"B: 0.65 keeps", false, thirteen, 1},
  };
  for (const Case &c : cases) {
    Image m(20, 0), work(20);
    for (auto [y, x] : c.ones) m[y * 5 + x] = 1;
    (c.flagA ? GetFlagCleanA : GetFlagCleanB)(m.data(), 4, 5, work.data());
    EXPECT_EQ(m[2 * 5 + 2], c.want) << c.name;
  }
}

// --- ZqLocalQuati_u8 ---------------------------------------------------------

TEST(ZqLocalQuatiU8, StretchesByTheClippedWindowRange) {
  struct Case {
    const char *name;
    Image img;
    int r;
    Image want;  // 77 marks a pixel left as it was
  };
  const Case cases[] = {
      {"10 and 11: range 1, unwritten", {10, 11, 10, 11}, 1, {77, 77, 77, 77}},
      {"10 and 12: 12 to 254", {10, 12, 10, 12}, 1, {0, 254, 0, 254}},
      {"clipped windows", {10, 10, 10, 10, 50}, 1, {77, 77, 77, 0, 254}},
      {"(p - lo) x 254 / range truncated", {0, 7, 3, 5, 7}, 4, {0, 254, 108, 181, 254}},
      {"radius 0", {10, 200, 30, 90, 1}, 0, {77, 77, 77, 77, 77}},
  };
  for (const Case &c : cases) {
    Image out(c.img.size(), 77);
    ASSERT_EQ(ZqLocalQuati_u8(c.img.data(), 1, static_cast<int>(c.img.size()), c.r, out.data()), 0)
        << c.name;
    EXPECT_EQ(out, c.want) << c.name;
  }
  // Columns matter as well as rows: a 3 x 2 image, the window clipped in
  // both directions.
  const Image img = {10, 20, 30, 40, 50, 60};
  Image out(6, 77);
  ASSERT_EQ(ZqLocalQuati_u8(img.data(), 3, 2, 1, out.data()), 0);
  EXPECT_EQ(out, (Image{0, 84, 101, 152, 169, 254}));
  Image o(4);
  EXPECT_EQ(ZqLocalQuati_u8(nullptr, 2, 2, 1, o.data()), -1);
  EXPECT_EQ(ZqLocalQuati_u8(img.data(), 0, 2, 1, o.data()), -1);
}

// --- ZqGetConnectedArea_v6_getWhiteAbnormal ---------------------------------

TEST(ZqWhiteAbnormal, CountsRegionsLargerThanTheLimit) {
  const int rows = 20, cols = 20;
  // Region A: rows 0..4 full (100) plus one pixel below = 101; region B:
  // rows 10..14 full = 100. 4-connected, apart.
  Image m = Make(rows, cols, [](int y, int) { return y < 5 || (y >= 10 && y < 15); });
  m[5 * cols + 3] = 1;
  struct Case {
    const char *name;
    int32_t limit;
    uint8_t want;
  };
  const Case cases[] = {
      {"101 counts, 100 does not", 100, 101 * 100 / 400},
      {"both count", 99, 201 * 100 / 400},
      {"neither counts", 101, 0},
  };
  for (const Case &c : cases) {
    uint8_t pct = 222;
    ASSERT_EQ(ZqGetConnectedArea_v6_getWhiteAbnormal(m.data(), rows, cols, c.limit, 0, &pct), 0);
    EXPECT_EQ(pct, c.want) << c.name;
  }
}

TEST(ZqWhiteAbnormal, NoRegionWritesZero) {
  const Image m(64, 0);
  uint8_t pct = 222;
  ASSERT_EQ(ZqGetConnectedArea_v6_getWhiteAbnormal(m.data(), 8, 8, 0, 0, &pct), 0);
  EXPECT_EQ(pct, 0);
  EXPECT_EQ(ZqGetConnectedArea_v6_getWhiteAbnormal(nullptr, 8, 8, 0, 0, &pct), -1);
  EXPECT_EQ(ZqGetConnectedArea_v6_getWhiteAbnormal(m.data(), 0, 8, 0, 0, &pct), -1);
  EXPECT_EQ(ZqGetConnectedArea_v6_getWhiteAbnormal(m.data(), 8, 8, 0, 0, nullptr), -1);
}

TEST(ZqWhiteAbnormal, RegionsAfterLabel700AreNotCounted) {
  // dots isolated pixels on even rows and columns of rows 0..47, then a
  // 10 x 80 block: labels 2..700 hold 699 regions.
  for (int dots : {698, 699}) {
    const int rows = 60, cols = 80;
    Image m(rows * cols, 0);
    for (int i = 0; i < dots; ++i) m[(2 * (i / 40)) * cols + 2 * (i % 40)] = 1;
    for (int i = 50 * cols; i < rows * cols; ++i) m[i] = 1;
    uint8_t pct = 222;
    ASSERT_EQ(ZqGetConnectedArea_v6_getWhiteAbnormal(m.data(), rows, cols, 100, 0, &pct), 0);
    EXPECT_EQ(pct, dots == 698 ? 800 * 100 / 4800 : 0) << dots;
  }
}

// --- ZqValidArea ---------------------------------------------------------------

TEST(ZqValidArea, ConstructedImages) {
  struct Case {
    const char *name;
    int rows, cols;
    Image img;
    uint8_t want;
  };
  const int r = 40, c = 60;
  const Case cases[] = {
      {"all above 250", r, c, Image(r * c, 251), 0},
      {"flat light: one untextured region", r, c, Image(r * c, 200), 0},
      {"flat dark: below 128 is textured", r, c, Image(r * c, 100), 100},
      {"stripes left, white right", r, c,
       Make(r, c, [](int, int x) { return x >= 30 ? 255 : x % 2 ? 200 : 100; }), 50},
      {"stripes left, unsaturated flat right", r, c,
       Make(r, c, [](int, int x) { return x >= 30 ? 150 : x % 2 ? 200 : 100; }), 50},
      {"region of 600 is kept", 20, 30, Image(600, 200), 0},
      {"region of 580 is not", 20, 29, Image(580, 200), 100},
  };
  for (const Case &k : cases) {
    uint8_t pct = 222;
    ASSERT_EQ(ZqValidArea(k.img.data(), k.rows, k.cols, &pct), 0) << k.name;
    EXPECT_EQ(pct, k.want) << k.name;
  }
}

TEST(ZqValidArea, FailuresAreLogged) {
  using testing_support::IsLibErrorLine;
  const std::string file = "src/enhance/ZqValidArea.cpp";
  uint8_t pct = 222;
  {
    testing_support::LibLogCapture log;
    EXPECT_EQ(ZqValidArea(nullptr, 20, 20, &pct), -1);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(IsLibErrorLine(lines[0], "ZqValidArea", file, "ZqValidArea...src is null, ret = -1"))
        << lines[0];
  }
  const Image img(8 * 8, 200);
  {
    testing_support::LibLogCapture log;
    EXPECT_EQ(ZqValidArea(img.data(), 0, 8, &pct), -2);
    const auto m = log.Messages();
    EXPECT_EQ(m, (std::vector<std::string>{"ZqValidArea...dst malloc fail, ret = -2"}));
  }
  {
    // The 9 x 9 box mean needs sides above 9.
    testing_support::LibLogCapture log;
    EXPECT_EQ(ZqValidArea(img.data(), 8, 8, &pct), -3);
    const auto m = log.Messages();
    EXPECT_EQ(m, (std::vector<std::string>{
                     "ZqSegmentByLocalVar_getValidArea...ZqBoxFilter_16u 1 err, ret = -3",
                     "ZqValidArea...ZqSegmentByLocalVar_getValidArea err, ret = -3"}));
  }
  EXPECT_EQ(pct, 222);
}

}  // namespace
