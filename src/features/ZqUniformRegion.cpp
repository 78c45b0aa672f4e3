// The uniform-region check: sample pixels mapped onto the template by a
// rigid transform, counting where the binarised images agree.
#include "src/features/ZqBinImg.h"
#include "src/features/ZqBitValue.h"
#include "src/features/ZqGeomMath.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

namespace {

// Rounds v half away from zero into *out when the result lies in
// [lo, hi); false otherwise (also for NaN and values far out of range,
// which are never rounded).
inline bool RoundInto(float v, int32_t lo, int32_t hi, int32_t *out) {
  if (!(v > static_cast<float>(lo) - 1.0f && v < static_cast<float>(hi) + 1.0f)) return false;
  // ZqRoundHalfAway's rounding, inline: v is in range here, so its
  // saturation never applies.
  const int32_t r = static_cast<int32_t>(v >= 0.0f ? v + 0.5f : v - 0.5f);
  if (r < lo || r >= hi) return false;
  *out = r;
  return true;
}

// Adds one to an int16 counter, wrapping.
inline void Bump(int16_t *c) {
  *c = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint16_t>(*c) + 1u));
}

// The per-row and per-column products of the mapping, built by repeated
// addition, and the row starts.
struct MapTables {
  float *colTerm;     // k * a00
  float *rowTerm;     // k * a01
  uint16_t *rowStart; // i * cols
};

bool BuildTables(zq::ScratchStack *scratch, const ST_HMatrix *H, uint32_t rows, uint32_t cols,
                 MapTables *t) {
  const uint32_t len = rows > cols ? rows : cols;
  t->colTerm = scratch->Take<float>(len);
  t->rowTerm = t->colTerm != nullptr ? scratch->Take<float>(len) : nullptr;
  t->rowStart = t->rowTerm != nullptr ? scratch->Take<uint16_t>(rows) : nullptr;
  if (t->rowStart == nullptr) return false;
  for (uint32_t k = 0; k + 1 < len; ++k) {
    t->colTerm[k + 1] = t->colTerm[k] + H->a00;
    t->rowTerm[k + 1] = t->rowTerm[k] + H->a01;
  }
  for (uint32_t i = 1; i < rows; ++i) t->rowStart[i] = static_cast<uint16_t>(t->rowStart[i - 1] + cols);
  return true;
}

// The shifts of the mapping, read once: the per-pixel stores into byte
// arrays could otherwise alias the matrix and force a reload every pixel.
struct Shifts {
  float a02, a12;
};

// Maps grid pixel (j, i) of the sample onto the template frame narrowed by
// margin; false when it falls outside.
inline bool MapPixel(const MapTables &t, const Shifts &h, uint32_t i, uint32_t j,
                     int32_t margin, uint32_t rows, uint32_t cols, int32_t *xr, int32_t *yr) {
  return RoundInto(t.colTerm[j] + t.rowTerm[i] + h.a02, margin,
                   static_cast<int32_t>(cols) - margin, xr) &&
         RoundInto(t.colTerm[i] - t.rowTerm[j] + h.a12, margin,
                   static_cast<int32_t>(rows) - margin, yr);
}

// Shared argument checks; logs and returns false when one fails.
bool InputsOk(const char *func, const uint64_t *refBits, const uint64_t *testBits,
              const uint8_t *refMask, const uint8_t *testMask, const ST_HMatrix *H,
              const uint16_t *rows, const uint16_t *cols, const int16_t *overLapSize,
              bool masksNeeded, const int16_t *uniformSize) {
  bool ok = refBits != NULL && testBits != NULL && H != NULL && uniformSize != NULL &&
            rows != NULL && cols != NULL && overLapSize != NULL &&
            (!masksNeeded || (refMask != NULL && testMask != NULL));
  // The counters are int16: larger grids would overflow them.
  if (ok) ok = static_cast<uint32_t>(*rows) * *cols <= ZQ_UNIFORM_MAX_PIXELS;
  if (!ok) ZQ_LOG_FAIL_IN(func, func, "input error");
  return ok;
}

// Counts the set flags of each quarter of [0, n) into fields 1 .. 4 and
// their sum into *uniformSize.
void CountQuarters(const uint8_t *flag, uint32_t n, int16_t *overLapSize, int16_t *uniformSize) {
  const uint32_t q = n / 4, h = n / 2;
  const uint32_t bounds[5] = {0, q, h, q + h, n};
  uint32_t total = 0;
  for (int part = 0; part < 4; ++part) {
    uint32_t c = 0;
    for (uint32_t k = bounds[part]; k < bounds[part + 1]; ++k) c += flag[k] != 0;
    overLapSize[ZQ_OVERLAP_QUARTER1 + part] = static_cast<int16_t>(c);
    total += c;
  }
  *uniformSize = static_cast<int16_t>(total);
}

void ClearFields(int16_t *overLapSize) {
  for (int f = ZQ_OVERLAP_COMPARED; f <= ZQ_OVERLAP_QUARTER4; ++f) overLapSize[f] = 0;
}

}  // namespace

int ZqGetUniformRegSizeAll(const uint64_t *refBits, const uint64_t *testBits,
                           const uint8_t *refMask, const uint8_t *testMask, const ST_HMatrix *H,
                           const void * /*unused*/, const uint16_t *rows, const uint16_t *cols,
                           int16_t *overLapSize, uint8_t margin, uint8_t ignoreMasks,
                           int16_t *uniformSize) {
  if (!InputsOk(__func__, refBits, testBits, refMask, testMask, H, rows, cols, overLapSize,
                ignoreMasks == 0, uniformSize)) {
    return -1;
  }
  *uniformSize = 0;
  const uint32_t nr = *rows, nc = *cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint8_t *flag = scratch.Take<uint8_t>(nr * nc);
  if (flag == nullptr) {
    ZQ_LOG_FAIL(__func__, "input error");
    return -2;
  }
  MapTables t;
  if (!BuildTables(&scratch, H, nr, nc, &t)) return -2;

  ClearFields(overLapSize);
  const Shifts h = {H->a02, H->a12};
  uint32_t compared = 0;
  // Pixels mapped inside the frame, added to the field at the end; the int16
  // field wraps as it would counting one by one.
  uint32_t inFrame = 0;
  for (uint32_t i = 0; i < nr; ++i) {
    for (uint32_t j = 0; j < nc; ++j) {
      int32_t xr, yr;
      if (!MapPixel(t, h, i, j, margin, nr, nc, &xr, &yr)) continue;
      ++inFrame;
      const uint32_t ti = t.rowStart[i] + j;
      const uint32_t ri = t.rowStart[yr] + static_cast<uint32_t>(xr);
      if (!ignoreMasks && (!ZqPixBitMapBit(testMask, ti) || !ZqPixBitMapBit(refMask, ri))) {
        continue;
      }
      if (ZqBinImgBit(testBits, ti) == ZqBinImgBit(refBits, ri)) flag[compared] = 1;
      ++compared;
    }
  }
  overLapSize[ZQ_OVERLAP_IN_FRAME] = static_cast<int16_t>(static_cast<uint16_t>(
      static_cast<uint16_t>(overLapSize[ZQ_OVERLAP_IN_FRAME]) + inFrame));
  overLapSize[ZQ_OVERLAP_COMPARED] = static_cast<int16_t>(compared);
  CountQuarters(flag, compared, overLapSize, uniformSize);
  return 0;
}

int ZqGetUniformRegSizeAllInRect(const uint64_t *refBits, const uint64_t *testBits,
                                 const uint8_t *refMask, const uint8_t *testMask,
                                 const ST_HMatrix *H, const void * /*unused*/,
                                 const uint16_t *rows, const uint16_t *cols,
                                 int16_t *overLapSize, uint8_t margin, uint8_t ignoreMasks,
                                 int16_t *uniformSize) {
  // The neighbours' mask tests apply whatever ignoreMasks says.
  if (!InputsOk(__func__, refBits, testBits, refMask, testMask, H, rows, cols, overLapSize, true,
                uniformSize)) {
    return -1;
  }
  *uniformSize = 0;
  const uint32_t nr = *rows, nc = *cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *flag = scratch.Take<uint8_t>(nr * nc);
  if (flag == nullptr) {
    ZQ_LOG_FAIL(__func__, "input error");
    return -2;
  }
  MapTables t;
  if (!BuildTables(&scratch, H, nr, nc, &t)) return -2;

  ClearFields(overLapSize);
  const Shifts h = {H->a02, H->a12};
  uint32_t compared = 0;
  for (uint32_t i = 0; i < nr; ++i) {
    for (uint32_t j = 0; j < nc; ++j) {
      int32_t xr, yr;
      if (!MapPixel(t, h, i, j, margin, nr, nc, &xr, &yr)) continue;
      if (!ignoreMasks &&
          (!ZqPixBitMapBit(testMask, t.rowStart[i] + j) ||
           !ZqPixBitMapBit(refMask, t.rowStart[yr] + static_cast<uint32_t>(xr)))) {
        continue;
      }
      uint32_t m = 0, l = 0;
      for (uint32_t ni = i == 0 ? 0 : i - 1; ni <= i + 1 && ni < nr; ++ni) {
        for (uint32_t nj = j == 0 ? 0 : j - 1; nj <= j + 1 && nj < nc; ++nj) {
          const uint32_t ti = t.rowStart[ni] + nj;
          if (!ZqPixBitMapBit(testMask, ti)) continue;
          int32_t nx, ny;
          if (!MapPixel(t, h, ni, nj, 0, nr, nc, &nx, &ny)) continue;
          const uint32_t ri = t.rowStart[ny] + static_cast<uint32_t>(nx);
          if (!ZqPixBitMapBit(refMask, ri)) continue;
          ++m;
          if (ZqBinImgBit(testBits, ti) == ZqBinImgBit(refBits, ri)) ++l;
        }
      }
      if (m > 0 && static_cast<float>(l) >= 0.75f * static_cast<float>(m)) flag[compared] = 1;
      ++compared;
    }
  }
  overLapSize[ZQ_OVERLAP_COMPARED] = static_cast<int16_t>(compared);
  CountQuarters(flag, compared, overLapSize, uniformSize);
  return 0;
}

int16_t ZqGetUniformRegSize(const uint64_t *refBits, const uint64_t *testBits,
                            const ST_HMatrix *H, const uint16_t *wordCount,
                            const uint16_t *centreRow, const uint16_t *centreCol, uint16_t radius,
                            const uint16_t *rows, const uint16_t *cols, int16_t *count) {
  if (refBits == NULL || testBits == NULL || H == NULL || wordCount == NULL ||
      centreRow == NULL || centreCol == NULL || rows == NULL || cols == NULL || count == NULL ||
      static_cast<uint32_t>(*rows) * *cols < static_cast<uint32_t>(*centreRow) * *centreCol) {
    ZQ_LOG_FAIL(__func__, "input error");
    return -1;
  }
  *count = 0;
  const uint32_t nr = *rows, nc = *cols;
  uint16_t agree = 0;
  const int32_t r = radius;
  for (int32_t dy = -r; dy < r; ++dy) {
    const uint16_t row = static_cast<uint16_t>(*centreRow + dy);
    if (row >= nr) continue;
    for (int32_t dx = -r; dx < r; ++dx) {
      const uint16_t col = static_cast<uint16_t>(*centreCol + dx);
      if (col >= nc) continue;
      const float fr = static_cast<float>(row), fc = static_cast<float>(col);
      int32_t xr, yr;
      if (!RoundInto(H->a01 * fr + H->a00 * fc + H->a02, 0, static_cast<int32_t>(nc), &xr) ||
          !RoundInto(H->a11 * fr + H->a10 * fc + H->a12, 0, static_cast<int32_t>(nr), &yr)) {
        continue;
      }
      Bump(count);
      uint8_t refBit = 0, testBit = 0;
      if (ZqGetBitValue(refBits, static_cast<uint16_t>(yr * nc + xr), *wordCount, &refBit) != 0 ||
          ZqGetBitValue(testBits, static_cast<uint16_t>(row * nc + col), *wordCount, &testBit) !=
              0) {
        ZQ_LOG_FAIL(__func__, "ZqGetBitValue != 0");
        return -1;
      }
      if (refBit == testBit) agree = static_cast<uint16_t>(agree + 1u);
    }
  }
  return static_cast<int16_t>(agree);
}
