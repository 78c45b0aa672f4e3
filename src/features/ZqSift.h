// The fast keypoint detector: one scale on an image enlarged by 1.5, 16-bit
// integer blurs and their difference, 3 x 3 extrema with suppression of
// weaker neighbours, integer orientation histograms and 4 x 4 x 8 gradient
// histograms turned into 256 bits.
#ifndef SRC_FEATURES_ZQSIFT_H_
#define SRC_FEATURES_ZQSIFT_H_

#include <stdint.h>

#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqFeatExtractPara.h"
#include "src/features/ZqFeature.h"

#ifdef __cplusplus
extern "C" {
#endif

// Raw candidates kept by the extrema scan, and slots of the keypoint buffer.
#define ZQ_SIFT_MAX_CANDIDATES 300
// Keypoints (with orientation copies) the detector returns at most.
#define ZQ_SIFT_MAX_KEYPOINTS 170
// Pixels left out at each side of the enlarged image by the extrema scan.
#define ZQ_SIFT_BORDER 7
// Bins of the orientation histogram.
#define ZQ_SIFT_ORI_BINS 36
// Largest number of pixels of the enlarged image (16-bit pixel counts).
#define ZQ_SIFT_MAX_PIXELS 65535

// Keypoints and their orientation copies of the last call (x, y, ori,
// contrast, kind; ddata NULL). Cleared at the start of every call.
extern ST_DetectFeature gFeatBuff[ZQ_SIFT_MAX_CANDIDATES];
// Raw candidates of the last call's extrema scan. Cleared with gFeatBuff.
extern ST_DetectFeature gFeatBuffTemp[ZQ_SIFT_MAX_CANDIDATES];

// Extracts the keypoints of para.img (only img is read): *feat1 gets the
// bright-blob records (count in pextremumNum[0]), *feat2 the others
// (pextremumNum[1]), both from ZqSafeAlloc and owned by the caller, with x
// and y in the grid of para.img. 0 ok (also with no keypoint: two empty
// arrays; and when a blur fails: counts 0, both pointers NULL); -1 a NULL
// pointer or an enlarged image above ZQ_SIFT_MAX_PIXELS; -2 an allocation
// failed (both pointers NULL, counts 0).
int32_t ZqGetMfsFeatures_v2(ST_Feature **feat1, ST_Feature **feat2, uint32_t pextremumNum[2],
                            ST_FeatExtractPara para);

// 1 when img[idx] is positive and greater than its 8 neighbours (stride
// pixels a row), 2 when negative and smaller than all 8, else 0; *value
// gets img[idx] in every case. The caller keeps the neighbours inside.
int32_t ZqIsExtremum3x3(const int16_t *img, int32_t idx, int32_t stride, int16_t *value);

// Scans rows and columns border .. size - border - 1 of the difference
// image for 3 x 3 extrema: the first 300 in scan order go to cand (x, y,
// contrast = |value|, kind 0 for a maximum, 1 for a minimum; count in
// *count); the candidates without a strictly stronger one closer than 3.5
// in both x and y are copied, in scan order, to out. Returns their number.
int32_t ZqFindExtrema(const int16_t *img, int32_t rows, int32_t cols, int32_t border,
                      ST_DetectFeature *out, ST_DetectFeature *cand, uint16_t *count);

// ZqFindExtrema over the pixels whose mask byte (r * cols + c) is nonzero.
int32_t ZqFindExtremaWithMask(const int16_t *img, int32_t rows, int32_t cols, int32_t border,
                              const uint8_t *mask, ST_DetectFeature *out, ST_DetectFeature *cand,
                              uint16_t *count);

// Bubble sort by decreasing contrast; equal contrasts keep their order.
void ZqKpSort(ST_DetectFeature *feats, int32_t count);

// Gradients of the 16-bit image at rows and columns 1 .. size - 2:
// mag = trunc(sqrt(dx^2 + dy^2)), ori = trunc((atan2f(dy, dx) + pi) * 4096)
// with dx = right - left, dy = up - down. The outermost rows and columns are
// not written; nothing is written for fewer than 3 rows.
void ZqCalcGradMagOri(const uint16_t *img, int32_t rows, int32_t cols, uint16_t *mag,
                      uint16_t *ori);

// Adds the magnitudes of the 15 x 15 window around (round(x), round(y)),
// inside rows and columns 1 .. size - 2, into bins (A * 36 + 12868) / 25736
// (35 at most, above that 0).
void ZqCalcOriHist(const uint16_t *mag, const uint16_t *ori, int32_t rows, int32_t cols,
                   uint32_t hist[ZQ_SIFT_ORI_BINS], float x, float y);

// One circular pass bin = trunc(0.25 left + 0.5 bin + 0.25 right), float.
void ZqSmoothOriHistInt(uint32_t hist[ZQ_SIFT_ORI_BINS]);

// Orientation peaks of keypoint k from its smoothed histogram: the dominant
// strict peak sets feats[k].ori; every other strict peak of at least
// trunc(max * 8 / 10) copies feats[k] with its angle into slot first + n
// while first is below 170 and the slot below 300. Returns the new n.
int32_t ZqAssignOriPeaks(const uint32_t hist[ZQ_SIFT_ORI_BINS], ST_DetectFeature *feats, int32_t k,
                         int32_t first, int32_t n);

// Orientation stage over the count keypoints of feats (300 slots): caps
// count at 170, gives each its orientations (ZqCalcOriHist, two smoothing
// passes, ZqAssignOriPeaks) and returns the records to describe,
// min(keypoints + copies, 170).
int32_t ZqCalcFastFeatureOris(const uint16_t *mag, const uint16_t *ori, int32_t rows, int32_t cols,
                              ST_DetectFeature *feats, int32_t count);

// Unweighted 4 x 4 x 8 gradient histogram of the 25 x 25 window around the
// keypoint, rotated by its ori; bin (r, c, o) at hist[r * 32 + c * 8 + o].
// Adds into hist (the caller clears it).
void descr_hist_v2(const uint16_t *mag, const uint16_t *ori, int32_t rows, int32_t cols,
                   const ST_DetectFeature *feat, float hist[128]);

// Sets feat's descriptor from hist (cell k = 4 r + c, bin o at k * 8 + o):
// bits 16k + 2o (+1) compare cell k (k + 8) with the mean of bin o over
// cells 0..7 (8..15); bits 128 + 16k + 2o (+1) compare bin o of cell k
// (k + 8) with the mean of cell o (o + 8). Strict comparisons.
void descr_to_binary(const float hist[128], ST_Feature *feat);

// Other layout: bit 8k + o when bin o of cell k exceeds the mean of bin o
// over the cells of k's parity; bit 128 + 8k + o (192 + 8k + o) when bin o
// of cell k (k + 8) exceeds the mean of cell o (o + 8), k < 8.
void descr_to_binary_v2(const float hist[128], ST_Feature *feat);

// Bits 0..127 as descr_to_binary_v2 on hist[0..127]; bit 128 + 8k + o when
// bin o of cell k of hist[128..255] exceeds the mean of bin o of the first
// histogram over cells 0..7 (k < 8) or 8..15 (k >= 8).
void descr_to_binary_v3(const float hist[256], ST_Feature *feat);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQSIFT_H_
