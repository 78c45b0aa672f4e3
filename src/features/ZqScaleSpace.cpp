#include "src/features/ZqScaleSpace.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "src/features/ZqAlgMode.h"
#include "src/features/ZqDetectFeature.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqFastGaussBlur.h"
#include "src/image/ZqImgProc.h"
#include "src/image/ZqImgResize.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqInterp3D.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

extern "C" const int32_t gBorderTab[6] = {5, 7, 8, 10, 13, 16};

namespace {

// Refinement steps before a candidate is given up.
constexpr int32_t kMaxInterpSteps = 5;

inline float Px(const ST_Image *img, int32_t r, int32_t c) { return ZqImgRow<float>(img, r)[c]; }

// New float image of rows x cols, or NULL.
ST_Image *NewFloat(int32_t rows, int32_t cols) {
  ST_Size size = {rows, cols};
  return ZqCreateImage(&size, DEPTH_32F);
}

// Pixel blocks of the pyramids, kept from call to call: a doubled frame's
// pyramids are some megabytes, which the system allocator would hand back
// and fault in again on every frame. A slot serves one pyramid level of one
// kind at a time; a level it cannot serve gets an image of its own. The
// blocks come from the C heap, outside the counted heap and the base
// allocator, so that a call allocates through those the same sequence
// whether the blocks are already there or not; a block the C heap refuses
// leaves the level to an image of its own.
struct PyrBlock {
  uint8_t *data;
  int32_t capacity;
  bool busy;
};
constexpr int32_t kKeptOctaves = 8;
constexpr int32_t kKeptLevels = 8;
PyrBlock gPyrBlocks[2][kKeptOctaves][kKeptLevels];

// The kept slot holding data, or NULL.
PyrBlock *KeptSlotOf(const uint8_t *data) {
  if (data == NULL) return NULL;
  for (auto &kind : gPyrBlocks)
    for (auto &oct : kind)
      for (PyrBlock &b : oct)
        if (b.data == data) return &b;
  return NULL;
}

// Float image of rows x cols for level (o, m) of pyramid kind k (0
// Gaussian, 1 difference) over a kept block, zeroed when zero is set, or a
// new image; NULL on failure.
ST_Image *NewPyrFloat(int32_t k, int32_t o, int32_t m, int32_t rows, int32_t cols, bool zero) {
  const int64_t bytes = static_cast<int64_t>(rows) * cols * 4;
  if (o >= kKeptOctaves || m >= kKeptLevels || rows <= 0 || cols <= 0 || bytes > INT32_MAX ||
      gPyrBlocks[k][o][m].busy) {
    return NewFloat(rows, cols);
  }
  PyrBlock &b = gPyrBlocks[k][o][m];
  if (b.capacity < bytes) {
    std::free(b.data);
    b.data = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(bytes)));
    b.capacity = b.data != NULL ? static_cast<int32_t>(bytes) : 0;
    if (b.data == NULL) return NewFloat(rows, cols);
  }
  auto *img = static_cast<ST_Image *>(ZqSafeAlloc(sizeof(ST_Image)));
  if (img == NULL) return NULL;
  img->depth = DEPTH_32F;
  img->width = cols;
  img->height = rows;
  img->rowBytes = cols * 4;
  img->imageSize = static_cast<int32_t>(bytes);
  img->imageData = b.data;
  b.busy = true;
  if (zero) std::memset(b.data, 0, static_cast<size_t>(bytes));
  return img;
}

// Releases an image of a pyramid, handing a kept block back to its slot.
void ReleasePyrImage(ST_Image **img) {
  if (*img == NULL) return;
  PyrBlock *b = KeptSlotOf((*img)->imageData);
  if (b == NULL) {
    ZqReleaseImage(img);
    return;
  }
  b->busy = false;
  (*img)->imageData = NULL;
  ZqReleaseImageHeader(img);
}

// Outer array plus octvs arrays of n NULL image pointers, or NULL.
ST_Image ***NewPyr(const char *func, int32_t octvs, int32_t n, const char *name) {
  auto *pyr = static_cast<ST_Image ***>(ZqSafeAlloc(octvs * static_cast<int32_t>(sizeof(ST_Image **))));
  if (pyr == NULL) {
    if (name[0] == 'g') {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "ZqBuildGaussPyr...gaussPyr == NULL");
    } else {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "ZqBuildDogPyr...dogPyr == NULL");
    }
    return NULL;
  }
  for (int32_t o = 0; o < octvs; ++o) {
    pyr[o] = static_cast<ST_Image **>(ZqSafeAlloc(n * static_cast<int32_t>(sizeof(ST_Image *))));
    if (pyr[o] == NULL) {
      if (name[0] == 'g') {
        QUORV_LOG_IN(func, QUORV_LOG_ERROR, "ZqBuildGaussPyr...gaussPyr[%d] == NULL", o);
      } else {
        QUORV_LOG_IN(func, QUORV_LOG_ERROR, "ZqBuildDogPyr...dogPyr[%d] == NULL", o);
      }
      ZqReleasePyr(&pyr, octvs, n);
      return NULL;
    }
  }
  return pyr;
}

// True when v at (o, s, r, c) is no smaller (v > 0) or no greater (v <= 0)
// than each of its 27 neighbours in position and scale.
bool IsExtremum(ST_Image **oct, int32_t s, int32_t r, int32_t c, float v) {
  for (int32_t ds = -1; ds <= 1; ++ds) {
    const ST_Image *img = oct[s + ds];
    for (int32_t dr = -1; dr <= 1; ++dr) {
      const float *row = ZqImgRow<float>(img, r + dr) + c;
      if (v > 0) {
        if (row[-1] > v || row[0] > v || row[1] > v) return false;
      } else {
        if (row[-1] < v || row[0] < v || row[1] < v) return false;
      }
    }
  }
  return true;
}

// Rounds half away from zero; false for offsets no position can take
// (non-finite or huge), which the caller drops as out of range.
bool RoundOffset(float v, int32_t *out) {
  if (!(fabsf(v) < 1.0e6f)) return false;
  *out = static_cast<int32_t>(roundf(v));
  return true;
}

// Edge test on D(o, s) at (r, c): true when the curvature ratio is too big.
bool IsTooEdgeLike(const ST_Image *dog, int32_t r, int32_t c, int32_t curvThr) {
  const float p = Px(dog, r, c);
  const float dxx = Px(dog, r, c + 1) + Px(dog, r, c - 1) - 2.0f * p;
  const float dyy = Px(dog, r + 1, c) + Px(dog, r - 1, c) - 2.0f * p;
  const float dxy = (Px(dog, r + 1, c + 1) - Px(dog, r + 1, c - 1) - Px(dog, r - 1, c + 1) +
                     Px(dog, r - 1, c - 1)) *
                    0.25f;
  const float tr = dxx + dyy;
  const float det = dxx * dyy - dxy * dxy;
  const float k = static_cast<float>(curvThr) + 1.0f;
  if (det <= 0.0f) return true;
  return !(det * (k * k) > static_cast<float>(curvThr) * (tr * tr));
}

// A refined candidate.
struct Refined {
  int32_t s, r, c;
  float xi, xr, xc;
};

// Sub-pixel refinement and contrast test; false when the candidate is
// dropped (logged at level 1).
bool InterpExtremum(ST_Image ***dog, int32_t o, int32_t s, int32_t r, int32_t c, int32_t intvls,
                    float contrThr, Refined *out) {
  const int32_t width = dog[o][0]->width, height = dog[o][0]->height;
  float xi = 0, xr = 0, xc = 0;
  int32_t step = 0;
  bool ok = true;
  while (step < kMaxInterpSteps) {
    ZqInterpStep(dog, o, s, r, c, &xi, &xr, &xc);
    if (fabsf(xi) < 0.5f && fabsf(xr) < 0.5f && fabsf(xc) < 0.5f) break;
    int32_t dc, dr, di;
    if (!RoundOffset(xc, &dc) || !RoundOffset(xr, &dr) || !RoundOffset(xi, &di)) {
      ok = false;
      break;
    }
    c += dc;
    r += dr;
    s += di;
    if (s < 1 || s > intvls) {
      ok = false;
      break;
    }
    const int32_t b = gBorderTab[s];
    if (r < b || c < b || c >= width - b || r >= height - b) {
      ok = false;
      break;
    }
    ++step;
  }
  if (ok && step >= kMaxInterpSteps) ok = false;
  if (ok) {
    const float contr = ZqInterpContr(dog, o, s, r, c, xi, xr, xc);
    if (!(fabsf(contr) * static_cast<float>(intvls) >= contrThr)) ok = false;
  }
  if (!ok) {
    QUORV_LOG_IN("ZqInterpExtremum", QUORV_LOG_VERBOSE,
                 "ZqInterpExtremum...return NULL, intvl = %d, intvls = %d, contrThr = %f", s,
                 intvls, static_cast<double>(contrThr));
    return false;
  }
  *out = Refined{s, r, c, xi, xr, xc};
  return true;
}

}  // namespace

extern "C" ST_Image *ZqConvertToGray32(const ST_Image *img) {
  ST_Size size = {img->height, img->width};
  ST_Image *gray32 = ZqCreateImage(&size, DEPTH_32F);
  if (gray32 == NULL) {
    ZQ_LOG_FAIL("ZqConvertToGray32", "ZqCreateImage gray32==NULL");
    return NULL;
  }
  ZqConvertScale(img, gray32, 1.0f, 0.0f);
  return gray32;
}

extern "C" ST_Image *ZqCreateInitImg(const ST_Image *img, int32_t imgDbl) {
  ZQ_CHECK(img == NULL, NULL);
  if (img->depth != DEPTH_8U || img->imageData == NULL || img->width <= 0 || img->height <= 0) {
    ZQ_LOG_FAIL("ZqCreateInitImg", "img == NULL");
    return NULL;
  }
  ST_Image *gray = ZqConvertToGray32(img);
  ZQ_CHECK(gray == NULL, NULL);
  ST_Image *base = gray;
  if (imgDbl != 0) {
    ST_Size size = {img->height * 2, img->width * 2};
    ST_Image *dbl = ZqCreateImage(&size, DEPTH_32F);
    if (dbl == NULL) {
      ZQ_LOG_FAIL("ZqCreateInitImg", "ZqCreateImage return dbl==NULL");
      ZqReleaseImage(&gray);
      return NULL;
    }
    if (ZqDoubleImageByCubic(gray, dbl) != 1) ZQ_LOG_FAIL("ZqCreateInitImg", "ZqResize fail");
    ZqReleaseImage(&gray);
    base = dbl;
  }
  FastGaussBlur(base, base, 0, gAlgMode.imageMode);
  return base;
}

extern "C" void ZqReleasePyr(ST_Image ****pyr, int32_t octvs, int32_t n) {
  if ((pyr == NULL) || (*pyr == NULL)) {
    ZQ_LOG_FAIL("ZqReleasePyr", "pyr == NULL");
    return;
  }
  ST_Image ***p = *pyr;
  for (int32_t o = 0; o < octvs; ++o) {
    if (p[o] == NULL) continue;
    for (int32_t i = 0; i < n; ++i) ReleasePyrImage(&p[o][i]);
    ZqSafeFree(p[o]);
  }
  ZqSafeFree(p);
  *pyr = NULL;
}

extern "C" ST_Image ***ZqBuildGaussPyr(const ST_Image *base, int32_t octvs, int32_t intvls) {
  if (base == NULL) {
    ZQ_LOG_FAIL("ZqBuildGaussPyr", "base = NULL");
    return NULL;
  }
  if (octvs < 0 || intvls < 1 || intvls + 2 >= ZQ_FAST_GAUSS_LEVELS) {
    ZQ_LOG_FAIL("ZqBuildGaussPyr", "input error");
    return NULL;
  }
  const int32_t n = intvls + 3;
  ST_Image ***pyr = NewPyr("ZqBuildGaussPyr", octvs, n, "g");
  if (pyr == NULL) return NULL;
  const uint8_t mode = gAlgMode.imageMode;
  for (int32_t o = 0; o < octvs; ++o) {
    for (int32_t i = 0; i < n; ++i) {
      bool ok;
      if (o == 0 && i == 0) {
        const bool copyable = base->depth == DEPTH_32F && base->rowBytes == base->width * 4;
        pyr[o][i] = copyable ? NewPyrFloat(0, o, i, base->height, base->width, false)
                             : ZqCloneImage(base);
        ok = pyr[o][i] != NULL;
        if (ok && copyable && base->imageSize > 0) {
          std::memcpy(pyr[o][i]->imageData, base->imageData, static_cast<size_t>(base->imageSize));
        }
      } else if (i == 0) {
        const ST_Image *prev = pyr[o - 1][intvls];
        // An octave needs at least one pixel.
        ok = prev->height / 2 >= 1 && prev->width / 2 >= 1;
        // Decimation writes every pixel: no clearing first.
        pyr[o][i] = ok ? NewPyrFloat(0, o, i, prev->height / 2, prev->width / 2, false) : NULL;
        ok = pyr[o][i] != NULL && ZqResize(prev, pyr[o][i], 0) == 0;
      } else {
        const ST_Image *prev = pyr[o][i - 1];
        // The blur's last pass (or its copy) writes every pixel of the level.
        pyr[o][i] = NewPyrFloat(0, o, i, prev->height, prev->width, false);
        ok = pyr[o][i] != NULL &&
             FastGaussBlur(pyr[o][i - 1], pyr[o][i], static_cast<uint16_t>(i), mode) == 1;
      }
      if (!ok) {
        QUORV_LOGE("%s...gaussPyr[%d][%d] malloc fail", "ZqBuildGaussPyr", o, i);
        ZqReleasePyr(&pyr, octvs, n);
        return NULL;
      }
    }
  }
  return pyr;
}

extern "C" ST_Image ***ZqBuildDogPyr(ST_Image ***gaussPyr, int32_t octvs, int32_t intvls) {
  ZQ_CHECK(gaussPyr == NULL, NULL);
  if (octvs < 0 || intvls < 1) {
    ZQ_LOG_FAIL("ZqBuildDogPyr", "input error");
    return NULL;
  }
  const int32_t n = intvls + 3;
  ST_Image ***pyr = NewPyr("ZqBuildDogPyr", octvs, n, "d");
  if (pyr == NULL) return NULL;
  for (int32_t o = 0; o < octvs; ++o) {
    for (int32_t m = 0; m < n; ++m) {
      const ST_Image *g = gaussPyr[o][m < n - 1 ? m : n - 1];
      // Differences fill their slot whole; only the last slot is cleared.
      pyr[o][m] = NewPyrFloat(1, o, m, g->height, g->width, m == n - 1);
      if (pyr[o][m] == NULL) {
        QUORV_LOGE("%s...dogPyr[%d][%d] malloc fail", "ZqBuildDogPyr", o, m);
        ZqReleasePyr(&pyr, octvs, n);
        return NULL;
      }
      if (m < n - 1) ZqSubImage(gaussPyr[o][m + 1], gaussPyr[o][m], pyr[o][m]);
    }
  }
  return pyr;
}

extern "C" void ZqScaleSpaceReleaseBuffers(void) {
  for (auto &kind : gPyrBlocks)
    for (auto &oct : kind)
      for (PyrBlock &b : oct) {
        if (b.busy) continue;  // a live pyramid's; its release keeps it
        std::free(b.data);
        b = PyrBlock{NULL, 0, false};
      }
  FastGaussBlurReleaseBuffers();
}

extern "C" void ZqClearDogPyr(ST_Image ***dogPyr, int32_t octvs, int32_t intvls) {
  ZQ_CHECK_VOID(dogPyr == NULL);
  for (int32_t o = 0; o < octvs; ++o) {
    for (int32_t m = 0; m < intvls + 3; ++m) {
      ST_Image *img = dogPyr[o][m];
      if (img != NULL) std::memset(img->imageData, 0, static_cast<size_t>(img->imageSize));
    }
  }
}

namespace {
// 0: one column at a time; 4: four at a time; else as wide as there is.
int32_t gVectorScan = 8;

#if defined(__SSE2__)
// Eight columns at a time on processors with AVX: from column c of row r
// of interval s, while whole groups of eight fit before end, the columns
// that pass the threshold t and are no smaller (no larger, for v <= 0)
// than their 26 neighbours go to cols in column order; returns their count
// and sets *next to the first column not screened. The same comparisons as
// the four-column scan, lane by lane. cols holds end - c entries.
__attribute__((target("avx"))) int32_t ScreenRowWide(ST_Image **oct, int32_t s, int32_t r,
                                                     int32_t c, int32_t end, float t,
                                                     int32_t *cols, int32_t *next) {
  const float *row = ZqImgRow<float>(oct[s], r);
  const __m256 tv = _mm256_set1_ps(t);
  const __m256 zero = _mm256_setzero_ps();
  const __m256 sign = _mm256_set1_ps(-0.0f);
  const float *rows[3][3];
  for (int32_t ds = -1; ds <= 1; ++ds)
    for (int32_t dr = -1; dr <= 1; ++dr) rows[ds + 1][dr + 1] = ZqImgRow<float>(oct[s + ds], r + dr);
  int32_t count = 0;
  for (; c + 8 <= end; c += 8) {
    const __m256 v = _mm256_loadu_ps(row + c);
    const __m256 pass = _mm256_cmp_ps(_mm256_andnot_ps(sign, v), tv, _CMP_GT_OQ);
    if (_mm256_movemask_ps(pass) == 0) continue;
    // Lanes with v <= 0 have their signs turned (exact), so "n < v" there
    // becomes "-n > -v": one comparison a neighbour for both kinds (NaN
    // compares false either way).
    const __m256 flip = _mm256_andnot_ps(_mm256_cmp_ps(v, zero, _CMP_GT_OQ), sign);
    const __m256 fv = _mm256_xor_ps(v, flip);
    __m256 beaten = zero;
    int32_t m = 0;
    // The own interval first: most columns are beaten there already.
    for (int32_t ds : {0, -1, 1}) {
      for (int32_t dr = 0; dr < 3; ++dr) {
        const float *n = rows[ds + 1][dr] + c;
        for (int32_t dc = -1; dc <= 1; ++dc) {
          const __m256 nv = _mm256_xor_ps(_mm256_loadu_ps(n + dc), flip);
          beaten = _mm256_or_ps(beaten, _mm256_cmp_ps(nv, fv, _CMP_GT_OQ));
        }
      }
      m = _mm256_movemask_ps(_mm256_andnot_ps(beaten, pass));
      if (m == 0) break;
    }
    for (int32_t k = 0; m != 0; ++k, m >>= 1) {
      if (m & 1) cols[count++] = c + k;
    }
  }
  *next = c;
  return count;
}

bool UseWideScan() { return gVectorScan != 0 && gVectorScan != 4 && __builtin_cpu_supports("avx"); }
#endif
}  // namespace

extern "C" void ZqScaleSpaceVectorScanForTest(int32_t on) { gVectorScan = on; }

extern "C" int32_t ZqScaleSpaceExtrema(ST_Image ***dogPyr, int32_t octvs, int32_t intvls,
                                       int32_t curvThr, ST_Seq **features, ST_MemStorage *storage,
                                       float contrThr) {
  // The border table reaches interval 5; more intervals would read past it.
  if (dogPyr == NULL || features == NULL || storage == NULL || intvls > 8 || intvls < 1 ||
      intvls > ZQ_MAX_SCAN_INTVLS || octvs < 0) {
    ZQ_LOG_FAIL("ZqScaleSpaceExtrema", "input error");
    return -1;
  }
  ST_Seq *seq = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), storage);
  if (seq == NULL) {
    ZQ_LOG_FAIL("ZqScaleSpaceExtrema", "(features1 == NULL) || (features2 == NULL)");
    return -2;
  }
  // One byte a pixel of octave 0 (later octaves index it with their own,
  // smaller coordinates). Sized from the full product: a 16-bit product
  // would under-allocate above 65535 pixels.
  const int32_t width0 = dogPyr[0] != NULL && octvs > 0 ? dogPyr[0][0]->width : 0;
  const int32_t height0 = dogPyr[0] != NULL && octvs > 0 ? dogPyr[0][0]->height : 0;
  const int64_t markBytes = static_cast<int64_t>(width0) * height0;
  uint8_t *mark = markBytes <= INT32_MAX
                      ? static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(markBytes)))
                      : NULL;
  if (mark == NULL) {
    ZQ_LOG_FAIL("ZqScaleSpaceExtrema", "featureMat == NULL");
    return -2;
  }
  const float t = contrThr * 127.5f / static_cast<float>(intvls);
#if defined(__SSE2__)
  // Columns the wide scan passes on, at most a row's (from the C heap, so
  // the counted heap sees the same calls either way); without them the
  // four-column scan does the work.
  int32_t *wideCols = UseWideScan() && width0 > 0
                          ? static_cast<int32_t *>(std::malloc(static_cast<size_t>(width0) * sizeof(int32_t)))
                          : NULL;
  const bool wideScan = wideCols != NULL;
#endif
  for (int32_t o = 0; o < octvs; ++o) {
    std::memset(mark, 0, static_cast<size_t>(markBytes));
    ST_Image **oct = dogPyr[o];
    const int32_t width = oct[0]->width, height = oct[0]->height;
    for (int32_t s = 1; s <= intvls; ++s) {
      const int32_t b = gBorderTab[s];
      // A pixel that passes the threshold and is no smaller (no larger, for
      // v <= 0) than its 26 neighbours goes on to refinement.
      auto candidate = [&](int32_t r, int32_t c, float v) {
        Refined ref;
        if (!InterpExtremum(dogPyr, o, s, r, c, intvls, contrThr, &ref)) return;
        ST_DetectFeature *feat = ZqNewFeature();
        if (feat == NULL) return;  // no record to keep: skip the candidate
        const float scale = static_cast<float>(1 << o);
        feat->x = (static_cast<float>(ref.c) + ref.xc) * scale;
        feat->y = (static_cast<float>(ref.r) + ref.xr) * scale;
        feat->kind = v > 0 ? 1 : 0;
        ST_DetectData *dd = feat->ddata;
        dd->r = ref.r;
        dd->c = ref.c;
        dd->octv = o;
        dd->intv = ref.s;
        dd->subintv = ref.xi;
        QUORV_LOG_IN("ZqInterpExtremum", QUORV_LOG_VERBOSE,
                     "ZqInterpExtremum...feat = 0x%p, ddata->octv = %d, ddata->intv = %d",
                     static_cast<void *>(feat), dd->octv, dd->intv);
        const int64_t at = static_cast<int64_t>(ref.r) * width0 + ref.c;
        const uint8_t bit = static_cast<uint8_t>(1u << (ref.s - 1));
        if (!IsTooEdgeLike(oct[ref.s], ref.r, ref.c, curvThr) && (mark[at] & bit) == 0) {
          feat->contrast = fabsf(v);
          if (ZqSeqPush(seq, feat) != NULL) {
            mark[at] = static_cast<uint8_t>(mark[at] | bit);
          } else {
            ZqSafeFree(dd);
          }
        } else {
          ZqSafeFree(dd);
        }
        ZqSafeFree(feat);
      };
      for (int32_t r = b; r < height - b; ++r) {
        const float *row = ZqImgRow<float>(oct[s], r);
        int32_t c = b;
#if defined(__SSE2__)
        if (wideScan && c + 8 <= width - b) {
          // The candidates are found first and refined after: refinement
          // reads the difference images only, so the order is the same.
          const int32_t found = ScreenRowWide(oct, s, r, c, width - b, t, wideCols, &c);
          for (int32_t k = 0; k < found; ++k) candidate(r, wideCols[k], row[wideCols[k]]);
        }
        // Four columns at a time: the same threshold and neighbour
        // comparisons as below, lane by lane; candidates in column order.
        const __m128 tv = _mm_set1_ps(t);
        const __m128 zero = _mm_setzero_ps();
        const __m128 sign = _mm_set1_ps(-0.0f);
        for (; gVectorScan != 0 && c + 4 <= width - b; c += 4) {
          const __m128 v = _mm_loadu_ps(row + c);
          const __m128 pass = _mm_cmpgt_ps(_mm_andnot_ps(sign, v), tv);
          if (_mm_movemask_ps(pass) == 0) continue;
          const __m128 pos = _mm_cmpgt_ps(v, zero);
          __m128 gt = zero, lt = zero;
          int32_t m = 0;
          // The own interval first: most columns are beaten there already.
          for (int32_t ds : {0, -1, 1}) {
            for (int32_t dr = -1; dr <= 1; ++dr) {
              const float *n = ZqImgRow<float>(oct[s + ds], r + dr) + c;
              for (int32_t dc = -1; dc <= 1; ++dc) {
                const __m128 nv = _mm_loadu_ps(n + dc);
                gt = _mm_or_ps(gt, _mm_cmpgt_ps(nv, v));
                lt = _mm_or_ps(lt, _mm_cmplt_ps(nv, v));
              }
            }
            const __m128 beaten = _mm_or_ps(_mm_and_ps(pos, gt), _mm_andnot_ps(pos, lt));
            m = _mm_movemask_ps(_mm_andnot_ps(beaten, pass));
            if (m == 0) break;
          }
          for (int32_t k = 0; m != 0; ++k, m >>= 1) {
            if (m & 1) candidate(r, c + k, row[c + k]);
          }
        }
#endif
        for (; c < width - b; ++c) {
          const float v = row[c];
          if (!(fabsf(v) > t)) continue;
          if (!IsExtremum(oct, s, r, c, v)) continue;
          candidate(r, c, v);
        }
      }
    }
  }
  *features = seq;
  ZqSafeFree(mark);
#if defined(__SSE2__)
  std::free(wideCols);
#endif
  return 0;
}

extern "C" void ZqCalcFeatureScales(ST_Seq *features, int32_t intvls, float sigma) {
  ZQ_CHECK_VOID(features == NULL);
  for (int32_t k = 0; k < features->total; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    if (feat->ddata == NULL) continue;
    const float intv = static_cast<float>(feat->ddata->intv);
    feat->ddata->scl_octv = sigma * powf(2.0f, intv / static_cast<float>(intvls));
  }
}

extern "C" void ZqAdjustForImgDbl(ST_Seq *features) {
  ZQ_CHECK_VOID(features == NULL);
  for (int32_t k = 0; k < features->total; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    feat->x *= 0.5f;
    feat->y *= 0.5f;
  }
}

extern "C" void ZqInValidPixelSet(ST_Seq *features, const uint8_t *map, int32_t height,
                                  int32_t width) {
  if ((features == NULL) || (map == NULL)) {
    ZQ_LOG_FAIL("ZqInValidPixelSet", "features == NULL");
    return;
  }
  const int32_t n = features->total;
  for (int32_t k = 0; k < n; ++k) {
    ST_DetectFeature feat;
    ZqSeqPopFront(features, &feat);
    const int32_t r0 = static_cast<int32_t>(feat.y - 1.0f);
    const int32_t c0 = static_cast<int32_t>(feat.x - 1.0f);
    const int32_t c1 = static_cast<int32_t>(feat.x + 1.0f);
    bool keep = false;
    if (r0 >= 0 && r0 < height) {
      for (int32_t c = c0 < 0 ? 0 : c0; c < c1 && c < width && !keep; ++c) {
        const int64_t i = static_cast<int64_t>(r0) * width + c;
        keep = ((map[i >> 3] >> (i & 7)) & 1u) != 0;
      }
    }
    if (keep && ZqSeqPush(features, &feat) != NULL) continue;
    ZqSafeFree(feat.ddata);
  }
}

extern "C" void ZqFreeSeqFeatureData(ST_Seq *features) {
  if (features == NULL) return;
  for (int32_t k = 0; k < features->total; ++k) {
    auto *feat = reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(features, k));
    ZqSafeFree(feat->ddata);
    feat->ddata = NULL;
  }
}
