// The two binarisers: agreement with the generator's ridge pattern, exact
// bits on constructed images, and their failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/features/ZqBinImg.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;

using Builder = int (*)(const ST_Image *, uint64_t **, uint16_t *);

struct ImageDeleter {
  void operator()(ST_Image *img) const { ZqReleaseImage(&img); }
};
using ImagePtr = std::unique_ptr<ST_Image, ImageDeleter>;

// An rows x cols image of `depth` with pixel (x, y) = f(x, y).
template <typename F>
ImagePtr MakeImage(int rows, int cols, F f, int32_t depth = DEPTH_8U) {
  const ST_Size size = {rows, cols};
  ImagePtr img(ZqCreateImage(&size, depth));
  if (depth == DEPTH_8U) {
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) img->imageData[y * img->rowBytes + x] = f(x, y);
  }
  return img;
}

// Builds with a fresh array; the bits as one byte per pixel.
std::vector<uint8_t> Bits(Builder build, const ST_Image *img) {
  uint64_t *words = nullptr;
  uint16_t count = 0;
  EXPECT_EQ(build(img, &words, &count), 0);
  std::vector<uint8_t> out(static_cast<size_t>(img->width) * img->height);
  if (words == nullptr) return out;
  EXPECT_EQ(count, ZqBinImgWordCount(img->width, img->height));
  for (uint32_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(ZqBinImgBit(words, i));
  ZqReleaseBinImg(&words);
  EXPECT_EQ(words, nullptr);
  return out;
}

struct FingerCase {
  const char *name;
  Builder build;
  int cols, rows;
};

// A press in full contact; the truth is the sign of the master's ridge
// signal under each pixel (ridges are dark, so a set bit means a valley).
TEST(GenBinImg, BitsFollowTheRidgePatternOfASyntheticFinger) {
  static const fingers::MasterFinger master =
      fingers::MakeMaster(fingers::PopulationFinger(26, 3));
  const FingerCase cases[] = {
      {"general 96x96", ZqGenBinImg, 96, 96},
      {"general 128x80", ZqGenBinImg, 128, 80},
      {"small 56x56", ZqGenBinImgForSamllSensor, 56, 56},
      {"small 64x80", ZqGenBinImgForSamllSensor, 64, 80},
  };
  for (const FingerCase &c : cases) {
    fingers::ImpressionParams p;
    p.width = c.cols;
    p.height = c.rows;
    p.contact.radius = 1.6;
    const fingers::Impression imp = fingers::Render(master, p);
    ImagePtr img = MakeImage(c.rows, c.cols, [&](int x, int y) { return imp.frame.At(x, y); });
    const std::vector<uint8_t> bits = Bits(c.build, img.get());
    int valid = 0, agree = 0;
    for (int y = 0; y < c.rows; ++y)
      for (int x = 0; x < c.cols; ++x) {
        const int i = y * c.cols + x;
        if (imp.contact[i] < 0.9f) continue;
        const fingers::Point m = imp.ToMaster(x, y);
        ++valid;
        agree += bits[i] == (master.RidgeAt(m.x, m.y) < 0 ? 1 : 0);
      }
    ASSERT_GT(valid, c.rows * c.cols / 2) << c.name;
    EXPECT_GE(agree, valid * 0.9) << c.name << ": " << agree << " of " << valid;
  }
}

// A 50 | 200 step between columns (or rows) 15 and 16 of a 32 x 12 image.
// General builder: flat windows keep v = grey > 0.5 (set); windows that see
// the edge (within 5 of columns 14..17, where the blur differs) normalise,
// so 9..15 come out below one half. Small-sensor builder: only the bright
// pixels within 5 of the edge see enough dark to pass the inverted
// threshold, 16..20.
TEST(GenBinImg, StepEdgeGivesBitsWorkedOutByHand) {
  struct Case {
    const char *name;
    Builder build;
    int firstClear, lastClear;  // along the step axis; the rest is the opposite
    bool clearBand;
  } const cases[] = {
      {"general", ZqGenBinImg, 9, 15, true},
      {"small", ZqGenBinImgForSamllSensor, 16, 20, false},
  };
  for (const Case &c : cases) {
    for (bool alongRows : {false, true}) {
      const int rows = alongRows ? 32 : 12, cols = alongRows ? 12 : 32;
      ImagePtr img = MakeImage(rows, cols, [&](int x, int y) {
        return static_cast<uint8_t>((alongRows ? y : x) < 16 ? 50 : 200);
      });
      const std::vector<uint8_t> bits = Bits(c.build, img.get());
      for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
          const int k = alongRows ? y : x;
          const bool inBand = k >= c.firstClear && k <= c.lastClear;
          EXPECT_EQ(bits[y * cols + x], inBand != c.clearBand ? 1 : 0)
              << c.name << (alongRows ? " rows " : " cols ") << x << "," << y;
        }
    }
  }
}

// A flat image: every window is flat, v = g is about the grey value, so
// every bit is set unless the grey is 0. The caller's array is filled in
// place and the bits past the image keep their value.
TEST(GenBinImg, FlatImageSetsEveryBitUnlessBlackAndKeepsBitsPastTheImage) {
  for (uint8_t grey : {0, 1, 128, 255}) {
    ImagePtr img = MakeImage(10, 10, [&](int, int) { return grey; });
    uint64_t words[2] = {0x5555555555555555ull, ~0ull};
    uint64_t *p = words;
    uint16_t count = 0;
    ASSERT_EQ(ZqGenBinImg(img.get(), &p, &count), 0);
    EXPECT_EQ(p, words);
    EXPECT_EQ(count, 2);
    const uint64_t imageBits = (uint64_t{1} << 36) - 1;  // pixels 64 .. 99
    EXPECT_EQ(words[0], grey ? ~0ull : 0ull) << int(grey);
    EXPECT_EQ(words[1], grey ? ~0ull : ~imageBits) << int(grey);
  }
}

// Sizes across the contract, non-square: a smooth pattern that is the
// same under translation binarises to shifted bits away from the border.
TEST(GenBinImg, TranslatedImageGivesShiftedBitsAwayFromTheBorder) {
  static const fingers::MasterFinger master =
      fingers::MakeMaster(fingers::PopulationFinger(26, 1));
  struct Size {
    int cols, rows;
  } const sizes[] = {{40, 24}, {24, 40}, {96, 112}, {255, 257}};
  for (const Size &s : sizes) {
    auto grey = [&](int x, int y) {
      return static_cast<uint8_t>(128 + 90 * master.RidgeAt(60 + x, 40 + y));
    };
    for (Builder build : {ZqGenBinImg, ZqGenBinImgForSamllSensor}) {
      if (build == ZqGenBinImgForSamllSensor && s.cols * s.rows > 32767) continue;
      const int dx = 3, dy = 2;
      ImagePtr a = MakeImage(s.rows, s.cols, grey);
      ImagePtr b = MakeImage(s.rows, s.cols, [&](int x, int y) { return grey(x + dx, y + dy); });
      const std::vector<uint8_t> ba = Bits(build, a.get()), bb = Bits(build, b.get());
      int mismatches = 0;
      for (int y = 8; y + dy + 8 < s.rows; ++y)
        for (int x = 8; x + dx + 8 < s.cols; ++x)
          mismatches += bb[y * s.cols + x] != ba[(y + dy) * s.cols + x + dx];
      EXPECT_EQ(mismatches, 0) << s.cols << "x" << s.rows;
    }
  }
}

TEST(GenBinImg, RefusesBadInputWithoutTouchingTheCallersArray) {
  ImagePtr grey10 = MakeImage(10, 10, [](int, int) { return uint8_t{9}; });
  ImagePtr thin = MakeImage(4, 30, [](int, int) { return uint8_t{9}; });
  ImagePtr big = MakeImage(256, 256, [](int, int) { return uint8_t{9}; });
  ImagePtr small16 = MakeImage(128, 256, [](int, int) { return uint8_t{9}; });
  uint64_t *p = nullptr;
  uint16_t count = 77;
  const int32_t live = ZqGetMallocCnts();
  struct Case {
    const char *name;
    Builder build;
    const ST_Image *img;
    uint64_t **pBits;
    uint16_t *count;
    int ret;
  } const cases[] = {
      {"general null image", ZqGenBinImg, nullptr, &p, &count, -1},
      {"general null array address", ZqGenBinImg, grey10.get(), nullptr, &count, -1},
      {"general null count", ZqGenBinImg, grey10.get(), &p, nullptr, -1},
      {"general 4 rows", ZqGenBinImg, thin.get(), &p, &count, -1},
      {"general 65536 pixels", ZqGenBinImg, big.get(), &p, &count, -1},
      {"small null image", ZqGenBinImgForSamllSensor, nullptr, &p, &count, -1},
      {"small null count", ZqGenBinImgForSamllSensor, grey10.get(), &p, nullptr, -1},
      {"small 65536 pixels", ZqGenBinImgForSamllSensor, big.get(), &p, &count, -1},
      {"small 32768 pixels", ZqGenBinImgForSamllSensor, small16.get(), &p, &count, -1},
  };
  for (const Case &c : cases) {
    LibLogCapture log;
    EXPECT_EQ(c.build(c.img, c.pBits, c.count), c.ret) << c.name;
    EXPECT_EQ(p, nullptr) << c.name;
    EXPECT_EQ(count, 77) << c.name;
    EXPECT_EQ(log.Messages().size(), 1u) << c.name;
  }
  EXPECT_EQ(ZqGetMallocCnts(), live);
}

TEST(GenBinImg, NotEightBitFailsAfterTheCountWithTheWholeMessageChain) {
  ImagePtr float10 = MakeImage(10, 10, [](int, int) { return uint8_t{0}; }, DEPTH_32F);
  uint64_t *p = nullptr;
  uint16_t count = 0;
  const int32_t live = ZqGetMallocCnts();
  LibLogCapture log;
  EXPECT_EQ(ZqGenBinImg(float10.get(), &p, &count), -1);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(ZqGetMallocCnts(), live);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqImgBoundFill_8u...DEPTH_8U != pSrc->depth",
                                "ZqGaussImg...ZqImgBoundFill_8u != 0",
                                "ZqGenBinImg...ZqGaussImg != 0",
                            }));
}

// Sizes across and past the contract: the builders either binarise (a
// flat bright image sets every bit) or refuse, never touch memory outside.
TEST(GenBinImg, SizesFromEightByEightTo256By360) {
  struct Size {
    int cols, rows;
    bool general, small;  // accepted by each builder
  } const sizes[] = {{8, 8, true, true},      {9, 13, true, true},     {13, 9, true, true},
                     {5, 5, true, true},      {255, 128, true, true},  {182, 181, true, false},
                     {255, 257, true, false}, {256, 360, false, false}, {360, 256, false, false}};
  for (const Size &s : sizes) {
    ImagePtr img = MakeImage(s.rows, s.cols, [](int, int) { return uint8_t{200}; });
    for (Builder build : {ZqGenBinImg, ZqGenBinImgForSamllSensor}) {
      const bool ok = build == ZqGenBinImg ? s.general : s.small;
      uint64_t *p = nullptr;
      uint16_t count = 0;
      LibLogCapture log;
      ASSERT_EQ(build(img.get(), &p, &count), ok ? 0 : -1) << s.cols << "x" << s.rows;
      if (!ok) continue;
      const uint32_t n = static_cast<uint32_t>(s.cols * s.rows);
      EXPECT_EQ(count, (n + 63) / 64);
      if (build == ZqGenBinImg) {
        for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(ZqBinImgBit(p, i), 1u) << i;
      }
      ZqReleaseBinImg(&p);
    }
  }
}

}  // namespace
