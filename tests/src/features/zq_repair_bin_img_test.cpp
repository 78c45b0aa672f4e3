// The small-sensor binariser through the pre-threshold enhancement: the
// trimmed-mean histogram threshold, the preparation chain and the bits of
// synthetic fingers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/features/ZqRepairGenBinImg.h"
#include "src/features/ZqBitValue.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace {

struct ImageDeleter {
  void operator()(ST_Image *img) const { ZqReleaseImage(&img); }
};
using ImagePtr = std::unique_ptr<ST_Image, ImageDeleter>;

ImagePtr MakeImage(int rows, int cols, const std::function<uint8_t(int, int)> &pixel) {
  const ST_Size size = {rows, cols};
  ImagePtr img(ZqCreateImage(&size, DEPTH_8U));
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) img->imageData[y * img->rowBytes + x] = pixel(x, y);
  return img;
}

using Builder = int32_t (*)(const ST_Image *, uint64_t **, uint16_t *);

// Bits of a builder as one byte per pixel (EXPECTs a 0 result).
std::vector<uint8_t> Bits(const ST_Image *img, Builder build = ZqRepairGenBinImgForSamllSensor) {
  uint64_t *words = nullptr;
  uint16_t count = 0;
  EXPECT_EQ(build(img, &words, &count), 0);
  const int n = img->width * img->height;
  EXPECT_EQ(count, (n + 63) / 64);
  std::vector<uint8_t> bits(n, 0);
  if (words == nullptr) return bits;
  for (int i = 0; i < n; ++i) bits[i] = static_cast<uint8_t>(words[i / 64] >> (i % 64) & 1);
  ZqSafeFree(words);
  return bits;
}

TEST(HistBinSmall, TrimmedMeanThresholds) {
  const struct {
    const char *name;
    std::function<uint8_t(int)> pixel;
    int n;
    int set;  // pixels at or above the threshold
    std::function<bool(uint8_t, uint8_t)> rule;  // (pixel, out) agree
  } cases[] = {
      // i = 51, j = 199, the bins between empty: t = 199.
      {"50|200", [](int i) { return static_cast<uint8_t>(i % 2 ? 200 : 50); }, 400, 200,
       [](uint8_t v, uint8_t o) { return o == (v == 200 ? 0xFF : 0); }},
      // b = 5: bins 5..94 remain, mean 49.5 rounds to 50.
      {"ramp 0..99", [](int i) { return static_cast<uint8_t>(i); }, 100, 50,
       [](uint8_t v, uint8_t o) { return o == (v >= 50 ? 0xFF : 0); }},
      // One grey level: i > j and t = j = v - 1, so every pixel is set.
      {"flat", [](int) { return uint8_t{90}; }, 300, 300, nullptr},
      // Too few pixels to trim: the plain rounded mean.
      {"one pixel", [](int) { return uint8_t{0}; }, 1, 1, nullptr},
  };
  for (const auto &c : cases) {
    std::vector<uint8_t> img(c.n), out(c.n, 7);
    for (int i = 0; i < c.n; ++i) img[i] = c.pixel(i);
    ASSERT_EQ(ZqHistBinSmall(img.data(), c.n, 1, out.data()), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0xFF), c.set) << c.name;
    EXPECT_EQ(std::count(out.begin(), out.end(), 0xFF) + std::count(out.begin(), out.end(), 0),
              c.n) << c.name;
    if (c.rule) {
      for (int i = 0; i < c.n; ++i) ASSERT_TRUE(c.rule(img[i], out[i])) << c.name << " " << i;
    }
  }
  uint8_t px = 1, out = 0;
  EXPECT_EQ(ZqHistBinSmall(nullptr, 1, 1, &out), -1);
  EXPECT_EQ(ZqHistBinSmall(&px, 0, 1, &out), -1);
}

// A press in full contact on a 56 x 56 window: set bits are the valleys
// (bright), so they follow the sign of the master's ridge signal.
TEST(RepairGenBinImg, BitsFollowTheRidgesOfASyntheticFinger) {
  const struct {
    int finger, cols, rows;
    Builder build;
  } cases[] = {{3, 56, 56, ZqRepairGenBinImgForSamllSensor},
               {1, 56, 56, ZqRepairGenBinImgForSamllSensor},
               {4, 54, 50, ZqRepairGenBinImgForSamllSensor},
               {3, 56, 56, ZqRepairToGenBinImg},
               {2, 64, 80, ZqRepairToGenBinImg}};
  for (const auto &c : cases) {
    const fingers::MasterFinger master =
        fingers::MakeMaster(fingers::PopulationFinger(31, c.finger));
    fingers::ImpressionParams p;
    p.width = c.cols;
    p.height = c.rows;
    p.contact.radius = 1.6;
    const fingers::Impression imp = fingers::Render(master, p);
    ImagePtr img = MakeImage(c.rows, c.cols, [&](int x, int y) { return imp.frame.At(x, y); });
    const std::vector<uint8_t> bits = Bits(img.get(), c.build);
    int valid = 0, agree = 0;
    for (int y = 0; y < c.rows; ++y)
      for (int x = 0; x < c.cols; ++x) {
        const int i = y * c.cols + x;
        if (imp.contact[i] < 0.9f) continue;
        const fingers::Point m = imp.ToMaster(x, y);
        ++valid;
        agree += bits[i] == (master.RidgeAt(m.x, m.y) < 0 ? 1 : 0);
      }
    ASSERT_GT(valid, c.rows * c.cols / 2);
    EXPECT_GE(agree, valid * 0.9) << c.finger << ": " << agree << " of " << valid;
  }
  EXPECT_EQ(ZqGetMallocCnts(), 0);
}

// Rows are read through rowBytes: what lies in the padding of a width
// that is not a multiple of 4 does not change the bits.
TEST(RepairGenBinImg, RowPaddingIsNotPixelData) {
  const auto ridge = [](int x, int y) { return static_cast<uint8_t>((x + 2 * y) % 9 < 4 ? 40 : 200); };
  ImagePtr a = MakeImage(30, 27, ridge);
  ImagePtr b = MakeImage(30, 27, ridge);
  ASSERT_EQ(b->rowBytes, 28);
  for (int y = 0; y < 30; ++y) b->imageData[y * b->rowBytes + 27] = static_cast<uint8_t>(y * 37);
  EXPECT_EQ(Bits(a.get()), Bits(b.get()));
}

TEST(RepairGenBinImg, FlatTemplateKeepsTheOrientedSmoothing) {
  ImagePtr img = MakeImage(40, 40, [](int, int) { return uint8_t{120}; });
  ImagePtr out = MakeImage(40, 40, [](int, int) { return uint8_t{0}; });
  const int32_t live = ZqGetMallocCnts();
  ASSERT_EQ(ZqImPrepare(img.get(), out.get()), 0);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_NEAR(out->imageData[y * out->rowBytes + x], 120, 1);
  Bits(img.get());  // the builder still succeeds
  Bits(img.get(), ZqRepairToGenBinImg);
  EXPECT_EQ(ZqGetMallocCnts(), live);
}

// The general binariser keeps the grey value of a flat window (above one
// half: set); the 7 x 7 variant clears it.
TEST(RepairGenBinImg, FlatWindowsAreClearedByTheSevenBySevenVariant) {
  ImagePtr img = MakeImage(20, 24, [](int x, int) { return static_cast<uint8_t>(x < 12 ? 90 : 200); });
  const auto bits = [&](int32_t pad, int clear) {
    uint64_t *words = nullptr;
    uint16_t count = 0;
    EXPECT_EQ(ZqGenBinImgWindow(img.get(), &words, &count, pad, clear), 0);
    std::vector<uint8_t> out(20 * 24);
    for (int i = 0; i < 20 * 24; ++i) out[i] = static_cast<uint8_t>(words[i / 64] >> (i % 64) & 1);
    ZqSafeFree(words);
    return out;
  };
  const std::vector<uint8_t> kept = bits(3, 0), cleared = bits(3, 1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) {
      const bool flat = x < 12 - 5 || x > 11 + 5;  // window and blur clear of the edge
      if (!flat) continue;
      EXPECT_EQ(kept[y * 24 + x], 1) << x;
      EXPECT_EQ(cleared[y * 24 + x], 0) << x;
    }
}

TEST(RepairGenBinImg, ReusesTheCallersWordsAndRefusesBadInput) {
  ImagePtr img = MakeImage(20, 20, [](int x, int) { return static_cast<uint8_t>(x % 6 < 3 ? 50 : 210); });
  ImagePtr big = MakeImage(200, 200, [](int, int) { return uint8_t{9}; });  // 40000 pixels
  ImagePtr small = MakeImage(3, 3, [](int, int) { return uint8_t{0}; });
  ImagePtr huge = MakeImage(256, 257, [](int, int) { return uint8_t{9}; });
  const int32_t live = ZqGetMallocCnts();
  std::vector<uint64_t> mine(7, ~uint64_t{0});
  uint64_t *words = mine.data();
  uint16_t count = 0;
  ASSERT_EQ(ZqRepairGenBinImgForSamllSensor(img.get(), &words, &count), 0);
  EXPECT_EQ(words, mine.data());
  EXPECT_EQ(count, 7);
  EXPECT_EQ(mine[6] >> 16, 0u) << "bits past the last pixel are cleared";

  uint64_t *none = nullptr;
  EXPECT_EQ(ZqRepairGenBinImgForSamllSensor(big.get(), &none, &count), -1);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(ZqRepairGenBinImgForSamllSensor(nullptr, &none, &count), -1);
  EXPECT_EQ(ZqRepairGenBinImgForSamllSensor(img.get(), nullptr, &count), -1);
  EXPECT_EQ(ZqRepairGenBinImgForSamllSensor(img.get(), &none, nullptr), -1);
  EXPECT_EQ(ZqRepairToGenBinImg(huge.get(), &none, &count), -1);
  EXPECT_EQ(ZqRepairToGenBinImg(big.get(), &none, &count), 0) << "up to 65535 pixels";
  ZqSafeFree(none);
  none = nullptr;
  EXPECT_EQ(ZqRepairToGenBinImg(nullptr, &none, &count), -1);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(ZqImPrepare(img.get(), small.get()), -1) << "sizes differ";
  EXPECT_EQ(ZqSetBitValue(mine.data(), 64 * 7, 7, 1), -1);
  EXPECT_EQ(ZqGetMallocCnts(), live);
}

}  // namespace

namespace {

std::vector<std::string> *g_lines = nullptr;
uint64_t g_now = 0;

int CaptureLine(const char *format, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  if (g_lines != nullptr) g_lines->push_back(buf);
  return n;
}

uint64_t TickingClock() { return g_now += 3; }

// With the timing switch on and a clock registered, the preparation and
// the pre-threshold stages report their durations; otherwise they are
// silent.
TEST(RepairGenBinImg, StepDurationsAreLoggedOnlyWithTheSwitchAndAClock) {
  ImagePtr img = MakeImage(40, 40, [](int x, int y) { return static_cast<uint8_t>((x + y) % 8 < 4 ? 60 : 190); });
  ImagePtr out = MakeImage(40, 40, [](int, int) { return uint8_t{0}; });
  std::vector<std::string> lines;
  g_lines = &lines;
  g_debuginfo = 2;
  InitFuncSetLog(CaptureLine);
  const struct {
    uint8_t functimes;
    bool clock;
    bool logged;
  } cases[] = {{1, true, true}, {0, true, false}, {1, false, false}};
  for (const auto &c : cases) {
    lines.clear();
    g_functimes = c.functimes;
    InitFuncGetSystemTime(c.clock ? TickingClock : nullptr);
    ASSERT_EQ(ZqImPrepare(img.get(), out.get()), 0);
    const char *expected[] = {
        "ZqImPrepare...ZqConvole cost time = 3 ms",
        "ZqImageEnhanceSmall...ZqWhiteStrech x1 cost time = 3 ms",
        "ZqImageEnhanceSmall...ZqPreQuantiy x1 cost time = 3 ms",
        "ZqImageEnhanceSmall...ZqGaborTextureRepair x1 cost time = 3 ms",
        "ZqImageEnhanceSmall...ZqImageEnhance cost time = ",
        "ZqPreThresholdProcess...ZqGaussBandFilter cost time = 3 ms",
        "ZqImPrepare...ZqPreThresholdProcess cost time = ",
    };
    for (const char *e : expected) {
      const bool found = std::any_of(lines.begin(), lines.end(),
                                     [&](const std::string &l) { return l.find(e) != std::string::npos; });
      EXPECT_EQ(found, c.logged) << e;
    }
  }
  g_functimes = 0;
  InitFuncGetSystemTime(nullptr);
  InitFuncSetLog(nullptr);
  g_debuginfo = 0;
  g_lines = nullptr;
}

}  // namespace
