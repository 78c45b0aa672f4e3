// Smoothing services of the image foundation: border indices, bilinear
// resizing, running-sum box filters, derivative and Gaussian kernels,
// separable row and column filters, the Laplacian, separable Gaussian blurs
// and histogram equalisation.
//
// Buffers are row-major without gaps (row stride = width). Scratch memory
// comes from the pool pair (ZqSafeAllocInMemBlock) and is returned, newest
// first, before each function returns. Nothing here logs. Filters return 0
// when done, -1 for bad arguments, -2 when a scratch block cannot be had,
// -3 (Laplacian) when its kernels cannot be made. Every border is
// reflect-101 (type 4) unless stated otherwise.
#ifndef SRC_ZQSMOOTH_H_
#define SRC_ZQSMOOTH_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Border types of ZqBorderInterpolate.
enum {
  ZQ_BORDER_CONSTANT = 0,     // -1: the caller uses its constant
  ZQ_BORDER_REPLICATE = 1,    // the edge pixel
  ZQ_BORDER_REFLECT = 2,      // mirror, edge repeated: -1 -> 0
  ZQ_BORDER_WRAP = 3,         // p modulo len
  ZQ_BORDER_REFLECT_101 = 4,  // mirror, edge not repeated: -1 -> 1
};

// Index of the source pixel for position p of a line of len pixels under
// border `type` (see the enum); p inside 0..len-1 comes back unchanged, an
// unknown type returns p. Reflections repeat until the index is inside.
int32_t ZqBorderInterpolate(int32_t p, int32_t len, int32_t type);

// Bilinear resize of an 8-bit image in 12-bit fixed point, pixel centres
// aligned. Writes nothing for NULL buffers, a source smaller than 2 x 2 or
// an empty target.
void ZqResize_8u(const uint8_t *src, int32_t srcRows, int32_t srcCols, uint8_t *dst,
                 int32_t dstRows, int32_t dstCols);

// ZqResize_8u for 16-bit pixels.
void ZqResize_16u(const uint16_t *src, int32_t srcRows, int32_t srcCols, uint16_t *dst,
                  int32_t dstRows, int32_t dstCols);

// Copies rows x cols src into a (rows + 2 padV) x (cols + 2 padH) dst at
// (padV, padH); with mirror > 0 fills the margins by reflection with the
// edge repeated, otherwise leaves them. Does nothing for NULL buffers or
// negative sizes.
void ZqBorderExtention_32s(const int32_t *src, int32_t rows, int32_t cols, int32_t padV,
                           int32_t padH, int32_t *dst, int32_t mirror);

// Unnormalised (2R + 1)^2 window sums with R = k / 2, everything outside
// the image counting as 0. 0, -1 (NULL, rows or cols below 1, k below
// 0), -2.
int32_t ZqBoxFilter_32s_NoneInterpolate(const int32_t *src, int32_t rows, int32_t cols,
                                        int32_t k, int32_t *dst);

// Box filters over a (2R + 1)^2 window, R = k / 2 (an even k acts as
// k + 1). With normalise set the window mean (32s: truncating division;
// 32f: float division; 16u and 8u: rounded), else the window sum (16u and
// 8u: its low 16 or 8 bits). k = 1 copies. dst may be src.
// 0; -1 for NULL, rows or cols below 1, k below 1, k >= cols or k >= rows;
// -2.
int32_t ZqBoxFilter_32s(const int32_t *src, int32_t rows, int32_t cols, int32_t k, int32_t *dst,
                        uint8_t normalise);
int32_t ZqBoxFilter_32f(const float *src, int32_t rows, int32_t cols, int32_t k, float *dst,
                        uint8_t normalise);
int32_t ZqBoxFilter_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t k,
                        uint16_t *dst, uint8_t normalise);
int32_t ZqBoxFilter_8u_v2(const uint8_t *src, int32_t rows, int32_t cols, int32_t k,
                          uint8_t *dst, uint8_t normalise);

// Integer derivative kernels of ksize taps: kx of order dx, ky of order
// dy. 0; -1 for NULL or ksize not odd or not below 32; -2.
int32_t ZqGetSobelKernels(int32_t *kx, int32_t *ky, int32_t dx, int32_t dy, int32_t ksize);

// out[i] = sum_j row[i + j] * k[j], i < n; row holds n + ksize - 1 values.
void ZqRowFilter_32f(const float *row, int32_t n, const float *kernel, int32_t ksize, float *out);

// out[i] = sum_j rows[j][i] * k[j], i < n.
void ZqColumnFilter_32f(const float *const *rows, int32_t n, const float *kernel, int32_t ksize,
                        float *out);

// Fixed-point (16.16) row filter: out[i] = (sum_j row[i + j] * k[j]) >> 16.
// Groups of four outputs take taps j and ksize - 1 - j together with the
// weight of tap j, so the kernel must be symmetric.
void ZqRowFilter_8u(const uint8_t *row, int32_t n, const int32_t *kernel, int32_t ksize,
                    int32_t *out);

// Fixed-point column filter, result stored in 8 bits; same pairing.
void ZqColumnFilter_8u(const int32_t *const *rows, int32_t n, const int32_t *kernel,
                       int32_t ksize, uint8_t *out);

// ZqRowFilter_8u for 16-bit pixels (64-bit sums).
void ZqRowFilter_16u(const uint16_t *row, int32_t n, const int32_t *kernel, int32_t ksize,
                     int32_t *out);

// Fixed-point column filter, result stored in 16 bits (64-bit sums).
void ZqColumnFilter_16u(const int32_t *const *rows, int32_t n, const int32_t *kernel,
                        int32_t ksize, uint16_t *out);

// dst = (d2 (x) s + s (x) d2) * scale over kernels of ksize | 1 taps
// (second derivative d2, smoothing s). dst may be src. 0; -1 (NULL, sizes
// below 1); -2; -3 when the kernels cannot be made (ksize | 1 >= 32).
int32_t ZqLaplacian_32f(const float *src, int32_t rows, int32_t cols, int32_t ksize, float *dst,
                        float scale);

// Gaussian of ksize taps, summing to 1: the fixed table for odd ksize <= 7
// with sigma <= 0; otherwise sigma, or ((ksize - 1) * 0.5 - 1) * 0.3 + 0.8
// when sigma <= 0. Does nothing for NULL or ksize below 1.
void ZqGetGaussianKernel(float *kernel, int32_t ksize, float sigma);

// Separable Gaussian blur of ksize | 1 taps (R = ksize / 2). dst may be src.
// 0; -1 (NULL, sizes or ksize below 1); -2.
int32_t ZqGaussianBlur_32f(const float *src, int32_t rows, int32_t cols, int32_t ksize,
                           float *dst, float sigma);

// Fixed-point Gaussian blur: the caller's symmetric 16.16 kernel of
// ksize | 1 taps, or (NULL) the Gaussian of ZqGetGaussianKernel rounded to
// 16.16. Both passes truncate. dst may be src. 0; -1; -2.
int32_t ZqGaussianBlur_8u(const uint8_t *src, int32_t rows, int32_t cols, int32_t ksize,
                          const int32_t *kernel, uint8_t *dst, float sigma);
int32_t ZqGaussianBlur_16u(const uint16_t *src, int32_t rows, int32_t cols, int32_t ksize,
                           const int32_t *kernel, uint16_t *dst, float sigma);

// Histogram equalisation: dst = (count of pixels <= v) * 255 / n. Writes
// nothing for NULL buffers or an empty image. dst may be src.
void ZqEqualizeHist(const uint8_t *src, int32_t width, int32_t height, uint8_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQSMOOTH_H_
