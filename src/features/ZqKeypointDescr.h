// The descriptor stage of the scale-space detectors: the 4 x 4 x 8 gradient
// histogram turned into 256 bits, and the 256 ring-point comparisons.
#ifndef SRC_FEATURES_ZQKEYPOINTDESCR_H_
#define SRC_FEATURES_ZQKEYPOINTDESCR_H_

#include <stdint.h>

#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqFeature.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Cells of the descriptor histogram and bins per cell.
#define ZQ_DESCR_CELLS 16
#define ZQ_DESCR_ORI_BINS 8

// Gaussian weight of offset (|i|, |j|) (below 16) in the descriptor window of
// interval s (1..3): exp(-(i^2 + j^2) / (8 hw^2)), hw = 3 * 1.6 * 2^(s/3),
// float; 0 outside.
float ZqDescrWeight(int32_t s, int32_t i, int32_t j);

// cos and sin of a keypoint orientation as the descriptors take them:
// cos_t = cosf(ori), sin_t = sqrtf(1 - cos_t^2), negated when ori < 0.
void ZqDescrCosSin(float ori, float *cos_t, float *sin_t);

// Adds weight w trilinearly into hist[r * 32 + c * 8 + o]: cells floor(rbin)
// and the next, floor(cbin) and the next (each only inside 0..3), and
// orientation bins floor(obin) mod 8 and the next mod 8.
void ZqDescrSpread(float *hist, float rbin, float cbin, float obin, float w);

// Variant 0: bits 0..127 compare each cell with the mean of its half (cells
// 0..7, 8..15), bits 128..255 each cell with 1.05 times its left neighbour
// in cell order (cell 0 with cell 7, cell 8 with cell 15). hist[k * 8 + o].
void ZqHistToDescr_ZE4850(const float *hist, uint32_t descr[ZQ_DESCR_WORDS]);

// Variant 1: bits 0..127 as variant 0; bit 128 + 8k + o when bin o of cell k
// is at least the cell's upper median minus 0.00001.
void ZqHistToDescr_ZE4850_EH(const float *hist, uint32_t descr[ZQ_DESCR_WORDS]);

// One ST_Feature per keypoint of `features`, in order, into out: x, y, ori
// and the gradient-histogram descriptor converted by histToDescrVariant of
// gAlgMode. Frees each keypoint's ST_DetectData (pointer cleared). Only
// descrWidth 4 with 8 bins is supported; others write no descriptor.
void ZqComputeDescriptors(ST_Seq *features, ST_Feature *out, ST_Image ***gaussPyr,
                          ST_Image ***dogPyr, int32_t descrWidth, int32_t descrHistBins);

// One ST_Feature per keypoint, in order: x, y, ori and the 256 ring-point
// comparisons on Gaussian level 4 of the keypoint's octave (levels is the
// pyramid's images per octave: without a level 4 the descriptor stays 0).
// Frees each keypoint's ST_DetectData (pointer cleared).
void ZqMfbDescriptors(ST_Seq *features, ST_Feature *out, ST_Image ***gaussPyr, int32_t levels);

// Test hook: 0 makes the gradient histogram take its samples one at a time,
// as it does where no vector instructions are available; anything else eight
// columns at a time (the default).
void ZqDescrVectorForTest(int32_t on);

// Test hook: the gradient histogram of one keypoint (hist[k * 8 + o] for
// cell k and bin o) as ZqComputeDescriptors builds it; the keypoint keeps
// its data.
void ZqDescrHistForTest(const ST_DetectFeature *feat, ST_Image ***gaussPyr, ST_Image ***dogPyr,
                        float hist[128]);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQKEYPOINTDESCR_H_
