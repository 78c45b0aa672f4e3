// The scale space of the keypoint detectors: base image, Gaussian and
// difference pyramids, the extrema scan with sub-pixel refinement, keypoint
// scales and the region filter.
//
// A pyramid is ST_Image *pyr[octave][level] of DEPTH_32F images; octave
// o + 1 has half the width and height of octave o.
#ifndef SRC_FEATURES_ZQSCALESPACE_H_
#define SRC_FEATURES_ZQSCALESPACE_H_

#include <stdint.h>

#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Border per interval (index 0 unused): pixels closer than this to an edge
// are neither scanned nor accepted after refinement.
extern const int32_t gBorderTab[6];

// Largest intvls the extrema scan takes (the border table's reach).
#define ZQ_MAX_SCAN_INTVLS 5

// New float image holding the grey values of the 8-bit image, or NULL.
ST_Image *ZqConvertToGray32(const ST_Image *img);

// Base float image: the grey values, doubled by cubic interpolation when
// imgDbl is nonzero, then smoothed in place at level 0 with imageMode of
// gAlgMode. NULL on failure.
ST_Image *ZqCreateInitImg(const ST_Image *img, int32_t imgDbl);

// Gaussian pyramid of octvs octaves of intvls + 3 levels built by
// FastGaussBlur; levels keep what the next level's blur overwrote. NULL
// (logged) on failure, or for intvls outside 1..3 (the blur has levels 0..5).
ST_Image ***ZqBuildGaussPyr(const ST_Image *base, int32_t octvs, int32_t intvls);

// Difference pyramid: slot m = level m minus level m + 1 (m = 0 .. intvls +
// 1), slot intvls + 2 a zero image. NULL on failure.
ST_Image ***ZqBuildDogPyr(ST_Image ***gaussPyr, int32_t octvs, int32_t intvls);

// Frees every image, the octave arrays and the outer array; clears *pyr.
void ZqReleasePyr(ST_Image ****pyr, int32_t octvs, int32_t n);

// Frees the pixel blocks the pyramids and their blurs keep from call to
// call (blocks of a pyramid still alive stay); the next pyramid allocates
// anew.
void ZqScaleSpaceReleaseBuffers(void);

// Zeroes the pixels of the intvls + 3 slots of every octave.
void ZqClearDogPyr(ST_Image ***dogPyr, int32_t octvs, int32_t intvls);

// Finds, refines and filters the extrema of the difference pyramid into a
// new sequence of ST_DetectFeature in storage (*features). 0, -1 for NULL
// arguments or intvls outside 1..5, -2 for an allocation failure.
int32_t ZqScaleSpaceExtrema(ST_Image ***dogPyr, int32_t octvs, int32_t intvls, int32_t curvThr,
                            ST_Seq **features, ST_MemStorage *storage, float contrThr);

// Test hook: 0 makes ZqScaleSpaceExtrema screen one column at a time, as it
// does where no vector instructions are available; 4 four at a time, as
// without AVX; anything else eight at a time where AVX is there (the
// default), else four.
void ZqScaleSpaceVectorScanForTest(int32_t on);

// scl_octv = sigma * 2^(intv / intvls) of every keypoint, single precision.
void ZqCalcFeatureScales(ST_Seq *features, int32_t intvls, float sigma);

// Halves x and y of every keypoint.
void ZqAdjustForImgDbl(ST_Seq *features);

// Keeps, in order, only keypoints with a set bit among the pixels (c, r0),
// trunc(x - 1) <= c < trunc(x + 1), r0 = trunc(y - 1), of the bit map (one
// bit a pixel, LSB first, index row * width + col); the others are dropped
// with their data freed.
void ZqInValidPixelSet(ST_Seq *features, const uint8_t *map, int32_t height, int32_t width);

// Frees the ST_DetectData of every record of the sequence (NULL is fine).
void ZqFreeSeqFeatureData(ST_Seq *features);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQSCALESPACE_H_
