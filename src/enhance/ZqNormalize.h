// Min-max normalisation of 16-bit and float images.
#ifndef SRC_ENHANCE_ZQNORMALIZE_H_
#define SRC_ENHANCE_ZQNORMALIZE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// dst = integer part of (src - min) * (high - low) / (max - min) + low in
// single precision, low and high taken as 16-bit values; a flat image gives
// low. dst may be src. Does nothing for NULL or a size below 1.
void ZqNormalize_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t low, int32_t high,
                     uint16_t *dst);

// dst = (src - min) * ((high - low) / (max - min)) + low; a flat image
// (range below 1e-6) gives low. dst may be src. Does nothing for NULL or a
// size below 1.
void ZqNormalize_32f(const float *src, int32_t rows, int32_t cols, float *dst, float low,
                     float high);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQNORMALIZE_H_
