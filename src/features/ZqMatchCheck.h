// Binarised images of a sample and the uniform-region check that compares
// two of them under a registration transform. Bit layouts: ZqBinImg.h.
#ifndef SRC_FEATURES_ZQMATCHCHECK_H_
#define SRC_FEATURES_ZQMATCHCHECK_H_

#include <stdint.h>

#include "src/image/ZqGeomTypes.h"
#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fields of the six int16 overLapSize counters.
enum {
  ZQ_OVERLAP_COMPARED = 0,  // pixels that passed the frame and mask tests
  ZQ_OVERLAP_QUARTER1 = 1,  // agreeing pixels per quarter of the compared
  ZQ_OVERLAP_QUARTER2 = 2,  // sequence (scan order): [0, n/4), [n/4, n/2),
  ZQ_OVERLAP_QUARTER3 = 3,  // [n/2, n/4 + n/2), [n/4 + n/2, n)
  ZQ_OVERLAP_QUARTER4 = 4,
  ZQ_OVERLAP_IN_FRAME = 5,  // mapped inside the frame; added to, never reset
  ZQ_OVERLAP_FIELDS = 6,
};

// Largest rows * cols of the uniform-region check (its counters are int16).
#define ZQ_UNIFORM_MAX_PIXELS 32767u

// Largest pixel count of the small-sensor builder (it counts in int16).
#define ZQ_SMALL_BINIMG_MAX_PIXELS 32767u

// Binarises the 8-bit src (5-tap Gaussian, 11 x 11 local min-max
// normalisation, bit = value > 0.5) into ST_BinImg words. *wordCount gets
// ceil(w * h / 64) first; a NULL *pBits gets a new ZqSafeAlloc array, else
// the caller's array of *wordCount words is filled. 0, or -1 on any failure
// (NULL argument, not 8-bit, a side below 5, more than 65535 pixels, work
// memory), with *pBits unchanged and nothing of the call left allocated.
int ZqGenBinImg(const ST_Image *src, uint64_t **pBits, uint16_t *wordCount);

// ZqGenBinImg with a (2 quantPad + 1)^2 normalisation window (sides below
// quantPad refused); clearFlat 1 clears the bits of pixels whose window is
// flat. Same results and codes (-1 also for quantPad below 1).
int ZqGenBinImgWindow(const ST_Image *src, uint64_t **pBits, uint16_t *wordCount,
                      int32_t quantPad, int clearFlat);

// Binarises an 8-bit src by a 3 x 3 median and an inverted local threshold
// (radius 5, k 0.1); a set bit is a pixel on the bright side. Array and
// count as ZqGenBinImg. 0; -1 NULL argument, size out of range (above
// 32767 pixels) or a bit that cannot be set; -2 allocation; -3 median or
// threshold failed.
int ZqGenBinImgForSamllSensor(const ST_Image *src, uint64_t **pBits, uint16_t *wordCount);

// Frees *pBits with ZqSafeFree when not NULL and clears it; returns 0.
int ZqReleaseBinImg(uint64_t **pBits);

// Counts the sample (test) pixels whose bit agrees with the template (ref)
// pixel they map onto under the rigid H (a00, a01, a02, a12 are read): see
// the ZQ_OVERLAP_* fields; *uniformSize = fields 1 + 2 + 3 + 4. Both images
// are rows x cols; margin narrows the frame; ignoreMasks 1 skips the mask
// tests (the masks may then be NULL). `unused` is not read. 0; -1 for a
// NULL refBits, testBits, H, uniformSize, rows, cols, overLapSize or needed
// mask, or rows * cols above ZQ_UNIFORM_MAX_PIXELS; -2 when working memory
// (pool, or heap with the pool off) is short.
int ZqGetUniformRegSizeAll(const uint64_t *refBits, const uint64_t *testBits,
                           const uint8_t *refMask, const uint8_t *testMask, const ST_HMatrix *H,
                           const void *unused, const uint16_t *rows, const uint16_t *cols,
                           int16_t *overLapSize, uint8_t margin, uint8_t ignoreMasks,
                           int16_t *uniformSize);

// Test hook: on 1, ZqGetUniformRegSizeAll maps its pixels one at a time
// instead of eight at a time where the processor can (same results).
void ZqUniformRegionPlainForTest(int32_t on);

// As ZqGetUniformRegSizeAll, on the heap, without field 5, and a centre
// agrees when at least 3/4 of its counted 3 x 3 neighbours (test and ref
// masks set, mapped into the frame) agree. Both masks are always needed.
int ZqGetUniformRegSizeAllInRect(const uint64_t *refBits, const uint64_t *testBits,
                                 const uint8_t *refMask, const uint8_t *testMask,
                                 const ST_HMatrix *H, const void *unused, const uint16_t *rows,
                                 const uint16_t *cols, int16_t *overLapSize, uint8_t margin,
                                 uint8_t ignoreMasks, int16_t *uniformSize);

// Agreements in the window of rows centreRow - radius .. centreRow +
// radius - 1 (columns alike) mapped through the full affine H; *count gets
// the number of compared pixels. -1 for a NULL argument, rows * cols below
// centreRow * centreCol or a bit outside *wordCount words.
int16_t ZqGetUniformRegSize(const uint64_t *refBits, const uint64_t *testBits,
                            const ST_HMatrix *H, const uint16_t *wordCount,
                            const uint16_t *centreRow, const uint16_t *centreCol, uint16_t radius,
                            const uint16_t *rows, const uint16_t *cols, int16_t *count);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQMATCHCHECK_H_
