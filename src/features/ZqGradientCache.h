// The gradient cache of the scale-space detector with float descriptors,
// filled ahead of the orientation and descriptor stages.
#ifndef SRC_FEATURES_ZQGRADIENTCACHE_H_
#define SRC_FEATURES_ZQGRADIENTCACHE_H_

#include <stdint.h>

#include "src/image/ZqImage.h"
#include "src/image/ZqMemStorage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Writes into the cleared difference pyramid, for every interval 1..3 of
// every octave that holds a keypoint of `features` (ST_DetectFeature
// records), the gradient ZqCalcGradMagOriAt gives at each pixel of rows and
// columns 1 .. size - 2 of the Gaussian level: orientation into slot
// intv - 1, magnitude into slot intv + 2, as ZqCachedGradient keeps them.
// Pixels whose arctangent would divide NaN (NaN or infinite neighbours) stay
// uncached. Does nothing where no vector instructions are available.
void ZqFillGradientCache(const ST_Seq *features, ST_Image ***gaussPyr, ST_Image ***dogPyr,
                         int32_t octvs, int32_t intvls);

// Row r of the gradients (columns 1 .. width - 2) into the row pointers given,
// eight columns at a time; the columns left over, NaN or infinite
// neighbourhoods are skipped. False where no vector instructions are
// available (nothing written).
int32_t ZqGradientRow(const ST_Image *img, int32_t r, float *magRow, float *oriRow);

// Test hook: 0 turns ZqFillGradientCache off (the stages fill the cache
// themselves as they go), anything else on (the default).
void ZqGradientCacheFillForTest(int32_t on);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQGRADIENTCACHE_H_
