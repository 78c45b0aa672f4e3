// Share of the image covered by large regions of a 0/1 mask (the white
// regions of the abnormal-image check).
#ifndef SRC_ENHANCE_ZQWHITEABNORMAL_H_
#define SRC_ENHANCE_ZQWHITEABNORMAL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Labels the 4-connected regions of 1-pixels in scan order (labels 2..700;
// regions found after label 700 are not counted) and writes *percent =
// (sum of the areas above sizeLimit) x 100 / (rows x cols), 0 when no
// region exists. `unused` is not read.
// 0; -1 NULL or a side outside 1..65535; -2 allocation.
int32_t ZqGetConnectedArea_v6_getWhiteAbnormal(const uint8_t *mask, int32_t rows, int32_t cols,
                                               int32_t sizeLimit, int32_t unused,
                                               uint8_t *percent);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQWHITEABNORMAL_H_
