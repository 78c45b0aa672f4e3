// Image-quality scores: the texture threshold on stripes of known contrast,
// the dispatch by sensor code, the ZE4850 adjustment rules, the refusals,
// and the scores' order on synthetic fingers and non-finger frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqNonFingerSettings.h"

namespace {

using Image = std::vector<uint8_t>;

template <typename F>
Image Make(int rows, int cols, F f) {
  Image img(static_cast<size_t>(rows) * cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      img[static_cast<size_t>(y) * cols + x] = static_cast<uint8_t>(f(y, x));
  return img;
}

bool Bit(const Image &map, int i) { return (map[i / 8] >> (i % 8)) & 1; }

int CountBits(const Image &map, int n) {
  int count = 0;
  for (int i = 0; i < n; ++i) count += Bit(map, i);
  return count;
}

// The four outputs of one dispatcher call; contrast starts at a sentinel
// so an untouched byte shows.
struct Scores {
  int32_t rc;
  uint8_t area, quality, cond, contrast;
};

constexpr uint8_t kUntouched = 0xAA;

Scores Dispatch(const Image &img, int w, int h, uint8_t *map, bool rubber = false) {
  Scores s{0, kUntouched, kUntouched, kUntouched, kUntouched};
  auto fn = rubber ? ZqImgQualityRuber : ZqImgQuality;
  s.rc = fn(img.data(), static_cast<uint16_t>(w), static_cast<uint16_t>(h), &s.area, &s.quality,
            &s.cond, &s.contrast, map);
  return s;
}

Image FingerImage(int finger, int w, int h) {
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(32, finger));
  fingers::ImpressionParams p;
  p.seed = 7 + finger;
  p.width = w;
  p.height = h;
  return fingers::Render(master, p).frame.gray;
}

class Quality : public ::testing::Test {
 protected:
  void TearDown() override { NonFingerSettingsResetForTest(); }
};

// --- General scorer ----------------------------------------------------------

// Columns alternate a and a + d: every 9 x 9 window holds at best five
// columns of one level and four of the other, so 6561 x its variance is at
// most 1620 d^2: 648000 for d = 20 (not above the limit), 714420 for 21.
TEST_F(Quality, StripeContrastTwentyIsNoTextureTwentyOneIs) {
  const int w = 40, h = 32;
  for (int d : {20, 21}) {
    const Image img = Make(h, w, [&](int, int x) { return 100 + (x % 2) * d; });
    Image map(w * h / 8 + 1, 0);
    const Scores s = Dispatch(img, w, h, map.data());
    ASSERT_EQ(s.rc, 0) << d;
    EXPECT_EQ(s.contrast, kUntouched) << d;
    if (d == 20) {
      EXPECT_EQ(s.area, 0);
      EXPECT_EQ(s.quality, 0);
      EXPECT_EQ(s.cond, 0);
      EXPECT_EQ(CountBits(map, w * h), 0);
      continue;
    }
    // With sides a multiple of 4 the window of output (r, c) is centred on
    // image pixel (r - 2, c - 2): windows wholly inside the image are those
    // of rows 6 .. h - 3 and columns 6 .. w - 3.
    for (int r = 6; r <= h - 3; ++r)
      for (int c = 6; c <= w - 3; ++c) ASSERT_TRUE(Bit(map, r * w + c)) << r << "," << c;
    EXPECT_GT(s.area, 50);
  }
}

TEST_F(Quality, FlatImageScoresNothingAndKeepsTheCallersBits) {
  const int w = 24, h = 16;
  const Image flat(w * h, 120);
  Image map(w * h / 8 + 1, 0);
  map[3] = 0x81;
  const Scores s = Dispatch(flat, w, h, map.data());
  EXPECT_EQ(s.rc, 0);
  EXPECT_EQ(s.area, 0);
  EXPECT_EQ(s.quality, 0);
  EXPECT_EQ(s.cond, 0);
  EXPECT_EQ(map[3], 0x81);
  EXPECT_EQ(CountBits(map, w * h), 2);
}

// A caller's pre-set bits are kept and do not take part in the scores.
TEST_F(Quality, GeneralPathOnlyAddsBitsAndIgnoresThemForScores) {
  const int w = 64, h = 80;
  const Image img = FingerImage(1, w, h);
  Image clean(w * h / 8 + 1, 0);
  const Scores a = Dispatch(img, w, h, clean.data());
  Image preset(w * h / 8 + 1, 0xFF);
  const Scores b = Dispatch(img, w, h, preset.data());
  Image none;
  const Scores c = Dispatch(img, w, h, nullptr);
  for (const Scores &s : {b, c}) {
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.area, a.area);
    EXPECT_EQ(s.quality, a.quality);
    EXPECT_EQ(s.cond, a.cond);
  }
  EXPECT_EQ(preset, Image(w * h / 8 + 1, 0xFF));
  EXPECT_GT(CountBits(clean, w * h), 0);
}

// A checkerboard of a and a + d textures every pixel (area 100), and every
// 8 x 8 block has the population variance d^2 / 4, so cond is 10 x the
// block weight: 900 weighs 5, 3600 weighs 8, 5625 weighs 10; t follows.
TEST_F(Quality, CondIsTheWeightOfTheBlockVariance) {
  const int w = 64, h = 48;
  struct Case {
    int d;
    uint8_t cond;
  };
  const Case cases[] = {{60, 50}, {120, 80}, {150, 100}};
  for (const Case &c : cases) {
    const Image img = Make(h, w, [&](int y, int x) { return 50 + ((x + y) % 2) * c.d; });
    const Scores s = Dispatch(img, w, h, nullptr);
    ASSERT_EQ(s.rc, 0);
    ASSERT_EQ(s.area, 100) << c.d;
    EXPECT_EQ(s.cond, c.cond) << c.d;
    // quality = 0.1 t + 0.9 tc with tc <= 100.
    const int t = c.cond <= 50 ? 2 * c.cond : 2 * (100 - c.cond);
    EXPECT_LE(s.quality, t / 10 + 90) << c.d;
    EXPECT_GE(s.quality, t / 10) << c.d;
  }
}

// Every band of the block-variance table, at its lower edge and just
// below it. A 40 x 40 image has 5 x 5 blocks; the 13 blocks of even
// parity are 0/255 checkerboards (variance 16256, weight 10) and put a
// far-off pixel into every 9 x 9 window, so every pixel is textured
// (area 100) and each of the 12 odd blocks counts all its 64 pixels. Those
// hold 128 +- d pairs whose squares sum to 32 s: population variance
// exactly s. cond = 10 x (13 x 10 + 12 x w) / 25.
TEST_F(Quality, CondFollowsEveryBandOfTheBlockVarianceTable) {
  const int w = 40, h = 40;
  auto block = [](int s) {
    std::vector<int> px;
    for (int rest = 32 * s; rest > 0;) {
      int d = 100;
      while (d * d > rest) --d;
      rest -= d * d;
      px.push_back(128 + d);
      px.push_back(128 - d);
    }
    px.resize(64, 128);
    return px;
  };
  struct Case {
    int s;
    int weight;
  };
  const Case cases[] = {{29, 0},    {30, 1},    {99, 1},    {100, 2},   {199, 2},
                        {200, 3},   {399, 3},   {400, 4},   {599, 4},   {600, 4},
                        {799, 4},   {800, 5},   {1199, 5},  {1200, 5},  {1999, 5},
                        {2000, 8},  {3199, 8},  {3200, 8},  {4999, 8},  {5000, 10}};
  for (const Case &c : cases) {
    const std::vector<int> px = block(c.s);
    ASSERT_EQ(px.size(), 64u) << c.s;
    const Image img = Make(h, w, [&](int y, int x) {
      if ((y / 8 + x / 8) % 2 == 0) return ((x + y) % 2) * 255;
      return px[(y % 8) * 8 + x % 8];
    });
    const Scores s = Dispatch(img, w, h, nullptr);
    ASSERT_EQ(s.rc, 0);
    ASSERT_EQ(s.area, 100) << c.s;
    EXPECT_EQ(s.cond, 10 * (13 * 10 + 12 * c.weight) / 25) << "variance " << c.s;
  }
}

// Sizes off the sensors' grid: odd sides, fewer than 8 rows (no whole
// block: cond 0 instead of a division by zero) and frames of 65536 pixels
// or more (counts no longer wrap in 16 bits).
TEST_F(Quality, UnusualSizesScoreSoundly) {
  struct Case {
    int w, h;
    int minArea;  // strong stripes texture (nearly) everything
    bool condZero;
  };
  const Case cases[] = {
      {41, 33, 95, false}, {40, 7, 95, true}, {5, 40, 95, true}, {256, 256, 99, false},
      {1, 1, 0, true},  // a window of one repeated pixel has no variance
  };
  for (const Case &c : cases) {
    const Image img = Make(c.h, c.w, [](int y, int x) { return 60 + ((x + y) % 2) * 120; });
    Image map(c.w * c.h / 8 + 1, 0);
    const Scores s = Dispatch(img, c.w, c.h, map.data());
    EXPECT_EQ(s.rc, 0) << c.w << "x" << c.h;
    EXPECT_GE(s.area, c.minArea) << c.w << "x" << c.h;
    EXPECT_LE(s.area, 100) << c.w << "x" << c.h;
    if (c.condZero) EXPECT_EQ(s.cond, 0) << c.w << "x" << c.h;
    else EXPECT_GT(s.cond, 0) << c.w << "x" << c.h;
  }
}

// --- ZE4850 scorers ------------------------------------------------------------

TEST_F(Quality, SaturatedImageOnTheZe4850Family) {
  const int w = 64, h = 80;
  const Image white(w * h, 255);
  struct Case {
    uint16_t code;
    bool rubber;
    uint8_t quality;
  };
  // cond below 30 turns quality into cond + 5 for every code but 8.
  const Case cases[] = {{9, false, 5}, {11, false, 5}, {14, false, 5}, {16, true, 5},
                        {8, false, 0}, {8, true, 0}};
  for (const Case &c : cases) {
    SetSensorName(c.code);
    const Scores s = Dispatch(white, w, h, nullptr, c.rubber);
    EXPECT_EQ(s.rc, 0) << c.code;
    EXPECT_EQ(s.area, 0) << c.code;
    EXPECT_EQ(s.cond, 0) << c.code;
    EXPECT_EQ(s.contrast, 0) << c.code;
    EXPECT_EQ(s.quality, c.quality) << c.code;
  }
  EXPECT_EQ(ZqGetImgArea_ZE4850(white.data(), w, h), 0);

  // 250 is the last valid grey: a flat 250 covers the whole sensor.
  SetSensorName(9);
  for (const auto &[grey, area] : {std::pair<uint8_t, uint8_t>{251, 0}, {250, 100}}) {
    const Scores s = Dispatch(Image(w * h, grey), w, h, nullptr);
    EXPECT_EQ(s.rc, 0) << int{grey};
    EXPECT_EQ(s.area, area) << int{grey};
  }
}

// Which scorer each code reaches: the ZE4850 path writes contrast and
// leaves the caller's map alone; the general path leaves contrast and adds
// bits. The dispatchers' outputs must equal a direct call of the scorer.
TEST_F(Quality, DispatchBySensorCode) {
  const int w = 64, h = 80;
  const Image img = FingerImage(2, w, h);
  for (int code = 0; code <= 18; ++code) {
    for (bool rubber : {false, true}) {
      SetSensorName(code);
      const bool ze = (code >= 8 && code <= 11) || code == 13 || code == 14 ||
                      (rubber && code == 16);
      Image map(w * h / 8 + 1, 0);
      const Scores s = Dispatch(img, w, h, map.data(), rubber);
      ASSERT_EQ(s.rc, 0) << code;
      Scores direct{0, kUntouched, kUntouched, kUntouched, kUntouched};
      if (ze) {
        auto fn = rubber ? ZqImgQuality_ZE4850_v5 : ZqImgQuality_ZE4850_v4;
        direct.rc = fn(img.data(), w, h, &direct.area, &direct.quality, &direct.contrast,
                       &direct.cond, nullptr);
        EXPECT_LE(s.contrast, 100) << code;
        EXPECT_EQ(CountBits(map, w * h), 0) << code;
      } else {
        direct.rc = ZqImgQuality_Other(img.data(), w, h, &direct.area, &direct.quality,
                                       &direct.cond, nullptr);
        EXPECT_EQ(s.contrast, kUntouched) << code;
        EXPECT_GT(CountBits(map, w * h), 0) << code;
      }
      EXPECT_EQ(s.area, direct.area) << code << " rubber " << rubber;
      EXPECT_EQ(s.quality, direct.quality) << code << " rubber " << rubber;
      EXPECT_EQ(s.cond, direct.cond) << code << " rubber " << rubber;
      EXPECT_EQ(s.contrast, direct.contrast) << code << " rubber " << rubber;
    }
  }
}

TEST_F(Quality, Ze4850MarksTheClosedValidAreaInsideTheBorder) {
  const int w = 64, h = 80;
  SetSensorName(9);
  // Left half saturated, right half a finger.
  Image img = FingerImage(3, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 2; ++x) img[y * w + x] = 255;
  Image map(w * h / 8 + 1, 0);
  uint8_t area = 0, quality = 0, contrast = 0, cond = 0;
  ASSERT_EQ(ZqImgQuality_ZE4850_v4(img.data(), w, h, &area, &quality, &contrast, &cond,
                                   map.data()),
            0);
  EXPECT_EQ(area, ZqGetImgArea_ZE4850(img.data(), w, h));
  EXPECT_NEAR(area, 50, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Closing by a 2 x 2 dilation and a 5 x 5 erosion pulls the cleared
      // border and the saturated half two pixels further in.
      const bool inside = y >= 8 && y <= h - 9 && x >= w / 2 + 2 && x <= w - 5;
      const bool outside = y < 6 || y >= h - 6 || x < w / 2 || x >= w - 2;
      if (inside) {
        ASSERT_TRUE(Bit(map, y * w + x)) << y << "," << x;
      } else if (outside) {
        ASSERT_FALSE(Bit(map, y * w + x)) << y << "," << x;
      }
    }
}

TEST(Ze4850Adjust, FinalQualityRules) {
  struct Case {
    uint16_t code;
    uint8_t quality, contrast, cond;
    uint16_t ratio;
    uint8_t want;
  };
  const Case cases[] = {
      // Code 8 by the edge-to-tip ratio E.
      {8, 65, 0, 0, 7, 45},    // E 7, above 60: 45 + q mod 5
      {8, 61, 0, 0, 7, 46},
      {8, 60, 0, 0, 7, 40},    // E 7, 51 .. 60: 40 + q mod 5
      {8, 55, 0, 0, 7, 40},
      {8, 51, 0, 0, 7, 41},
      {8, 50, 0, 0, 7, 50},
      {8, 80, 0, 0, 10, 71},   // E 8 .. 14, above 70: q - 3 (E - 7)
      {8, 71, 0, 0, 8, 68},
      {8, 90, 0, 0, 14, 69},
      {8, 70, 0, 0, 14, 70},
      {8, 90, 0, 0, 15, 90},   // E 15 and more: unchanged
      {8, 51, 0, 0, 4, 41},    // E 4 .. 6, above 50: 40 + q mod 5
      {8, 58, 0, 0, 6, 43},
      {8, 50, 0, 0, 6, 50},
      {8, 41, 0, 0, 0, 31},    // E 0 .. 3, above 40: 30 + q mod 10
      {8, 99, 0, 0, 3, 39},
      {8, 40, 0, 0, 3, 40},
      {8, 65, 100, 0, 7, 45},  // cond and contrast play no part for code 8
      // Other codes: s = (quality + contrast) / 2, then the cond rule.
      {9, 60, 20, 30, 0, 55},  // q >= 51, s 36 .. 49: s + 15
      {9, 51, 19, 30, 0, 35},  // s = 35: below the window, kept
      {9, 51, 21, 30, 0, 51},  // s = 36
      {9, 50, 49, 30, 0, 49},  // q = 50, s = 49: kept
      {9, 51, 48, 30, 0, 64},  // s = 49 by rounding down 99 / 2
      {9, 51, 49, 30, 0, 50},  // s = 50: above the window, kept
      {9, 49, 52, 30, 0, 50},  // q <= 49, s = 50: kept
      {9, 200, 100, 30, 0, 22},  // the sum 300 taken as a byte: 44 / 2
      {9, 51, 47, 30, 0, 64},  // s = 49
      {9, 60, 40, 30, 0, 50},  // s = 50: kept
      {9, 40, 70, 30, 0, 50},  // q <= 49, s > 50: s - 5
      {9, 49, 53, 30, 0, 46},  // s = 51
      {9, 40, 60, 30, 0, 50},  // s = 50: kept
      {9, 50, 30, 30, 0, 40},  // q = 50 keeps s
      {9, 50, 60, 30, 0, 55},
      {9, 60, 20, 29, 0, 34},  // cond below 30: cond + 5
      {16, 0, 0, 0, 0, 5},
      {11, 100, 100, 90, 0, 100},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqImgQualityAdjust_ZE4850(c.code, c.quality, c.contrast, c.cond, c.ratio), c.want)
        << "code " << c.code << " q " << int{c.quality} << " c " << int{c.contrast} << " cond "
        << int{c.cond} << " E " << c.ratio;
}

TEST(DynThreshold, ComparesWithTheRoundedLocalMean) {
  // One bright pixel b on a flat 100 field, window 3: the mean is
  // 100 + (b - 100) / 9 at the bright pixel and its eight neighbours,
  // rounded, and 100 everywhere else.
  const int rows = 7, cols = 9, bright = 3 * cols + 4;
  auto neighbour = [](int i) {
    const int dy = i / cols - 3, dx = i % cols - 4;
    return i != bright && dy >= -1 && dy <= 1 && dx >= -1 && dx <= 1;
  };
  struct Case {
    uint8_t b;
    int offset;
    uint8_t invert;
    uint8_t at_bright, at_neighbours, at_field;  // expected output bits
  };
  const Case cases[] = {
      // b = 190: mean 110 at the bright pixel and its neighbours.
      {190, 5, 0, 1, 0, 0},
      {190, 0, 0, 1, 0, 1},    // the field sits exactly at its mean
      {190, 80, 0, 1, 0, 0},   // 190 is exactly 110 + 80
      {190, 81, 0, 0, 0, 0},
      {190, 0, 1, 0, 1, 1},    // at or below: the field again exactly
      {190, -10, 1, 0, 1, 0},  // the neighbours exactly at 110 - 10
      {190, -11, 1, 0, 0, 0},
      // b = 105: 100 + 5 / 9 rounds to 101, so the neighbours (100) are
      // below their mean; a truncated mean would pass them.
      {105, 0, 0, 1, 0, 1},
      {105, 4, 0, 1, 0, 0},    // 105 is exactly 101 + 4
  };
  for (const Case &c : cases) {
    Image img(rows * cols, 100);
    img[bright] = c.b;
    Image out(rows * cols, 9);
    ASSERT_EQ(ZqDynThreshold_v2(img.data(), rows, cols, 3, c.offset, c.invert, out.data()), 0);
    for (int i = 0; i < rows * cols; ++i) {
      const uint8_t want =
          i == bright ? c.at_bright : (neighbour(i) ? c.at_neighbours : c.at_field);
      ASSERT_EQ(out[i], want) << "b " << int{c.b} << " offset " << c.offset << " invert "
                              << int{c.invert} << " pixel " << i;
    }
  }

  Image img(rows * cols, 100), out(rows * cols);
  EXPECT_EQ(ZqDynThreshold_v2(nullptr, rows, cols, 3, 5, 0, out.data()), -1);
  EXPECT_EQ(ZqDynThreshold_v2(img.data(), rows, cols, 3, 5, 0, nullptr), -1);
  EXPECT_EQ(ZqDynThreshold_v2(img.data(), rows, cols, 7, 5, 0, out.data()), -3);
}

TEST_F(Quality, RefusalsWriteNothing) {
  const int w = 64, h = 80;
  const Image img(w * h, 100);
  uint8_t a = 1, q = 2, c = 3, k = 4;
  EXPECT_EQ(ZqImgQuality_Other(nullptr, w, h, &a, &q, &c, nullptr), -1);
  EXPECT_EQ(ZqImgQuality_Other(img.data(), w, h, nullptr, &q, &c, nullptr), -1);
  EXPECT_EQ(ZqImgQuality_Other(img.data(), w, h, &a, nullptr, &c, nullptr), -1);
  EXPECT_EQ(ZqImgQuality_Other(img.data(), w, h, &a, &q, nullptr, nullptr), -1);
  for (auto fn : {ZqImgQuality_ZE4850_v4, ZqImgQuality_ZE4850_v5}) {
    EXPECT_EQ(fn(nullptr, w, h, &a, &q, &k, &c, nullptr), -1);
    EXPECT_EQ(fn(img.data(), w, h, &a, &q, nullptr, &c, nullptr), -1);
    EXPECT_EQ(fn(img.data(), w, h, &a, &q, &k, nullptr, nullptr), -1);
  }
  EXPECT_EQ(a, 1);
  EXPECT_EQ(q, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(k, 4);
  // Too small for the 11 x 11 threshold window: the step fails.
  EXPECT_EQ(ZqImgQuality_ZE4850_v4(img.data(), 11, 40, &a, &q, &k, &c, nullptr), -3);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(ZqGetImgArea_ZE4850(nullptr, w, h), -1);
  EXPECT_EQ(ZqGetImgArea_ZE4850(img.data(), 0, h), -1);
  EXPECT_EQ(ZqGetImgArea_ZE4850(img.data(), w, 0), -1);
  const Image third = {251, 250, 0};
  EXPECT_EQ(ZqGetImgArea_ZE4850(third.data(), 3, 1), 66);
}

// --- Synthetic fingers ---------------------------------------------------------

// Quality of finger `finger` pressed with one condition changed from the
// nominal press; `axis` 0 sensor noise, 1 dryness, 2 contact radius.
uint8_t FingerQuality(const fingers::MasterFinger &master, int finger, int axis, double level) {
  fingers::ImpressionParams p;
  p.seed = 11 + finger;
  p.width = 64;
  p.height = 80;
  if (axis == 0) p.sensor.noise = level;
  if (axis == 1) p.skin.dryness = level;
  if (axis == 2) p.contact.radius = level;
  const Image img = fingers::Render(master, p).frame.gray;
  uint8_t area = 0, quality = 0, cond = 0, contrast = 0;
  EXPECT_EQ(ZqImgQuality(img.data(), 64, 80, &area, &quality, &cond, &contrast, nullptr), 0);
  return quality;
}

uint8_t NonFingerQuality(fingers::NonFingerKind kind, uint64_t seed) {
  fingers::NonFingerParams np;
  np.seed = seed;
  np.kind = kind;
  np.width = 64;
  np.height = 80;
  const Image img = fingers::RenderNonFinger(np).gray;
  uint8_t area = 0, quality = 0, cond = 0, contrast = 0;
  EXPECT_EQ(ZqImgQuality(img.data(), 64, 80, &area, &quality, &cond, &contrast, nullptr), 0);
  return quality;
}

// Quality falls strictly with each step of a worse condition, and every
// non-finger frame scores below every finger frame of the sweep. The
// general scorer measures the spread of local variances, which sensor noise
// evens out (its quality does not fall with noise); the noise sweep runs on
// the ZE4850 scorer, whose ridge masks noise breaks up.
TEST_F(Quality, FallsWithWorseFingersAndNonFingersScoreLowest) {
  struct Sweep {
    uint16_t code;
    int axis;
    double levels[3];
  };
  const Sweep sweeps[] = {
      {0, 1, {0.0, 0.5, 0.9}},    // dryness
      {0, 2, {1.0, 0.75, 0.55}},  // partial contact
      {9, 0, {3, 30, 45}},        // sensor noise
  };
  const fingers::NonFingerKind kinds[] = {
      fingers::NonFingerKind::kEmpty, fingers::NonFingerKind::kEdgeTouch,
      fingers::NonFingerKind::kFlatObject, fingers::NonFingerKind::kDirty,
      fingers::NonFingerKind::kWhite};
  for (const Sweep &sw : sweeps) {
    SetSensorName(sw.code);
    int lowestFinger = 255;
    for (int finger = 0; finger < 6; ++finger) {
      const fingers::MasterFinger master =
          fingers::MakeMaster(fingers::PopulationFinger(32, finger));
      int previous = 256;
      for (double level : sw.levels) {
        const int q = FingerQuality(master, finger, sw.axis, level);
        EXPECT_LT(q, previous) << "code " << sw.code << " axis " << sw.axis << " finger "
                               << finger << " level " << level;
        previous = q;
        // Noise of 30 grey levels and more drowns the ridges of some
        // fingers; the non-finger bound holds against the quiet presses.
        if (sw.axis != 0 || level < 10) lowestFinger = std::min(lowestFinger, q);
      }
    }
    for (fingers::NonFingerKind kind : kinds)
      for (uint64_t seed = 1; seed <= 3; ++seed)
        EXPECT_LT(NonFingerQuality(kind, seed), lowestFinger)
            << "code " << sw.code << " " << fingers::NonFingerKindName(kind) << " seed " << seed;
  }
}

}  // namespace
