// Stretch filters of the algorithm core's non-linear stretch: border
// indices, a float box filter, an 8-bit Gaussian blur with a 16.16 kernel,
// min-max normalisations into 8 bits and a local histogram equalisation
// over a tall, narrow window. Buffers are gap-free and row-major; work
// memory comes from ZqSafeAlloc. An allocation failure logs
// "'<function>' malloc memory fail, ret = -2" at level 5 and returns -2
// with dst untouched.
#ifndef SRC_ZQSTRETCH_H_
#define SRC_ZQSTRETCH_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Same rules as ZqBorderInterpolate: 0 constant (-1), 1 replicate,
// 2 reflect with the edge, 3 wrap, 4 reflect without the edge; p inside the
// line or an unknown type comes back unchanged.
int ZqImgBorderInterpolate(int p, int len, int type);

// Box filter over (ksize | 1)^2 with reflect-101 borders: the plain sum, or
// the sum / (ksize | 1)^2 when normalize is non-zero. ksize 1 copies. dst
// may be src. 0; -1 for NULL, rows or cols below 1, ksize below 1,
// ksize >= cols or ksize >= rows; -2.
int ZqImgBoxFilter(const float *src, int rows, int cols, int ksize, float *dst,
                   uint8_t normalize);

// Separable 8-bit Gaussian of 2 (ksize / 2) + 1 taps in 16.16: the
// caller's symmetric kernel, the fixed small kernel (ksize <= 7 and
// sigma <= 0), or e^(-(i - h)^2 / (2 s^2)) with s = sigma or
// 0.3 (h - 1) + 0.8, e^x formed as 2.718281^n times a 10-term Taylor sum.
// Both passes truncate. dst may be src. 0; -1 for NULL, rows, cols or
// ksize below 1; -2.
int ZqImgGaussianblur(const uint8_t *src, int rows, int cols, int ksize, const int32_t *kernel,
                      uint8_t *dst, float sigma);

// dst = (int)((v - min) * (hi - lo) / (max - min) + lo) stored as a byte;
// a flat image gives lo. Does nothing for NULL buffers or an empty image.
void curved_surface_img_normalize_16u_2_8u(const uint16_t *src, int rows, int cols, int lo,
                                           int hi, uint8_t *dst);

// The same for float samples, scale (hi - lo) * (1 / (max - min)).
void curved_surface_img_normalize_32f_2_8u(const float *src, int rows, int cols, uint8_t *dst,
                                           float lo, float hi);

// dst = (window values <= v) * 255 / (window values) over columns x - 1..x + 1
// (inside the image) and rows y - 27..y + 27 reflected with the edge. aux
// is not used. dst may be src. 0; -1 for NULL src or dst, rows or cols
// below 1; -2.
int curved_surface_img_localequalizehist_v2(const uint8_t *src, const void *aux, int rows,
                                            int cols, uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQSTRETCH_H_
