// The 16-bit enhancement pipeline: its tables, the texture repair against
// a plain non-local-means loop, the pipelines end to end on synthetic
// fingers, and the orientation-guided envelope normalisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/enhance/ZqImageEnhance16u.h"
#include "src/enhance/ZqMagicTables.h"
#include "src/enhance/ZqOriRepair.h"
#include "src/enhance/ZqTextureRepair.h"

namespace {

// A press of one synthetic finger, whole window in contact, with the given
// sensor noise; noise 0 gives the generator's clean image of the press.
std::vector<uint8_t> Press(int rows, int cols, double noise) {
  static const fingers::MasterFinger master =
      fingers::MakeMaster(fingers::PopulationFinger(29, 4));
  fingers::ImpressionParams p;
  p.width = cols;
  p.height = rows;
  p.contact.radius = 1.6;
  p.sensor.noise = noise;
  return fingers::Render(master, p).frame.gray;
}

template <typename A, typename B>
double Correlation(const std::vector<A> &a, const std::vector<B> &b) {
  double ma = 0, mb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= a.size();
  mb /= b.size();
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return saa == 0 || sbb == 0 ? 0 : sab / std::sqrt(saa * sbb);
}

TEST(ZqMagicTables, SpotChecksFromTheirDefinitions) {
  // 256 e^0, 256 / e = 94.2, 256 / e^2 = 34.6; the last entry is cut to 0.
  EXPECT_EQ(g_MagicExp_Table[0], 256);
  EXPECT_EQ(g_MagicExp_Table[256], 94);
  EXPECT_EQ(g_MagicExp_Table[512], 35);
  EXPECT_EQ(g_MagicExp_Table[1023], 0);
  for (int k = 0; k < 1023; ++k)
    ASSERT_EQ(g_MagicExp_Table[k], std::lround(256 * std::exp(-k / 256.0))) << k;

  // (orientation, step, column offset, row offset). At 60 degrees the
  // single-precision cosine is 0.49999997, so steps 1, 3 and 5 round down
  // (0, 1, 2) where exact halves would round up.
  struct Case {
    int o, k, dx, dy;
  } cases[] = {{0, 1, 1, 0},   {0, 25, 25, 0},  {90, 1, 0, 1},   {90, 25, 0, 25},
               {45, 1, 1, 1},  {135, 2, -1, 1}, {60, 1, 0, 1},   {60, 3, 1, 3},
               {60, 5, 2, 4},  {60, 2, 1, 2},   {179, 25, -25, 0}, {30, 1, 1, 1},
               {150, 4, -3, 2}};
  for (const Case &c : cases) {
    EXPECT_EQ(g_MagicTable_2[c.o][c.k - 1], c.dx) << c.o << " " << c.k;
    EXPECT_EQ(g_MagicTable_3[c.o][c.k - 1], c.dy) << c.o << " " << c.k;
  }
  // Everywhere else the offsets are k cos and k sin rounded; a
  // double-precision evaluation agrees wherever it is not within a hair
  // of a half.
  for (int o = 0; o < 180; ++o)
    for (int k = 1; k <= 25; ++k) {
      const double x = k * std::cos(o * M_PI / 180), y = k * std::sin(o * M_PI / 180);
      if (std::fabs(std::fabs(x - std::trunc(x)) - 0.5) > 1e-4) {
        ASSERT_EQ(g_MagicTable_2[o][k - 1], std::lround(x)) << o << " " << k;
      }
      if (std::fabs(std::fabs(y - std::trunc(y)) - 0.5) > 1e-4) {
        ASSERT_EQ(g_MagicTable_3[o][k - 1], std::lround(y)) << o << " " << k;
      }
    }
}

// Plain non-local means: every displacement outside the inner square, both
// signs, patch distances summed pixel by pixel over a guide extended by
// mirroring with the edge repeated; the same integer weights and finish.
std::vector<uint16_t> NaiveRepair(const std::vector<uint16_t> &data,
                                  const std::vector<uint16_t> &guide, int rows, int cols,
                                  int radius, int patch) {
  const auto mirror = [](int p, int len) {
    while (p < 0 || p >= len) p = p < 0 ? -p - 1 : 2 * len - p - 1;
    return p;
  };
  const auto g = [&](int r, int c) { return int64_t{guide[mirror(r, rows) * cols + mirror(c, cols)]}; };
  const uint32_t divisor = (2 * patch + 1) * (2 * patch + 1) * 1600;
  std::vector<uint16_t> out(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      uint32_t w = 3, s = 3 * data[r * cols + c];
      for (int di = -radius; di <= radius; ++di)
        for (int dj = -radius; dj <= radius; ++dj) {
          if (std::abs(di) <= radius / 2 && std::abs(dj) <= radius / 2) continue;
          const int qr = r + di, qc = c + dj;
          if (qr < 0 || qr >= rows || qc < 0 || qc >= cols) continue;
          int64_t d = 0;
          for (int u = -patch; u <= patch; ++u)
            for (int v = -patch; v <= patch; ++v) {
              const int64_t e = g(r + u, c + v) - g(qr + u, qc + v);
              d += e * e;
            }
          if (d >= 2 * int64_t{divisor}) continue;
          const uint32_t wt = g_MagicExp_Table[(d * 256 + divisor / 2) / divisor];
          w += wt;
          s += wt * data[qr * cols + qc];
        }
      out[r * cols + c] = static_cast<uint16_t>(w > 65536 ? (s + w / 512) / (w / 256)
                                                          : (w / 2 + s * 256) / w);
    }
  return out;
}

// Data and guide of the texture-repair comparisons: the guide a stripe
// pattern plus noise, so that patch distances fall on both sides of the
// weight cut-off.
void RandomPair(int rows, int cols, uint32_t seed, std::vector<uint16_t> *data,
                std::vector<uint16_t> *guide) {
  std::mt19937 rng(seed);
  data->resize(rows * cols);
  guide->resize(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      (*data)[r * cols + c] = static_cast<uint16_t>(rng() % 256);
      const double stripe = 60 * std::sin(2 * M_PI * (c + 0.6 * r) / 7);
      (*guide)[r * cols + c] = static_cast<uint16_t>(100 + stripe + rng() % 25);
    }
}

TEST(ZqTextureRepair, EqualsPlainNonLocalMeans) {
  struct Case {
    int rows, cols, radius;
  } cases[] = {{20, 24, 7}, {20, 24, 1}, {20, 24, 2}, {24, 20, 5}, {3, 4, 7}, {9, 1, 3}};
  for (const Case &c : cases) {
    std::vector<uint16_t> data, guide;
    RandomPair(c.rows, c.cols, c.rows * 100 + c.radius, &data, &guide);
    std::vector<uint16_t> out(c.rows * c.cols, 1);
    ASSERT_EQ(ZqTextureRepair_v2(data.data(), guide.data(), c.rows, c.cols, c.radius, out.data()), 0);
    EXPECT_EQ(out, NaiveRepair(data, guide, c.rows, c.cols, c.radius, 5))
        << "v2 " << c.rows << "x" << c.cols << " r" << c.radius;
    ASSERT_EQ(ZqTextureRepair(data.data(), guide.data(), c.rows, c.cols, c.radius, out.data()), 0);
    EXPECT_EQ(out, NaiveRepair(data, guide, c.rows, c.cols, c.radius, 7))
        << "v1 " << c.rows << "x" << c.cols << " r" << c.radius;
  }
}

TEST(ZqTextureRepair, SelfWeightFlatAndRefusals) {
  std::vector<uint16_t> data, guide;
  RandomPair(12, 10, 5, &data, &guide);
  std::vector<uint16_t> out(120);
  // Radius 0: the pixel alone, 256 x data.
  ASSERT_EQ(ZqTextureRepair_v2(data.data(), guide.data(), 12, 10, 0, out.data()), 0);
  for (int i = 0; i < 120; ++i) ASSERT_EQ(out[i], 256 * data[i]) << i;
  // A guide of full-range noise puts every pair of patches past the
  // distance limit: only the self weight is left.
  std::vector<uint16_t> noise(120);
  std::mt19937 rng(8);
  for (auto &v : noise) v = static_cast<uint16_t>(rng() % 256);
  ASSERT_EQ(ZqTextureRepair_v2(data.data(), noise.data(), 12, 10, 7, out.data()), 0);
  for (int i = 0; i < 120; ++i) ASSERT_EQ(out[i], 256 * data[i]) << i;
  // Flat data and guide: every weight 256, the output 256 x the value.
  std::vector<uint16_t> flat(120, 201);
  ASSERT_EQ(ZqTextureRepair_v2(flat.data(), flat.data(), 12, 10, 7, out.data()), 0);
  EXPECT_EQ(out, std::vector<uint16_t>(120, 256 * 201));
  // 8-bit data never leaves 0..65280.
  ASSERT_EQ(ZqTextureRepair_v2(data.data(), guide.data(), 12, 10, 7, out.data()), 0);
  EXPECT_LE(*std::max_element(out.begin(), out.end()), 65280);

  out.assign(120, 3);
  EXPECT_EQ(ZqTextureRepair_v2(nullptr, guide.data(), 12, 10, 7, out.data()), -1);
  EXPECT_EQ(ZqTextureRepair_v2(data.data(), nullptr, 12, 10, 7, out.data()), -1);
  EXPECT_EQ(ZqTextureRepair_v2(data.data(), guide.data(), 12, 10, 7, nullptr), -1);
  EXPECT_EQ(ZqTextureRepair_v2(data.data(), guide.data(), 0, 10, 7, out.data()), -1);
  EXPECT_EQ(ZqTextureRepair(data.data(), guide.data(), 12, 10, -1, out.data()), -1);
  EXPECT_EQ(out, std::vector<uint16_t>(120, 3));
}

TEST(ZqImageEnhance16u, FlatImages) {
  // Flat: the normalisations map it to 0, so the blend keeps the integer
  // part of 0.65 v in single precision: 100 -> 65, but 180 -> 116 (180 x
  // 0.65f rounds to just below 117).
  for (uint16_t v : {0, 100, 180, 201, 255}) {
    std::vector<uint16_t> src(24 * 20, v), dst(24 * 20, 7);
    ASSERT_EQ(ZqImageEnhance_16u_v2(src.data(), 24, 20, dst.data()), 0);
    EXPECT_EQ(dst, std::vector<uint16_t>(24 * 20, 0)) << v;
    std::vector<uint8_t> img(24 * 20, static_cast<uint8_t>(v));
    ASSERT_EQ(f4851_image_enhance(img.data(), 24, 20), 0);
    EXPECT_EQ(img, std::vector<uint8_t>(24 * 20, static_cast<uint8_t>(v * 0.65f))) << v;
  }
  std::vector<uint8_t> small(16, 100);
  ASSERT_EQ(f4851_image_enhance(small.data(), 4, 4), 0);
  EXPECT_EQ(small, std::vector<uint8_t>(16, 65));
  small.assign(16, 180);
  ASSERT_EQ(f4851_image_enhance(small.data(), 4, 4), 0);
  EXPECT_EQ(small, std::vector<uint8_t>(16, 116));
}

TEST(ZqImageEnhance16u, RaisesCorrelationWithTheCleanRidges) {
  const int rows = 96, cols = 96;
  const std::vector<uint8_t> clean = Press(rows, cols, 0);
  for (double noise : {40.0, 60.0, 90.0}) {
    const std::vector<uint8_t> noisy = Press(rows, cols, noise);
    std::vector<uint8_t> enhanced = noisy;
    ASSERT_EQ(f4851_image_enhance(enhanced.data(), rows, cols), 0);
    const double before = Correlation(noisy, clean), after = Correlation(enhanced, clean);
    EXPECT_GT(after, before + 0.02) << noise << ": " << before << " -> " << after;
  }
}

TEST(ZqImageEnhance16u, InPlaceSmallestSizeAndRefusals) {
  const std::vector<uint8_t> gray = Press(40, 36, 10);
  std::vector<uint16_t> img(gray.begin(), gray.end()), out(img.size());
  ASSERT_EQ(ZqImageEnhance_16u_v2(img.data(), 40, 36, out.data()), 0);
  EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);
  EXPECT_GE(*std::max_element(out.begin(), out.end()), 254);  // float scale may fall short
  EXPECT_LE(*std::max_element(out.begin(), out.end()), 255);
  ASSERT_EQ(ZqImageEnhance_16u_v2(img.data(), 40, 36, img.data()), 0);
  EXPECT_EQ(img, out);

  std::vector<uint16_t> four(16);
  for (int i = 0; i < 16; ++i) four[i] = static_cast<uint16_t>(i * 13);
  EXPECT_EQ(ZqImageEnhance_16u_v2(four.data(), 4, 4, four.data()), 0);
  std::vector<uint16_t> keep(3 * 40, 5);
  EXPECT_EQ(ZqImageEnhance_16u_v2(keep.data(), 3, 40, keep.data()), -1);
  EXPECT_EQ(ZqImageEnhance_16u_v2(keep.data(), 40, 3, keep.data()), -1);
  EXPECT_EQ(ZqImageEnhance_16u_v2(nullptr, 40, 36, out.data()), -1);
  EXPECT_EQ(ZqImageEnhance_16u_v2(img.data(), 40, 36, nullptr), -1);
  EXPECT_EQ(keep, std::vector<uint16_t>(3 * 40, 5));

  std::vector<uint8_t> small(3 * 40, 9);
  EXPECT_EQ(f4851_image_enhance(small.data(), 3, 40), -3);
  EXPECT_EQ(f4851_image_enhance(small.data(), 40, -3), -3);
  EXPECT_EQ(small, std::vector<uint8_t>(3 * 40, 9));
  EXPECT_EQ(f4851_image_enhance(nullptr, 40, 36), -1);
}

TEST(ZqImageEnhance16u, OlderPipelineKeepsTheRidges) {
  const int rows = 64, cols = 64;
  const std::vector<uint8_t> clean = Press(rows, cols, 0), noisy = Press(rows, cols, 15);
  std::vector<uint16_t> img(noisy.begin(), noisy.end()), out(img.size());
  ASSERT_EQ(ZqImageEnhance_16u(img.data(), rows, cols, out.data()), 0);
  EXPECT_EQ(*std::min_element(out.begin(), out.end()), 0);
  EXPECT_EQ(*std::max_element(out.begin(), out.end()), 255);
  EXPECT_GT(Correlation(out, clean), 0.5);
  ASSERT_EQ(ZqImageEnhance_16u(img.data(), rows, cols, img.data()), 0);
  EXPECT_EQ(img, out);
  EXPECT_EQ(ZqImageEnhance_16u(img.data(), 64, 3, out.data()), -1);
  EXPECT_EQ(ZqImageEnhance_16u(nullptr, 64, 64, out.data()), -1);
  EXPECT_EQ(ZqImageEnhance_16u(img.data(), 64, 64, out.data()), 0);
}

// Sinusoidal stripes whose ridges run along orientation `deg` (0 along a
// row, 90 down the columns), period 8.
std::vector<uint16_t> Stripes(int rows, int cols, double deg) {
  const double a = deg * M_PI / 180;
  std::vector<uint16_t> img(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const double across = -c * std::sin(a) + r * std::cos(a);
      img[r * cols + c] = static_cast<uint16_t>(128 + 100 * std::cos(2 * M_PI * across / 8));
    }
  return img;
}

TEST(ZqGetOriGraph, FindsTheStripeOrientation) {
  const int rows = 48, cols = 56;
  for (int deg : {0, 30, 45, 90, 120, 135, 160}) {
    const std::vector<uint16_t> img = Stripes(rows, cols, deg);
    std::vector<uint16_t> ori(rows * cols, 999);
    ASSERT_EQ(ZqGetOriGraph(img.data(), rows, cols, 19, 1, ori.data()), 0);
    for (int r = 12; r < rows - 12; ++r)
      for (int c = 12; c < cols - 12; ++c) {
        int diff = std::abs(ori[r * cols + c] - deg);
        diff = std::min(diff, 180 - diff);
        ASSERT_LE(diff, 2) << deg << " at " << r << "," << c << ": " << ori[r * cols + c];
      }
    EXPECT_LE(*std::max_element(ori.begin(), ori.end()), 179);
  }
  std::vector<uint16_t> ori(16);
  const std::vector<uint16_t> img = Stripes(4, 4, 0);
  EXPECT_EQ(ZqGetOriGraph(nullptr, 4, 4, 19, 1, ori.data()), -1);
  EXPECT_EQ(ZqGetOriGraph(img.data(), 4, 4, 19, 1, nullptr), -1);
  EXPECT_EQ(ZqGetOriGraph(img.data(), 4, 4, 0, 1, ori.data()), -3);
}

TEST(ZqTextureOriRepair, MaximumAlongAndAcrossTheOrientation) {
  // 7 x 7 zeros with one bright pixel at row 3, column 5.
  std::vector<uint16_t> img(49, 0), out(49);
  img[3 * 7 + 5] = 50;
  struct Case {
    int ori, steps;
    bool across;
    std::vector<int> lit;  // pixels that must see the bright one
  } cases[] = {
      {0, 2, false, {3 * 7 + 3, 3 * 7 + 4, 3 * 7 + 5, 3 * 7 + 6}},
      {90, 2, true, {3 * 7 + 3, 3 * 7 + 4, 3 * 7 + 5, 3 * 7 + 6}},
      {90, 2, false, {1 * 7 + 5, 2 * 7 + 5, 3 * 7 + 5, 4 * 7 + 5, 5 * 7 + 5}},
      {45, 1, false, {2 * 7 + 4, 3 * 7 + 5, 4 * 7 + 6}},
      // Steps beyond the tables' 25 are cut, orientations taken modulo 180.
      {180, 99, false, {3 * 7 + 0, 3 * 7 + 1, 3 * 7 + 2, 3 * 7 + 3, 3 * 7 + 4, 3 * 7 + 5, 3 * 7 + 6}},
  };
  for (const Case &c : cases) {
    std::vector<uint16_t> ori(49, static_cast<uint16_t>(c.ori));
    if (c.across)
      ZqTextureVetOriRepair(img.data(), ori.data(), 7, 7, c.steps, out.data());
    else
      ZqTextureOriRepair(img.data(), ori.data(), 7, 7, c.steps, out.data());
    std::vector<uint16_t> want(49, 0);
    for (int i : c.lit) want[i] = 50;
    EXPECT_EQ(out, want) << c.ori << " " << c.steps << " " << c.across;
  }
}

TEST(ZqOriRepair, EnvelopeNormalisation) {
  // Stripes with a contrast that fades across the image come out with full
  // contrast everywhere away from the border.
  const int rows = 48, cols = 48;
  std::vector<uint16_t> img = Stripes(rows, cols, 90), out(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const double gain = 0.2 + 0.8 * r / rows;
      img[r * cols + c] = static_cast<uint16_t>(128 + gain * (img[r * cols + c] - 128.0));
    }
  ASSERT_EQ(ZqOriRepair(img.data(), rows, cols, 3, 3, out.data()), 0);
  for (int r = 8; r < rows - 8; r += 8) {
    const auto row = out.begin() + r * cols;
    EXPECT_LT(*std::min_element(row + 8, row + cols - 8), 40) << r;
    EXPECT_GT(*std::max_element(row + 8, row + cols - 8), 215) << r;
  }
  std::vector<uint16_t> again(img);
  ASSERT_EQ(ZqOriRepair(again.data(), rows, cols, 3, 3, again.data()), 0);
  EXPECT_EQ(again, out);
  // Flat: the envelopes meet, everything 0.
  std::vector<uint16_t> flat(rows * cols, 77);
  ASSERT_EQ(ZqOriRepair(flat.data(), rows, cols, 3, 3, flat.data()), 0);
  EXPECT_EQ(flat, std::vector<uint16_t>(rows * cols, 0));
  EXPECT_EQ(ZqOriRepair(nullptr, rows, cols, 3, 3, out.data()), -1);
  EXPECT_EQ(ZqOriRepair(img.data(), 0, cols, 3, 3, out.data()), -1);
}

}  // namespace
