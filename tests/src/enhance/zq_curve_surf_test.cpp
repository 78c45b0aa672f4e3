// Curved-surface removal and adaptive equalisation: argument checks, the
// clipping's conservation law, hand-derived equalisations of flat images,
// and synthetic fingers over a bowl-shaped 16-bit background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ImgAdaptHisteq.h"
#include "src/enhance/ZqDealCurveSurf.h"

namespace {

using Image = std::vector<uint8_t>;
using Frame16 = std::vector<uint16_t>;

// --- ImgAdaptHisteq ----------------------------------------------------------

Image Noise(int n, int lo, int hi, uint32_t seed) {
  std::mt19937 rng(seed);
  Image img(n);
  for (uint8_t &v : img) v = static_cast<uint8_t>(lo + rng() % (hi - lo + 1));
  return img;
}

TEST(ImgAdaptHisteq, RefusesBadParametersAndLeavesTheImage) {
  struct Case {
    const char *what;
    uint32_t width, height, tilesX, tilesY;
    float clip;
    uint8_t lo, hi;
    uint32_t bins;
  };
  const Case cases[] = {
      {"clip 1.0", 96, 96, 12, 12, 1.0f, 0, 255, 256},
      {"clip NaN", 96, 96, 12, 12, std::nanf(""), 0, 255, 256},
      {"negative clip", 96, 96, 12, 12, -0.01f, 0, 255, 256},
      {"width 100, 12 tiles", 100, 96, 12, 12, 0.04f, 0, 255, 256},
      {"height not a tile multiple", 96, 100, 12, 12, 0.04f, 0, 255, 256},
      {"one tile across", 96, 96, 1, 12, 0.04f, 0, 255, 256},
      {"no tiles down", 96, 96, 12, 0, 0.04f, 0, 255, 256},
      {"lo above hi", 96, 96, 12, 12, 0.04f, 200, 100, 256},
      {"257 bins", 96, 96, 12, 12, 0.04f, 0, 255, 257},
  };
  for (const Case &k : cases) {
    Image img = Noise(static_cast<int>(k.width * k.height), 0, 255, 1);
    const Image before = img;
    EXPECT_EQ(ImgAdaptHisteq(img.data(), k.width, k.height, k.lo, k.hi, k.tilesX, k.clip, k.tilesY,
                             k.bins),
              -1)
        << k.what;
    EXPECT_EQ(img, before) << k.what;
  }
  EXPECT_EQ(ImgAdaptHisteq(nullptr, 96, 96, 0, 255, 12, 0.04f, 12, 256), -1);
}

TEST(ImgAdaptHisteq, ZeroBinsMeansTwoHundredFiftySix) {
  const Image src = Noise(120 * 96, 60, 140, 2);
  Image a = src, b = src;
  ASSERT_EQ(ImgAdaptHisteq(a.data(), 120, 96, 0, 255, 12, 0.04f, 8, 0), 0);
  ASSERT_EQ(ImgAdaptHisteq(b.data(), 120, 96, 0, 255, 12, 0.04f, 8, 256), 0);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, src);
}

TEST(ImgAdaptHisteq, FlatImagesMapByHand) {
  // A flat image of 7: every tile's histogram is a spike at 7, smoothed to
  // bins 6, 7, 8; clipped, the rest handed out from bin 0 in steps of
  // 256 / excess. The mapping of bin 7 is the running sum up to it
  // x 255 / n, the same for every tile, so every pixel takes it.
  //  - 48 x 48, 4 x 4 tiles (n 16): clip 1 + round(15 x 0.04) = 2, bins
  //    6..8 hold 5 each, clipped to 2, excess 9 from bin 0 in steps of 28:
  //    running sum 1 + 2 + 2 = 5, 5 x 255 / 16 = 79.7 -> 80.
  //  - 36 x 36, odd 3 x 3 tiles (n 9): clip 1, bins 6..8 hold 3 each,
  //    clipped to 1, excess 6 in steps of 42: 1 + 1 + 1 = 3 -> 85. The last
  //    row and column of sub-blocks take the odd pixel, so nothing is left
  //    at 7.
  struct Case {
    uint32_t side;
    uint8_t want;
  };
  for (const Case &k : {Case{48, 80}, Case{36, 85}}) {
    Image img(k.side * k.side, 7);
    ASSERT_EQ(ImgAdaptHisteq(img.data(), k.side, k.side, 0, 255, 12, 0.04f, 12, 256), 0);
    EXPECT_EQ(img, Image(k.side * k.side, k.want)) << k.side;
  }
}

TEST(ImgAdaptHisteq, FewerBinsThanGreyLevelsStillSeparateThem) {
  // 64 bins over 0..255: four grey levels per bin. A two-level image keeps
  // its two levels apart (with one bin per whole level they would collapse
  // into bin 0 and come out as one grey).
  Image img(48 * 48);
  for (int i = 0; i < 48 * 48; ++i) img[i] = (i / 48 + i % 48) % 2 ? 40 : 200;
  ASSERT_EQ(ImgAdaptHisteq(img.data(), 48, 48, 0, 255, 4, 0.04f, 4, 64), 0);
  for (int i = 0; i < 48 * 48; ++i) {
    const bool dark = (i / 48 + i % 48) % 2 == 1;
    const uint8_t other = img[i % 48 == 0 ? i + 1 : i - 1];
    if (dark) {
      ASSERT_LT(img[i], other) << i;
    }
  }
}

TEST(ImgAdaptHisteq, ClippingKeepsTheTotal) {
  struct Case {
    const char *what;
    std::vector<int32_t> hist;
    int32_t clip;
    std::vector<int32_t> want;  // empty: only the laws are checked
  };
  std::mt19937 rng(3);
  std::vector<int32_t> random(256);
  for (int32_t &v : random) v = static_cast<int32_t>(rng() % 40);
  std::vector<int32_t> spike(256, 0);
  spike[17] = 144;
  std::vector<int32_t> overfull(256, 3);  // 768 counts, 256 x 2 room
  overfull[0] = 40;
  const Case cases[] = {
      // excess 7, one each; bins near the clip fill up; the last 1 goes to
      // bin 1 on the second start.
      {"by hand", {10, 0, 1, 1}, 3, {3, 3, 3, 3}},
      {"spike", spike, 2, {}},
      {"random", random, 25, {}},
      {"below the clip", std::vector<int32_t>(256, 4), 5, std::vector<int32_t>(256, 4)},
      {"every bin full", overfull, 2, {}},
  };
  for (const Case &k : cases) {
    std::vector<int32_t> h = k.hist;
    const int64_t total = std::accumulate(h.begin(), h.end(), int64_t{0});
    zq::AdaptHisteqClip(h.data(), static_cast<int32_t>(h.size()), k.clip);
    EXPECT_EQ(std::accumulate(h.begin(), h.end(), int64_t{0}), total) << k.what;
    if (total <= static_cast<int64_t>(h.size()) * k.clip) {
      for (int32_t v : h) {
        ASSERT_LE(v, k.clip) << k.what;
      }
    }
    if (!k.want.empty()) {
      EXPECT_EQ(h, k.want) << k.what;
    }
  }
}

// --- DealCurveSurfData -------------------------------------------------------

// A press of one synthetic finger covering the window, as raw 16-bit
// samples (ridges high), with the clean ridge signal in *clean.
Frame16 RawPress(int rows, int cols, std::vector<float> *clean) {
  static const fingers::MasterFinger master =
      fingers::MakeMaster(fingers::PopulationFinger(33, 2));
  fingers::ImpressionParams p;
  p.width = cols;
  p.height = rows;
  p.contact.radius = 1.6;
  p.sensor.raw16 = true;
  p.sensor.noise = 1.0;
  const fingers::Impression imp = fingers::Render(master, p);
  *clean = imp.darkness;
  return imp.frame.raw;
}

// Adds a bowl 1500 counts deep at the rim, centred off the middle.
Frame16 OverBowl(const Frame16 &raw, int rows, int cols) {
  Frame16 out(raw.size());
  const double cy = rows * 0.4, cx = cols * 0.55;
  const double scale = 1500.0 / (cy * cy + cx * cx);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const double b = scale * ((r - cy) * (r - cy) + (c - cx) * (c - cx));
      out[r * cols + c] = static_cast<uint16_t>(raw[r * cols + c] + std::lround(b));
    }
  return out;
}

// Pearson correlation over the pixels at least `margin` from the border.
template <typename A, typename B>
double Correlation(const std::vector<A> &a, const std::vector<B> &b, int rows, int cols,
                   int margin) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  int n = 0;
  for (int r = margin; r < rows - margin; ++r)
    for (int c = margin; c < cols - margin; ++c) {
      const double x = a[r * cols + c], y = b[r * cols + c];
      sa += x;
      sb += y;
      saa += x * x;
      sbb += y * y;
      sab += x * y;
      ++n;
    }
  const double cov = sab / n - (sa / n) * (sb / n);
  return cov / std::sqrt((saa / n - (sa / n) * (sa / n)) * (sbb / n - (sb / n) * (sb / n)));
}

struct Size {
  int rows, cols;
};

std::string Name(Size s) { return std::to_string(s.rows) + "x" + std::to_string(s.cols); }

TEST(DealCurveSurfData, RestoresRidgesOverABowlOnEveryLayout) {
  // Square and non-square windows: the output follows the clean ridge
  // signal, not the bowl (which alone correlates with nothing periodic).
  for (Size s : {Size{96, 96}, Size{64, 128}, Size{128, 80}, Size{88, 88}}) {
    std::vector<float> clean;
    const Frame16 frame = OverBowl(RawPress(s.rows, s.cols, &clean), s.rows, s.cols);
    Image out(frame.size(), 3);
    ASSERT_EQ(DealCurveSurfData(frame.data(), s.rows, s.cols, out.data()), 0) << Name(s);
    const double corr = Correlation(out, clean, s.rows, s.cols, 6);
    EXPECT_GT(corr, 0.8) << Name(s);
    // The equalisation spreads the grey levels over most of the range.
    int lo = 255, hi = 0;
    for (uint8_t v : out) {
      lo = std::min<int>(lo, v);
      hi = std::max<int>(hi, v);
    }
    EXPECT_GT(hi - lo, 180) << Name(s);
  }
}

TEST(DealCurveSurfData, ColumnOffsetsDoNotShowThrough) {
  for (Size s : {Size{96, 96}, Size{64, 128}}) {
    std::vector<float> clean;
    const Frame16 frame = OverBowl(RawPress(s.rows, s.cols, &clean), s.rows, s.cols);
    Frame16 shifted = frame;
    std::mt19937 rng(5);
    for (int c = 0; c < s.cols; ++c) {
      const int offset = static_cast<int>(rng() % 700) - 300;  // keeps every pixel above 199
      for (int r = 0; r < s.rows; ++r) {
        uint16_t &v = shifted[r * s.cols + c];
        v = static_cast<uint16_t>(v + offset);
      }
    }
    Image a(frame.size()), b(frame.size());
    ASSERT_EQ(DealCurveSurfData(frame.data(), s.rows, s.cols, a.data()), 0);
    ASSERT_EQ(DealCurveSurfData(shifted.data(), s.rows, s.cols, b.data()), 0);
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LE(worst, 1) << Name(s);
  }
}

TEST(DealCurveSurfData, InvalidPixelsComeOutWhite) {
  const int rows = 48, cols = 48;
  {
    // Nothing above 199: everything is invalid.
    Frame16 frame(rows * cols);
    for (int i = 0; i < rows * cols; ++i) frame[i] = static_cast<uint16_t>(i % 200);
    Image out(frame.size(), 0);
    ASSERT_EQ(DealCurveSurfData(frame.data(), rows, cols, out.data()), 0);
    EXPECT_EQ(out, Image(frame.size(), 255));
  }
  {
    // A textured frame with a dead block: the block stays 255 through the
    // smoothing, sharpening and equalisation; the rest is not all white.
    std::vector<float> clean;
    Frame16 frame = RawPress(rows, cols, &clean);
    for (int r = 10; r < 20; ++r)
      for (int c = 30; c < 44; ++c) frame[r * cols + c] = 150;
    Image out(frame.size(), 0);
    ASSERT_EQ(DealCurveSurfData(frame.data(), rows, cols, out.data()), 0);
    int white = 0;
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) {
        const bool dead = r >= 10 && r < 20 && c >= 30 && c < 44;
        if (dead) {
          EXPECT_EQ(out[r * cols + c], 255) << r << "," << c;
        }
        white += out[r * cols + c] == 255;
      }
    EXPECT_LT(white, 10 * 14 + rows * cols / 10);
  }
}

TEST(DealCurveSurfData, BadArguments) {
  Frame16 frame(16, 1000);
  Image out(16, 7);
  EXPECT_EQ(DealCurveSurfData(nullptr, 4, 4, out.data()), -1);
  EXPECT_EQ(DealCurveSurfData(frame.data(), 4, 4, nullptr), -1);
  EXPECT_EQ(DealCurveSurfData(frame.data(), 0, 4, out.data()), -1);
  EXPECT_EQ(DealCurveSurfData(frame.data(), 4, -2, out.data()), -1);
  EXPECT_EQ(DealCurveSurfData(frame.data(), 70000, 1, out.data()), -1);
  EXPECT_EQ(out, Image(16, 7));
}

}  // namespace
