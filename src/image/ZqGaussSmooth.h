// Exact separable Gaussian smoothing over the keypoint detector's
// scale-space levels, from a compiled-in table or from parameters computed
// at run time.
#ifndef SRC_ZQGAUSSSMOOTH_H_
#define SRC_ZQGAUSSSMOOTH_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Levels of the compiled-in tables and the length of their half kernels.
#define ZQ_GAUSS_LEVELS 6
#define ZQ_GAUSS_HALF_KERNEL 10

// Kernel size of each level of an octave with base scale 1.6, three
// intervals and a doubled input: {9, 9, 11, 13, 15, 19}.
extern const int32_t GaussKernelSize[ZQ_GAUSS_LEVELS];

// Unnormalised half kernels exp(-j^2 / (2 sigma^2)), j = 0..9, of those
// levels.
extern const float GaussKernelExp[ZQ_GAUSS_LEVELS][ZQ_GAUSS_HALF_KERNEL];

// Gaussian parameters of any number of levels, computed at run time.
typedef struct ST_GaussPyrPara {
  uint32_t count;        // number of levels (0 when empty)
  uint16_t *kernelSize;  // count kernel sizes (odd)
  float **kernel;        // count half kernels of kernelSize / 2 + 1 floats
} ST_GaussPyrPara;

// The parameters of ZqIntiGaussPyrPara; empty at load.
extern ST_GaussPyrPara gGaussPyrPara;

// Smooths the float image src into dst (a float image of the same size; may
// be src) with the Gaussian of `level` (0..5) of the compiled-in tables;
// near the borders only the taps inside the image count, divided by their
// weight. 0 ok, -1 for bad arguments or an allocation failure (logged).
int32_t ZqGaussianSmooth(const ST_Image *src, ST_Image *dst, int32_t level);

// ZqGaussianSmooth with the kernel of gGaussPyrPara's `level`.
int32_t ZqGaussianSmooth_debug(const ST_Image *src, ST_Image *dst, int32_t level);

// Fills gGaussPyrPara for `levels` levels of an octave of base scale sigma
// whose input has its own blur initSigma (doubled: the input was doubled,
// so its blur counts twice): level 0 lifts the input to sigma, level 1 has
// sigma * sqrt(k^2 - 1) with k = 2^(1 / (levels - 3)), each further level k
// times the previous one; kernel size (int)(6 sigma + 1) made odd. 0 ok; -1
// (earlier parameters kept) for levels < 4, sigma or initSigma <= 0, sigma
// not above the input's blur, or a kernel wider than 65535; -2 for an
// allocation failure (parameters then empty).
int32_t ZqIntiGaussPyrPara(uint8_t doubled, int32_t levels, float sigma, float initSigma);

// Test hook: with on != 0 the smoothing keeps to four-lane code even where
// the processor has eight-lane arithmetic (the results are the same).
void ZqGaussianSmoothFourLanesForTest(int32_t on);

// Frees gGaussPyrPara's blocks and empties it.
void ZqReleaseGaussPyrPara(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQGAUSSSMOOTH_H_
