// Binary-image comparison under an affine map; see ZqBinSimilarity.h.
#include "src/image/ZqBinSimilarity.h"

#include <string.h>

#include <algorithm>

#include "src/image/ZqConnectedArea.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqThinning.h"

namespace {

int32_t RoundAway(float v) {
  return v >= 0.0f ? static_cast<int32_t>(v + 0.5f) : static_cast<int32_t>(v - 0.5f);
}

// Calls visit(testIndex, refIndex) for every test pixel, refIndex -1 when
// it maps outside the reference image.
template <typename Visit>
void Walk(int32_t rows, int32_t cols, const ST_HMatrix &h, Visit visit) {
  for (int32_t y = 0; y < rows; ++y) {
    float fx = h.a01 * static_cast<float>(y) + h.a02;
    float fy = h.a11 * static_cast<float>(y) + h.a12;
    for (int32_t x = 0; x < cols; ++x, fx += h.a00, fy += h.a10) {
      // Far outside values are clamped before the conversion to int.
      const float cx = std::clamp(fx, -2.0e9f, 2.0e9f), cy = std::clamp(fy, -2.0e9f, 2.0e9f);
      const int32_t rx = RoundAway(cx), ry = RoundAway(cy);
      const bool in = rx >= 0 && rx < cols && ry >= 0 && ry < rows;
      visit(int64_t{y} * cols + x, in ? int64_t{ry} * cols + rx : -1, y);
    }
  }
}

uint16_t Saturate16(int64_t v) { return static_cast<uint16_t>(v > 65535 ? 65535 : v); }

// The agreement table walk shared by the score and the features.
struct Table {
  int64_t t[2][2] = {};
  int64_t compared = 0, overlap = 0;
  float Share() const {
    return compared == 0 ? 0.0f
                         : static_cast<float>(t[0][0] + t[1][1]) / static_cast<float>(compared);
  }
};

}  // namespace

float ZqCalcSimScore(const uint8_t *refValid, const uint8_t *refBin, const uint8_t *testValid,
                     const uint8_t *testBin, int32_t rows, int32_t cols, const ST_HMatrix *h,
                     uint16_t out[2]) {
  if (out == nullptr) return 0.0f;
  out[0] = out[1] = 0;
  if (refValid == nullptr || refBin == nullptr || testValid == nullptr || testBin == nullptr ||
      h == nullptr || rows <= 0 || cols <= 0)
    return 0.0f;
  Table tb;
  Walk(rows, cols, *h, [&](int64_t ti, int64_t ri, int32_t) {
    if (ri < 0) return;
    ++tb.overlap;
    if (testValid[ti] == 0 || refValid[ri] == 0) return;
    ++tb.compared;
    ++tb.t[testBin[ti] != 0][refBin[ri] != 0];
  });
  out[0] = Saturate16(tb.compared);
  out[1] = Saturate16(tb.overlap);
  return tb.Share();
}

int32_t ZqCalcBinFeature(const uint8_t *refValid, const uint8_t *refBin, const uint8_t *testValid,
                         uint8_t *testBin, int32_t rows, int32_t cols, const ST_HMatrix *h,
                         float *agree, uint8_t *overlapPct, int32_t *branches) {
  if (refValid == nullptr || refBin == nullptr || testValid == nullptr || testBin == nullptr ||
      h == nullptr || agree == nullptr || overlapPct == nullptr || branches == nullptr ||
      rows <= 0 || cols <= 0)
    return -1;
  Table tb;
  Walk(rows, cols, *h, [&](int64_t ti, int64_t ri, int32_t) {
    if (ri < 0) {
      testBin[ti] = 1;
      return;
    }
    ++tb.overlap;
    if (testValid[ti] == 0 || refValid[ri] == 0) return;
    ++tb.compared;
    ++tb.t[testBin[ti] != 0][refBin[ri] != 0];
  });
  int32_t count = 0;
  const int32_t rc = ZqGetMinutiaInfo(testBin, rows, cols, &count);
  if (rc != 0) return rc == -2 ? -2 : -1;
  *branches = count;
  *overlapPct =
      static_cast<uint8_t>(tb.overlap == 0 ? 0 : (tb.compared * 100 + tb.overlap / 2) / tb.overlap);
  *agree = tb.Share();
  return 0;
}

int32_t ZqGetDiversity(const uint8_t *refBin, const uint8_t *testBin, const uint8_t *refValid,
                       const uint8_t *testValid, const ST_HMatrix *h, int32_t rows, int32_t cols,
                       int16_t *diff, int16_t *rowSpan) {
  if (refBin == nullptr || testBin == nullptr || refValid == nullptr || testValid == nullptr ||
      h == nullptr || diff == nullptr || rowSpan == nullptr || rows <= 0 || cols <= 0 ||
      rows > 65535 || cols > 65535)
    return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *maskA = scratch.Take<uint8_t>(n);
  if (maskA == nullptr) return -2;
  uint8_t *maskB = scratch.Take<uint8_t>(n);
  if (maskB == nullptr) return -2;
  int32_t minRow = rows, maxRow = 0;
  Walk(rows, cols, *h, [&](int64_t ti, int64_t ri, int32_t y) {
    if (ri < 0 || testValid[ti] == 0 || refValid[ri] == 0) return;
    minRow = std::min(minRow, y);
    maxRow = std::max(maxRow, y);
    if (testBin[ti] == 1 && refBin[ri] != 1) maskA[ri] = 1;
    if (testBin[ti] != 1 && refBin[ri] == 1) maskB[ri] = 1;
  });
  uint16_t sumA = 0, sumB = 0;
  const int32_t ra = ZqGetConnectedArea_8_v2(maskA, rows, cols, 8, 0, &sumA);
  const int32_t rb = ZqGetConnectedArea_8_v2(maskB, rows, cols, 8, 0, &sumB);
  if (ra != 0 || rb != 0) return -3;
  *diff = static_cast<int16_t>(std::max(sumA, sumB));
  *rowSpan = static_cast<int16_t>(maxRow - minRow);
  return 0;
}
