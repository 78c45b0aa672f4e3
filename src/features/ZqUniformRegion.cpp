// The uniform-region check: sample pixels mapped onto the template by a
// rigid transform, counting where the binarised images agree.
#include <immintrin.h>

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

// The images of one comparison and its running counts.
struct Pass {
  const uint64_t *refBits, *testBits;
  const uint8_t *refMask, *testMask;
  bool masks;           // mask tests apply
  uint32_t maskWords;   // whole 32-bit words in a mask of the grid
  uint8_t *flag;        // agreement per compared pixel, in scan order
  uint32_t compared;
  uint32_t inFrame;     // pixels mapped inside the frame
};

// Sample pixel ti, mapped inside onto template pixel ri: the mask tests,
// then the agreement of the bits.
inline void ComparePixel(Pass *p, uint32_t ti, uint32_t ri) {
  ++p->inFrame;
  if (p->masks && (!ZqPixBitMapBit(p->testMask, ti) || !ZqPixBitMapBit(p->refMask, ri))) return;
  if (ZqBinImgBit(p->testBits, ti) == ZqBinImgBit(p->refBits, ri)) p->flag[p->compared] = 1;
  ++p->compared;
}

// Columns [j0, cols) of row i, one pixel at a time.
void CompareRowPlain(Pass *p, const MapTables &t, const Shifts &h, uint32_t i, uint32_t j0,
                     int32_t margin, uint32_t rows, uint32_t cols) {
  for (uint32_t j = j0; j < cols; ++j) {
    int32_t xr, yr;
    if (!MapPixel(t, h, i, j, margin, rows, cols, &xr, &yr)) continue;
    ComparePixel(p, t.rowStart[i] + j, t.rowStart[yr] + static_cast<uint32_t>(xr));
  }
}

// RoundInto on eight values at once: the lane mask of those that round into
// [lo, hi) and their rounded values in *r.
__attribute__((target("avx2"))) inline __m256i RoundIntoEight(__m256 v, int32_t lo, int32_t hi,
                                                              __m256i *r) {
  const __m256 inRange =
      _mm256_and_ps(_mm256_cmp_ps(v, _mm256_set1_ps(static_cast<float>(lo) - 1.0f), _CMP_GT_OQ),
                    _mm256_cmp_ps(v, _mm256_set1_ps(static_cast<float>(hi) + 1.0f), _CMP_LT_OQ));
  const __m256 away = _mm256_blendv_ps(_mm256_sub_ps(v, _mm256_set1_ps(0.5f)),
                                       _mm256_add_ps(v, _mm256_set1_ps(0.5f)),
                                       _mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_GE_OQ));
  *r = _mm256_cvttps_epi32(away);
  const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(lo), *r);
  const __m256i notAbove = _mm256_cmpgt_epi32(_mm256_set1_epi32(hi), *r);
  return _mm256_andnot_si256(below, _mm256_and_si256(_mm256_castps_si256(inRange), notAbove));
}

// Bits at pixel indexes at (lanes in sel) of a bit array read as 32-bit
// words; 0 in the other lanes.
__attribute__((target("avx2"))) inline __m256i BitsAt(const void *bits, __m256i at, __m256i sel) {
  const __m256i words = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                                    static_cast<const int *>(bits),
                                                    _mm256_srli_epi32(at, 5), sel, 4);
  return _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_and_si256(at, _mm256_set1_epi32(31))),
                          _mm256_set1_epi32(1));
}

// Eight bits of a bit array from bit first on (bit l of the result is bit
// first + l), read byte by byte so that nothing past the byte holding bit
// first + 7 is touched.
inline uint32_t EightBits(const uint8_t *bytes, uint32_t first) {
  const uint32_t at = first / 8u, shift = first % 8u;
  uint32_t v = bytes[at];
  if (shift != 0) v |= static_cast<uint32_t>(bytes[at + 1]) << 8;
  return (v >> shift) & 0xFFu;
}

// Lane l all ones where bit l of bits is set.
__attribute__((target("avx2"))) inline __m256i LaneBits(uint32_t bits) {
  const __m256i lane = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
  return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int32_t>(bits)), lane),
                            lane);
}

// For each 8-bit lane mask, the byte indexes of its set lanes in order,
// then 0x80 (a zero byte under a byte shuffle).
struct CompressTable {
  alignas(16) uint8_t idx[256][8];
  constexpr CompressTable() : idx() {
    for (int m = 0; m < 256; ++m) {
      int k = 0;
      for (int l = 0; l < 8; ++l)
        if ((m >> l) & 1) idx[m][k++] = static_cast<uint8_t>(l);
      for (; k < 8; ++k) idx[m][k] = 0x80;
    }
  }
};
constexpr CompressTable kCompress;

// Appends the agreement (bit l of agree) of the compared lanes (bit l of
// pass) in lane order. The flags past the end are still clear, so one
// 8-byte store writes them where it fits in flagLen.
__attribute__((target("avx2,popcnt"))) inline void AppendFlags(Pass *p, uint32_t pass,
                                                               uint32_t agree, uint32_t flagLen) {
  const uint32_t n = static_cast<uint32_t>(__builtin_popcount(pass));
  if (p->compared + 8u <= flagLen) {
    const __m128i bit = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i set = _mm_cmpeq_epi8(_mm_and_si128(_mm_set1_epi8(static_cast<char>(agree)), bit), bit);
    const __m128i bytes = _mm_and_si128(set, _mm_set1_epi8(1));
    const __m128i order = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(kCompress.idx[pass]));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p->flag + p->compared),
                     _mm_shuffle_epi8(bytes, order));
    p->compared += n;
    return;
  }
  for (; pass != 0; pass &= pass - 1) {
    if ((agree >> __builtin_ctz(pass)) & 1u) p->flag[p->compared] = 1;
    ++p->compared;
  }
}

// CompareRowPlain eight columns at a time: each lane maps its pixel by the
// same single-precision additions in the same order, the tests of the lanes
// inside are made together, and the compared pixels are appended in column
// order. Mask words past the last whole one are read a byte at a time.
__attribute__((target("avx2,popcnt"))) void CompareRowEight(Pass *p, const MapTables &t,
                                                            const Shifts &h, uint32_t i,
                                                            int32_t margin, uint32_t rows,
                                                            uint32_t cols) {
  const __m256 rowTerm = _mm256_set1_ps(t.rowTerm[i]), colTerm = _mm256_set1_ps(t.colTerm[i]);
  const __m256 a02 = _mm256_set1_ps(h.a02), a12 = _mm256_set1_ps(h.a12);
  const __m256i width = _mm256_set1_epi32(static_cast<int32_t>(cols));
  const __m256i maskEnd = _mm256_set1_epi32(static_cast<int32_t>(p->maskWords * 32u));
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const int32_t xHi = static_cast<int32_t>(cols) - margin, yHi = static_cast<int32_t>(rows) - margin;
  const uint32_t rowStart = t.rowStart[i];
  const uint32_t flagLen = rows * cols;
  const uint8_t *testBytes = reinterpret_cast<const uint8_t *>(p->testBits);
  uint32_t j = 0;
  for (; j + 8 <= cols; j += 8) {
    const __m256 x = _mm256_add_ps(_mm256_add_ps(_mm256_loadu_ps(t.colTerm + j), rowTerm), a02);
    const __m256 y = _mm256_add_ps(_mm256_sub_ps(colTerm, _mm256_loadu_ps(t.rowTerm + j)), a12);
    __m256i xr, yr;
    __m256i sel = _mm256_and_si256(RoundIntoEight(x, margin, xHi, &xr),
                                   RoundIntoEight(y, margin, yHi, &yr));
    const uint32_t inside = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(sel)));
    if (inside == 0) continue;
    p->inFrame += static_cast<uint32_t>(__builtin_popcount(inside));
    const __m256i ri = _mm256_add_epi32(_mm256_mullo_epi32(yr, width), xr);
    const uint32_t ti = rowStart + j;  // the eight sample pixels: ti .. ti + 7
    // All eight inside and landing on eight neighbouring template pixels
    // (common near the identity): the template's bits straight from its row.
    const uint32_t r0 = static_cast<uint32_t>(_mm256_cvtsi256_si32(ri));
    const bool run =
        inside == 0xFFu &&
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(
            ri, _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(r0)), lane)))) == 0xFF;
    if (run) {
      uint32_t pass = 0xFFu;
      if (p->masks) pass = EightBits(p->testMask, ti) & EightBits(p->refMask, r0);
      const uint32_t agree =
          ~(EightBits(testBytes, ti) ^ EightBits(reinterpret_cast<const uint8_t *>(p->refBits), r0));
      AppendFlags(p, pass, agree, flagLen);
      continue;
    }
    if (p->masks) {
      // The sample's mask bits straight from its row; the template's by
      // lane where they lie in the whole words, the rest one at a time.
      sel = _mm256_and_si256(sel, LaneBits(EightBits(p->testMask, ti)));
      const __m256i safe = _mm256_cmpgt_epi32(maskEnd, ri);
      __m256i keep = _mm256_cmpeq_epi32(BitsAt(p->refMask, ri, _mm256_and_si256(sel, safe)),
                                        _mm256_set1_epi32(1));
      uint32_t rest = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(
          _mm256_andnot_si256(safe, sel))));
      if (rest != 0) {
        alignas(32) int32_t r[8], k[8];
        _mm256_store_si256(reinterpret_cast<__m256i *>(r), ri);
        _mm256_store_si256(reinterpret_cast<__m256i *>(k), keep);
        for (; rest != 0; rest &= rest - 1) {
          const int l = __builtin_ctz(rest);
          k[l] = ZqPixBitMapBit(p->refMask, static_cast<uint32_t>(r[l])) != 0 ? -1 : 0;
        }
        keep = _mm256_load_si256(reinterpret_cast<const __m256i *>(k));
      }
      sel = keep;
    }
    uint32_t pass = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(sel)));
    if (pass == 0) continue;
    const __m256i same = _mm256_cmpeq_epi32(LaneBits(EightBits(testBytes, ti)),
                                            _mm256_cmpeq_epi32(BitsAt(p->refBits, ri, sel),
                                                               _mm256_set1_epi32(1)));
    const uint32_t agree = static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(same)));
    AppendFlags(p, pass, agree, flagLen);
  }
  CompareRowPlain(p, t, h, i, j, margin, rows, cols);
}

// Row comparison chosen for this processor (a test may ask for the plain one).
bool gPlainMapOnly = false;

bool UseEightLanes() {
  return !gPlainMapOnly && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
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
  const __m128i zero = _mm_setzero_si128();
  for (int part = 0; part < 4; ++part) {
    uint32_t c = 0;
    uint32_t k = bounds[part];
    // Sixteen flags at a time: 1 for each byte that is not 0, summed.
    __m128i sums = _mm_setzero_si128();
    for (; k + 16 <= bounds[part + 1]; k += 16) {
      const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i *>(flag + k));
      const __m128i set = _mm_andnot_si128(_mm_cmpeq_epi8(f, zero), _mm_set1_epi8(1));
      sums = _mm_add_epi64(sums, _mm_sad_epu8(set, zero));
    }
    c += static_cast<uint32_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<uint32_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    for (; k < bounds[part + 1]; ++k) c += flag[k] != 0;
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
  Pass p = {refBits, testBits, refMask, testMask, ignoreMasks == 0, nr * nc / 32u, flag, 0, 0};
  const bool eight = UseEightLanes();
  for (uint32_t i = 0; i < nr; ++i) {
    if (eight) {
      CompareRowEight(&p, t, h, i, margin, nr, nc);
    } else {
      CompareRowPlain(&p, t, h, i, 0, margin, nr, nc);
    }
  }
  const uint32_t compared = p.compared;
  // Pixels mapped inside the frame are added at the end; the int16 field
  // wraps as it would counting one by one.
  overLapSize[ZQ_OVERLAP_IN_FRAME] = static_cast<int16_t>(static_cast<uint16_t>(
      static_cast<uint16_t>(overLapSize[ZQ_OVERLAP_IN_FRAME]) + p.inFrame));
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

void ZqUniformRegionPlainForTest(int32_t on) { gPlainMapOnly = on != 0; }

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
