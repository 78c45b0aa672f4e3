// The orientation stage of the scale-space detectors: pixel gradients (for
// Mfs with their cache in the cleared difference pyramid), orientation
// histograms, and the dominant orientation plus copies for further strong
// orientations.
#ifndef SRC_FEATURES_ZQKEYPOINTORI_H_
#define SRC_FEATURES_ZQKEYPOINTORI_H_

#include <stdint.h>

#include "src/features/ZqDetectFeature.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Bins of the orientation histogram (bin k centred on -pi + k * 10 degrees).
#define ZQ_ORI_HIST_BINS 36
// Sides of the orientation weight tables of intervals 1, 2, 3.
#define ZQ_ORI_WEIGHT_SIDE_MAX 15

// Corrections added to the arctangent series for t in [k/10, (k+1)/10).
extern const float TAN_TAB[10];

// Gaussian weight of offset (|i|, |j|) in the orientation window of
// interval s (1..3): exp(-(i^2 + j^2) / (2 (1.5 * 1.6 * 2^(s/3))^2)), float;
// the table of interval s is square with side 10, 12, 15. 0 outside.
float ZqOriWeight(int32_t s, int32_t i, int32_t j);

// Gradient of the float image (rows rowBytes apart) at (r, c): dx = right -
// left, dy = up - down, magnitude sqrt(dx^2 + dy^2), orientation in
// [-pi, pi] by an odd-power arctangent series corrected by TAN_TAB. The
// caller keeps the four neighbours inside the image. Always 1.
int32_t ZqCalcGradMagOriAt(int32_t rowBytes, const float *data, int32_t r, int32_t c, float *mag,
                           float *ori);

// Gradient at (r, c) of Gaussian level (octv, intv) through the cache of the
// cleared difference pyramid: orientation in slot intv - 1, magnitude in
// slot intv + 2 of the octave. Both cached values 0 means "not cached": the
// gradient is computed (polynomial arctangent, or atan2f when useAtan2 is
// nonzero) and stored.
void ZqCachedGradient(ST_Image ***gaussPyr, ST_Image ***dogPyr, int32_t octv, int32_t intv,
                      int32_t r, int32_t c, int32_t useAtan2, float *mag, float *ori);

// One circular [0.25 0.5 0.25] pass over the 36 bins, in place.
void ZqSmoothOriHist(float *hist);

// The largest bin value; *index gets the first bin holding it.
float ZqDominantOri(const float *hist, int32_t *index);

// Gives feat the interpolated angle of the dominant bin when that bin is a
// strict peak, and pushes onto `features` a full copy of feat (own
// ST_DetectData) for every other strict peak not below thr.
void ZqAddGoodOriFeatures(ST_Seq *features, const float *hist, int32_t dominant,
                          ST_DetectFeature *feat, float thr);

// Orientation stage of ZqGetMfsFeatures: weighted histograms over radius 9,
// 11, 14 (7 in imageMode 16); copies go to `copies`.
void ZqCalcMfsFeatureOris(ST_Seq *features, ST_Seq *copies, ST_Image ***gaussPyr,
                          ST_Image ***dogPyr);

// Orientation stage of ZqGetMfbFeatures: unweighted histograms, atan2f
// gradients (ZqGradientOriBin); copies go to `copies`. dogPyr must not be
// NULL but is neither read nor written (nothing is cached).
void ZqCalcBriskFeatureOris(ST_Seq *features, ST_Seq *copies, ST_Image ***gaussPyr,
                            ST_Image ***dogPyr);

// Histogram bin of an angle in [-pi, pi] (bin 36 wraps to 0; other angles
// give 0).
int32_t ZqOriBin(float ori);

// ZqOriBin(atan2f(dy, dx)) for every dx, dy; atan2f is called only for
// angles close to a bin edge and for zero or non-finite components.
int32_t ZqGradientOriBin(float dx, float dy);

// bins[k] = ZqGradientOriBin(dx[k], dy[k]) for k < n, several at a time
// where the processor allows.
void ZqGradientOriBins(const float *dx, const float *dy, int32_t n, int32_t *bins);

// Test hook: 0 makes the Mfb orientation stage and ZqGradientOriBins take
// one gradient at a time, as where no vector instructions are available;
// anything else several at a time (the default).
void ZqKeypointOriVectorBinsForTest(int32_t on);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQKEYPOINTORI_H_
