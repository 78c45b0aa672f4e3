// The not-dark (flagA) and not-bright (flagB) masks of an image, split at
// valleys of the grey-level histogram of its 3 x 3 mean, then cleaned by
// 5 x 5 densities.
#ifndef SRC_ENHANCE_ZQGETFLAG_H_
#define SRC_ENHANCE_ZQGETFLAG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bins of the valley-search histogram T.
#define GETFLAG_BINS 250

// Mean of the 0/1 mask over rows y - 2 .. y + 2 and columns x - 2 .. x + 2
// clipped to the image, in float; 0 for an empty window or NULL.
float GetFlagWindowMean(const uint8_t *mask, int32_t rows, int32_t cols, int32_t y, int32_t x);

// hist[256] = counts of the n values s (0 .. range) in the bins
// (s x (255 / (range + 0.000001))), truncated.
void GetFlagHistogram(const uint8_t *s, int64_t n, int32_t range, float *hist);

// Three passes of the clipped 5-bin mean over hist[0 .. bins - 1].
void GetFlagSmooth5(float *hist, int32_t bins);

// flagA's edge e (5 .. 205) from the smoothed histogram T and its peak: a
// valley k found upward from the dark side, k + 5 when k <= peak and
// k <= 200, else 5.
int32_t GetFlagDarkEdge(const float *T, int32_t peak);

// flagB's threshold tB for the range R from the smoothed T and its peak:
// a valley k found downward from the bright side gives u = k + 15 (250
// beyond 235) and tB = u x R / 250 when k >= peak and k >= 50; else
// R x 250 / 255.
int32_t GetFlagBrightThreshold(const float *T, int32_t peak, int32_t range);

// flagA's clean-up: 0-pixels with density >= 0.5 become 1, then 1-pixels
// with density < 0.4 become 0, each pass reading the mask as the one before
// left it. work: rows x cols bytes.
void GetFlagCleanA(uint8_t *mask, int32_t rows, int32_t cols, uint8_t *work);

// flagB's clean-up: 1-pixels with density <= 0.6 become 0, then 0-pixels
// with density > 0.5 become 1, read the same way.
void GetFlagCleanB(uint8_t *mask, int32_t rows, int32_t cols, uint8_t *work);

// flagA = 1 where the shifted 3 x 3 mean reaches the dark edge, flagB = 1
// where it stays below the bright threshold, both cleaned by densities.
// 0; -1 NULL or a side below 1; -2 allocation (masks untouched).
int32_t ZqGetFlag(const uint8_t *image, int32_t rows, int32_t cols, uint8_t *flagA,
                  uint8_t *flagB);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQGETFLAG_H_
