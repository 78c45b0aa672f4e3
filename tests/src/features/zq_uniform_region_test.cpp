// The uniform-region check on constructed bit images whose counts follow
// by hand: identity, integer shifts, inversion, masks, margin, rotation.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "src/features/ZqBinImg.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;
using Fields = std::array<int16_t, ZQ_OVERLAP_FIELDS>;
using Check = int (*)(const uint64_t *, const uint64_t *, const uint8_t *, const uint8_t *,
                      const ST_HMatrix *, const void *, const uint16_t *, const uint16_t *,
                      int16_t *, uint8_t, uint8_t, int16_t *);

// A grid of bits in both layouts: words for images, bytes for masks.
struct Grid {
  uint16_t rows, cols;
  std::vector<uint64_t> words;
  std::vector<uint8_t> mask;
  Grid(int r, int c, const std::function<bool(int, int)> &f)
      : rows(static_cast<uint16_t>(r)), cols(static_cast<uint16_t>(c)),
        words((r * c + 63) / 64), mask(r * c / 8 + 1) {
    for (int y = 0; y < r; ++y)
      for (int x = 0; x < c; ++x) {
        const uint32_t i = static_cast<uint32_t>(y * c + x);
        if (f(x, y)) {
          words[i / 64] |= uint64_t{1} << (i % 64);
          mask[i / 8] = static_cast<uint8_t>(mask[i / 8] | (1u << (i % 8)));
        }
      }
  }
};

// Pseudo-random bit of (x, y), any integers.
bool Noise(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return (h & 1u) != 0;
}

ST_HMatrix Shift(float dx, float dy) { return {1, 0, dx, 0, 1, dy}; }

struct Result {
  int ret;
  Fields f;
  int16_t uniform;
};

Result Compare(Check check, const Grid &ref, const Grid &test, const Grid &refMask,
           const Grid &testMask, const ST_HMatrix &H, uint8_t margin, uint8_t ignore,
           int16_t field5 = 0) {
  Result r{0, {-9, -9, -9, -9, -9, field5}, -9};
  r.ret = check(ref.words.data(), test.words.data(), refMask.mask.data(), testMask.mask.data(),
                &H, nullptr, &ref.rows, &ref.cols, r.f.data(), margin, ignore, &r.uniform);
  return r;
}

const auto kAll = [](int, int) { return true; };

// Quarter sizes of n compared pixels.
std::array<int, 4> Quarters(int n) {
  const int q = n / 4, h = n / 2;
  return {q, h - q, q, n - q - h};
}

TEST(UniformRegion, IdentityOnIdenticalImagesAgreesEverywhere) {
  struct Size {
    int rows, cols;
  } const sizes[] = {{8, 8}, {7, 9}, {80, 64}, {128, 255}};
  for (Check check : {ZqGetUniformRegSizeAll, ZqGetUniformRegSizeAllInRect}) {
    for (const Size &s : sizes) {
      const Grid img(s.rows, s.cols, Noise), full(s.rows, s.cols, kAll);
      const Result r = Compare(check, img, img, full, full, Shift(0, 0), 0, 0);
      const int n = s.rows * s.cols;
      ASSERT_EQ(r.ret, 0);
      EXPECT_EQ(r.f[0], n);
      EXPECT_EQ(r.uniform, n);
      const std::array<int, 4> q = Quarters(n);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(r.f[1 + k], q[k]) << s.rows << "x" << s.cols;
    }
  }
  // 7 x 9 = 63 splits at 15 and 31: quarters 15, 16, 15, 17.
  EXPECT_EQ(Quarters(63), (std::array<int, 4>{15, 16, 15, 17}));
}

// The sample is the template moved by (dx, dy): sample (x, y) shows template
// (x + dx, y + dy), so H is the translation by (dx, dy).
TEST(UniformRegion, IntegerShiftComparesTheOverlapAndInversionAgreesNowhere) {
  const int rows = 24, cols = 40;
  const Grid ref(rows, cols, Noise), full(rows, cols, kAll);
  const int shifts[][2] = {{0, 0}, {3, 0}, {0, -5}, {-7, 4}, {11, 9}, {-39, -23}};
  for (const auto &s : shifts) {
    const int dx = s[0], dy = s[1];
    const Grid test(rows, cols, [&](int x, int y) { return Noise(x + dx, y + dy); });
    const Grid inverted(rows, cols, [&](int x, int y) { return !Noise(x + dx, y + dy); });
    const int n = (rows - std::abs(dy)) * (cols - std::abs(dx));
    const ST_HMatrix H = Shift(static_cast<float>(dx), static_cast<float>(dy));

    Result r = Compare(ZqGetUniformRegSizeAll, ref, test, full, full, H, 0, 0, 100);
    ASSERT_EQ(r.ret, 0);
    EXPECT_EQ(r.f[0], n) << dx << "," << dy;
    EXPECT_EQ(r.uniform, n) << dx << "," << dy;
    EXPECT_EQ(r.f[5], 100 + n) << "field 5 is added to";

    r = Compare(ZqGetUniformRegSizeAll, ref, inverted, full, full, H, 0, 0);
    EXPECT_EQ(r.f[0], n);
    EXPECT_EQ(r.uniform, 0);
    EXPECT_EQ(r.f[1] | r.f[2] | r.f[3] | r.f[4], 0);

    r = Compare(ZqGetUniformRegSizeAllInRect, ref, test, full, full, H, 0, 0, 100);
    EXPECT_EQ(r.f[0], n);
    EXPECT_EQ(r.uniform, n);
    EXPECT_EQ(r.f[5], 100) << "the InRect check leaves field 5 alone";
    r = Compare(ZqGetUniformRegSizeAllInRect, ref, inverted, full, full, H, 0, 0);
    EXPECT_EQ(r.uniform, 0);
  }
}

TEST(UniformRegion, FractionalShiftRoundsHalfAwayFromZero) {
  const Grid ref(16, 16, Noise), full(16, 16, kAll);
  // x + 2.5 rounds to x + 3; y - 1.5 rounds to y - 1 for y >= 2 and leaves
  // the frame for y = 1 (-0.5 rounds to -1, not 0): 13 columns, 14 rows.
  const Grid test(16, 16, [](int x, int y) { return Noise(x + 3, y - 1); });
  const Result r = Compare(ZqGetUniformRegSizeAll, ref, test, full, full, Shift(2.5f, -1.5f), 0, 0);
  EXPECT_EQ(r.f[0], 13 * 14);
  EXPECT_EQ(r.uniform, 13 * 14);
}

TEST(UniformRegion, OutOfFrameComparesNothingAndKeepsFieldFive) {
  const Grid img(12, 20, Noise), full(12, 20, kAll);
  for (const ST_HMatrix &H : {Shift(20, 0), Shift(0, -12), Shift(1e9f, 0), Shift(NAN, 0)}) {
    for (Check check : {ZqGetUniformRegSizeAll, ZqGetUniformRegSizeAllInRect}) {
      const Result r = Compare(check, img, img, full, full, H, 0, 0, 1234);
      ASSERT_EQ(r.ret, 0);
      EXPECT_EQ(r.f, (Fields{0, 0, 0, 0, 0, 1234}));
      EXPECT_EQ(r.uniform, 0);
    }
  }
}

// Field 5 adds this check's in-frame pixels to what it held, wrapping as an
// int16 counter does.
TEST(UniformRegion, FieldFiveAddsTheInFramePixelsAndWraps) {
  const Grid img(8, 8, Noise), full(8, 8, kAll);
  const struct {
    int16_t before, after;
  } cases[] = {{0, 64}, {1000, 1064}, {32760, -32712}, {-70, -6}};
  for (const auto &c : cases) {
    const Result r = Compare(ZqGetUniformRegSizeAll, img, img, full, full, Shift(0, 0), 0, 0, c.before);
    ASSERT_EQ(r.ret, 0);
    EXPECT_EQ(r.f[5], c.after) << c.before;
  }
}

// Half of the sample's mask cleared: only the other half is compared, but
// every in-frame pixel counts in field 5; ignoreMasks compares them all.
TEST(UniformRegion, MasksLimitTheComparedPixelsUnlessIgnored) {
  const int rows = 10, cols = 16;
  const Grid img(rows, cols, Noise), full(rows, cols, kAll), none(rows, cols, [](int, int) {
    return false;
  });
  const Grid leftHalf(rows, cols, [](int x, int) { return x < 8; });
  Result r = Compare(ZqGetUniformRegSizeAll, img, img, full, leftHalf, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.f[0], 80);
  EXPECT_EQ(r.uniform, 80);
  EXPECT_EQ(r.f[5], 160);
  // Shifted by 4 columns: sample columns 0..11 land on template 4..15; the
  // template's left half (columns 0..7) admits sample columns 0..3.
  r = Compare(ZqGetUniformRegSizeAll, img, img, leftHalf, full, Shift(4, 0), 0, 0);
  EXPECT_EQ(r.f[0], 40);
  r = Compare(ZqGetUniformRegSizeAll, img, img, none, none, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.f[0], 0);
  EXPECT_EQ(r.uniform, 0);
  r = Compare(ZqGetUniformRegSizeAll, img, img, none, none, Shift(0, 0), 0, 1);
  EXPECT_EQ(r.f[0], 160);
  EXPECT_EQ(r.uniform, 160);
  // With ignoreMasks the masks are not read at all.
  int16_t f[6] = {}, u = -1;
  const ST_HMatrix identity = Shift(0, 0);
  EXPECT_EQ(ZqGetUniformRegSizeAll(img.words.data(), img.words.data(), nullptr, nullptr,
                                   &identity, nullptr, &img.rows,
                                   &img.cols, f, 0, 1, &u),
            0);
  EXPECT_EQ(u, 160);
}

TEST(UniformRegion, MarginNarrowsTheTemplateFrame) {
  const Grid img(20, 30, Noise), full(20, 30, kAll);
  for (uint8_t m : {1, 2, 5}) {
    const Result r = Compare(ZqGetUniformRegSizeAll, img, img, full, full, Shift(0, 0), m, 0);
    EXPECT_EQ(r.f[0], (20 - 2 * m) * (30 - 2 * m)) << int(m);
    EXPECT_EQ(r.f[5], (20 - 2 * m) * (30 - 2 * m)) << int(m);
  }
}

// A quarter-turn of a square: x' = n-1-y, y' = x, from a00 = 0, a01 = -1,
// a02 = n-1, a12 = 0. a10 and a11 are never read, so garbage there changes
// nothing.
TEST(UniformRegion, RigidMappingReadsOnlyA00A01A02A12) {
  const int n = 12;
  const Grid ref(n, n, Noise), full(n, n, kAll);
  const Grid test(n, n, [&](int x, int y) { return Noise(n - 1 - y, x); });
  const ST_HMatrix H = {0.0f, -1.0f, static_cast<float>(n - 1), 123.0f, NAN, 0.0f};
  const Result r = Compare(ZqGetUniformRegSizeAll, ref, test, full, full, H, 0, 0);
  EXPECT_EQ(r.f[0], n * n);
  EXPECT_EQ(r.uniform, n * n);
}

// Disagreement in sample rows 2..3 of an 8 x 8 identity check: the second
// quarter (compared pixels 16..31) holds exactly those rows.
TEST(UniformRegion, QuartersFollowScanOrder) {
  const Grid ref(8, 8, Noise), full(8, 8, kAll);
  const Grid test(8, 8, [](int x, int y) { return (y == 2 || y == 3) != Noise(x, y); });
  const Result r = Compare(ZqGetUniformRegSizeAll, ref, test, full, full, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.f, (Fields{64, 16, 0, 16, 16, 64}));
  EXPECT_EQ(r.uniform, 48);
}

// InRect vote on a 4 x 4 identity check with sample pixels (0,0) and (1,0)
// flipped: centre (0,0) sees 2 of 4 agree, (1,0) 4 of 6, (0,1) 4 of 6:
// below 3/4; (2,0) 5 of 6 and (1,1) 7 of 9 pass. A single flipped corner
// passes everywhere (3 of 4 is exactly 3/4).
TEST(UniformRegion, InRectVotesOverTheThreeByThreeNeighbourhood) {
  const Grid ref(4, 4, Noise), full(4, 4, kAll);
  const Grid two(4, 4, [](int x, int y) { return (y == 0 && x < 2) != Noise(x, y); });
  Result r = Compare(ZqGetUniformRegSizeAllInRect, ref, two, full, full, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.f, (Fields{16, 2, 3, 4, 4, 0}));
  EXPECT_EQ(r.uniform, 13);
  const Grid one(4, 4, [](int x, int y) { return (x == 0 && y == 0) != Noise(x, y); });
  r = Compare(ZqGetUniformRegSizeAllInRect, ref, one, full, full, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.uniform, 16);
}

TEST(UniformRegion, InRectLoneCentresAndMaskedNeighbours) {
  const Grid ref(6, 6, Noise), full(6, 6, kAll), none(6, 6, [](int, int) { return false; });
  const Grid lone(6, 6, [](int x, int y) { return x == 3 && y == 2; });
  const Grid flipped(6, 6, [](int x, int y) { return (x == 3 && y == 2) != Noise(x, y); });
  // Masks with one valid pixel: the centre votes alone (m = 1).
  Result r = Compare(ZqGetUniformRegSizeAllInRect, ref, ref, lone, lone, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.f[0], 1);
  EXPECT_EQ(r.uniform, 1);
  r = Compare(ZqGetUniformRegSizeAllInRect, ref, flipped, lone, lone, Shift(0, 0), 0, 0);
  EXPECT_EQ(r.f[0], 1);
  EXPECT_EQ(r.uniform, 0);
  // ignoreMasks with empty masks: every centre reaches the vote, none agrees.
  r = Compare(ZqGetUniformRegSizeAllInRect, ref, ref, none, none, Shift(0, 0), 0, 1);
  EXPECT_EQ(r.f[0], 36);
  EXPECT_EQ(r.uniform, 0);
}

TEST(UniformRegion, RefusesMissingInputsAndOversizedGrids) {
  const Grid img(8, 8, Noise);
  const ST_HMatrix H = Shift(0, 0);
  const uint16_t rows = 8, cols = 8, bigRows = 128, bigCols = 256;
  const uint64_t *w = img.words.data();
  const uint8_t *m = img.mask.data();
  struct Case {
    const char *name;
    const uint64_t *ref, *test;
    const uint8_t *refMask, *testMask;
    const ST_HMatrix *H;
    const uint16_t *rows, *cols;
    bool nullOut, nullUniform;
  } const cases[] = {
      {"ref", nullptr, w, m, m, &H, &rows, &cols, false, false},
      {"test", w, nullptr, m, m, &H, &rows, &cols, false, false},
      {"H", w, w, m, m, nullptr, &rows, &cols, false, false},
      {"uniform", w, w, m, m, &H, &rows, &cols, false, true},
      {"rows", w, w, m, m, &H, nullptr, &cols, false, false},
      {"overLapSize", w, w, m, m, &H, &rows, &cols, true, false},
      {"ref mask", w, w, nullptr, m, &H, &rows, &cols, false, false},
      {"test mask", w, w, m, nullptr, &H, &rows, &cols, false, false},
      {"32768 pixels", w, w, m, m, &H, &bigRows, &bigCols, false, false},
  };
  for (Check check : {ZqGetUniformRegSizeAll, ZqGetUniformRegSizeAllInRect}) {
    const std::string name =
        check == ZqGetUniformRegSizeAll ? "ZqGetUniformRegSizeAll" : "ZqGetUniformRegSizeAllInRect";
    for (const Case &c : cases) {
      Fields f = {7, 7, 7, 7, 7, 7};
      int16_t u = 7;
      LibLogCapture log;
      EXPECT_EQ(check(c.ref, c.test, c.refMask, c.testMask, c.H, nullptr, c.rows, c.cols,
                      c.nullOut ? nullptr : f.data(), 0, 0, c.nullUniform ? nullptr : &u),
                -1)
          << name << " " << c.name;
      EXPECT_EQ(f, (Fields{7, 7, 7, 7, 7, 7})) << c.name;
      EXPECT_EQ(u, 7) << c.name;
      EXPECT_EQ(log.Messages(), std::vector<std::string>{name + "...input error"}) << c.name;
    }
  }
}

TEST(UniformRegion, ShortPoolFailsWithMinusTwoAndLeavesTheCountersAlone) {
  const Grid img(64, 64, Noise), full(64, 64, kAll);
  ZqSetMemoryPoolEn(1);
  ASSERT_EQ(ZqInitMemBlock(1024), 0);
  Result r;
  {
    LibLogCapture log;
    r = Compare(ZqGetUniformRegSizeAll, img, img, full, full, Shift(0, 0), 0, 0, 5);
  }
  ZqDestroyMemBlock();
  ZqSetMemoryPoolEn(0);
  EXPECT_EQ(r.ret, -2);
  EXPECT_EQ(r.f, (Fields{-9, -9, -9, -9, -9, 5}));
  EXPECT_EQ(r.uniform, 0);
}

// The window check: a 4 x 4 window about (5, 6) on identical images, then
// one shifted out by a column (the last window column drops out).
TEST(UniformRegionWindow, CountsAgreementsInsideTheWindow) {
  const Grid img(12, 10, Noise);
  const uint16_t rows = 12, cols = 10, words = static_cast<uint16_t>(img.words.size());
  const uint16_t cr = 6, cc = 5;
  int16_t count = -1;
  ST_HMatrix H = Shift(0, 0);
  EXPECT_EQ(ZqGetUniformRegSize(img.words.data(), img.words.data(), &H, &words, &cr, &cc, 2,
                                &rows, &cols, &count),
            16);
  EXPECT_EQ(count, 16);
  // Window at the corner: negative positions drop out, 2 x 2 remain.
  const uint16_t zero = 0;
  EXPECT_EQ(ZqGetUniformRegSize(img.words.data(), img.words.data(), &H, &words, &zero, &zero, 2,
                                &rows, &cols, &count),
            4);
  EXPECT_EQ(count, 4);
  H = Shift(3, 0);  // window columns 3..6 map to 6..9: all inside
  const Grid moved(12, 10, [](int x, int y) { return Noise(x + 3, y); });
  EXPECT_EQ(ZqGetUniformRegSize(img.words.data(), moved.words.data(), &H, &words, &cr, &cc, 2,
                                &rows, &cols, &count),
            16);
  H = Shift(4, 0);  // column 6 maps to 10: out
  const Grid moved4(12, 10, [](int x, int y) { return Noise(x + 4, y); });
  EXPECT_EQ(ZqGetUniformRegSize(img.words.data(), moved4.words.data(), &H, &words, &cr, &cc, 2,
                                &rows, &cols, &count),
            12);
  EXPECT_EQ(count, 12);
  LibLogCapture log;
  EXPECT_EQ(ZqGetUniformRegSize(nullptr, img.words.data(), &H, &words, &cr, &cc, 2, &rows, &cols,
                                &count),
            -1);
  const uint16_t tooFew = 1;  // a bit past the word array
  EXPECT_EQ(ZqGetUniformRegSize(img.words.data(), img.words.data(), &H, &tooFew, &cr, &cc, 2,
                                &rows, &cols, &count),
            -1);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqGetUniformRegSize...input error",
                                "ZqGetBitValue...!pArr || index >= arrLen",
                                "ZqGetUniformRegSize...ZqGetBitValue != 0",
                            }));
}

// The eight-lane comparison against the one-pixel-at-a-time one on every
// field, over turns and shifts that put mapped positions on rounding ties,
// frame edges and far outside, grids whose width is no multiple of eight
// and masks whose last word is partial.
TEST(UniformRegion, EightLanesGiveThePlainCountsBitForBit) {
  struct Size {
    int rows, cols;
  };
  const Size sizes[] = {{96, 96}, {37, 53}, {64, 13}, {7, 5}, {181, 181}};
  const float turns[] = {0.0f, 0.05f, -0.3f, 1.2f, 3.1f};
  const float shifts[][2] = {{0, 0}, {0.5f, -0.5f}, {-2.5f, 3.5f}, {7.25f, -11.0f},
                             {-60.0f, 0.0f}, {1e9f, 0.0f}, {NAN, 0.0f}};
  for (const Size &sz : sizes) {
    const Grid ref(sz.rows, sz.cols, Noise);
    const Grid test(sz.rows, sz.cols, [](int x, int y) { return Noise(y + 3, x * 7); });
    const Grid refMask(sz.rows, sz.cols, [](int x, int y) { return Noise(x * 5, y + 11) || x > 4; });
    const Grid testMask(sz.rows, sz.cols, [](int x, int y) { return (x + y) % 7 != 0; });
    for (float turn : turns)
      for (const auto &sh : shifts)
        for (uint8_t margin : {0, 2})
          for (uint8_t ignore : {0, 1}) {
            const ST_HMatrix H = {cosf(turn), -sinf(turn), sh[0], sinf(turn), cosf(turn), sh[1]};
            ZqUniformRegionPlainForTest(1);
            const Result plain = Compare(ZqGetUniformRegSizeAll, ref, test, refMask, testMask, H,
                                         margin, ignore, 32000);
            ZqUniformRegionPlainForTest(0);
            const Result lanes = Compare(ZqGetUniformRegSizeAll, ref, test, refMask, testMask, H,
                                         margin, ignore, 32000);
            const std::string what = std::to_string(sz.rows) + "x" + std::to_string(sz.cols) +
                                     " turn " + std::to_string(turn) + " shift " +
                                     std::to_string(sh[0]) + " margin " + std::to_string(margin) +
                                     " ignore " + std::to_string(ignore);
            EXPECT_EQ(plain.ret, 0) << what;
            EXPECT_EQ(lanes.ret, plain.ret) << what;
            EXPECT_EQ(lanes.f, plain.f) << what;
            EXPECT_EQ(lanes.uniform, plain.uniform) << what;
          }
  }
}

}  // namespace
