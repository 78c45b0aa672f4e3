// Two-dimensional FFT of images of any size and the frequency-domain
// filters built on it.
//
// Spectrum layout: rows x cols complex values (ST_Complex32f), row-major.
// The forward transform is unscaled with the zero frequency at (0, 0); the
// inverse is scaled by 1 / (rows x cols). The masks work on the centred
// form (zero frequency at (rows / 2, cols / 2)) and hand back the
// unshifted one. Sides are 1..65535. Failed checks are logged at level 5.
// Results: 0; -1 bad argument; -2 allocation failure; -3 a failed step.
// Note the argument order: fftBandFilter takes (rows, cols); fftLowPass,
// fftHighPass, fftBandFilter2, imgFttShow, ImgFFtRemoveConst and
// ImgRemoveFreq take (cols, rows).
#ifndef SRC_FFT_ZQFFT_H_
#define SRC_FFT_ZQFFT_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One complex value in single precision.
typedef struct ST_Complex32f {
  float re;
  float im;
} ST_Complex32f;

// Forward FFT of an 8-bit image into spectrum. 0; -1; -2; -3.
int32_t imgFFT(const uint8_t *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum);

// Forward FFT of a float image into spectrum. 0; -1; -2; -3.
int32_t ZqImgFFT_32f(const float *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum);

// Inverse FFT; each real part clamped to 0..255 and truncated into out.
// 0; -1; -2 (out unchanged).
int32_t realImgIFFT(const ST_Complex32f *spectrum, int32_t rows, int32_t cols, uint8_t *out);

// Inverse FFT; the real parts into out. 0; -1; -2 (out unchanged).
int32_t ZqRealImgIFFT_32f(const ST_Complex32f *spectrum, int32_t rows, int32_t cols, float *out);

// Low-pass: keeps the frequencies inside the ellipse of semi-axes
// ratio x rows / 2 (vertical) and ratio x cols / 2 around the zero
// frequency (ratio >= 1: the inscribed ellipse); a ratio above 1.4 does
// nothing. 0; -1.
int32_t fftBandFilter(ST_Complex32f *spectrum, int32_t rows, int32_t cols, float ratio);

// fftBandFilter with the sizes in the order (cols, rows).
int32_t fftLowPass(ST_Complex32f *spectrum, int32_t cols, int32_t rows, float ratio);

// High-pass: clears the frequencies inside or on the same ellipse (for a
// ratio below 1 only within its bounding box). 0; -1.
int32_t fftHighPass(ST_Complex32f *spectrum, int32_t cols, int32_t rows, float ratio);

// fftLowPass(lowRatio), then fftHighPass(highRatio). 0; -1.
int32_t fftBandFilter2(ST_Complex32f *spectrum, int32_t cols, int32_t rows, float highRatio,
                       float lowRatio);

// With t = factor x the mean magnitude of all entries: side 0 clears the
// entries with |F| < t, any other side those with |F| >= t. 0; -1 (NULL,
// sizes, allocation).
int32_t fftFilterEnergy(ST_Complex32f *spectrum, int32_t rows, int32_t cols, uint8_t side,
                        float factor);

// Display image of the magnitudes in centred order, scaled by a divisor
// grown from rows x cols. 0; -1 (NULL, sizes, allocation).
int32_t imgFttShow(const ST_Complex32f *spectrum, int32_t cols, int32_t rows, uint8_t *out);

// Clears the outermost entries of the unshifted spectrum except its four
// corners. 0; -1 for NULL or a side below 2.
int32_t ImgFFtRemoveConst(ST_Complex32f *spectrum, int32_t cols, int32_t rows);

// imgFFT, ImgFFtRemoveConst and realImgIFFT. 0; -1; -2; -3.
int32_t ImgRemoveFreq(const uint8_t *img, int32_t cols, int32_t rows, uint8_t *out);

// Filter dispatch. 0 does nothing. A high nibble of 1 first replaces img
// by its fftBandFilter(ratio) version (and copies it to out); then every
// non-zero filter runs ZqImageFilterEnhance(img, rows, cols, filter, out):
// 2 the 3 x 3 median, 3 median, mean and stretch, any other value the
// 3 x 3 mean. 0; -1 for NULL, sizes or want of memory; the enhancement's
// failure; else the FFT step's failure (the enhancement still ran).
int32_t FFTFilter(uint8_t *img, uint8_t filter, int32_t rows, int32_t cols, uint8_t *out,
                  float ratio);

// Clipped box filter into floats: out(y, x) = the sum over the window of
// radius r clipped to the image, with normalise divided by its pixel count.
// r = 0 copies. 0; -1 for NULL, a side <= 0, r < 0 or r not below both
// sides; -2.
int32_t ZqBoxFilter_8u(const uint8_t *img, int32_t rows, int32_t cols, int32_t r, uint8_t normalise,
                       float *out);

// out = img minus its clipped box mean of the given radius (radius 0:
// the pixels). 0; -1 for NULL or a side <= 0; -2; -3 when the box filter
// fails (radius not below both sides).
int32_t ZqRemovePartDC_u8(const uint8_t *img, int32_t rows, int32_t cols, int32_t radius,
                          float *out);

// out = in x (L / M)^power with L = ln(|F| + 1) and M the largest L; an
// all-zero spectrum is copied. out may be in. 0; -1; -2.
int32_t ZqRootEnhance(const ST_Complex32f *in, int32_t rows, int32_t cols, ST_Complex32f *out,
                      float power);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FFT_ZQFFT_H_
