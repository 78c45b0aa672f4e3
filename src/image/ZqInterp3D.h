// Sub-pixel, sub-scale interpolation in a difference-of-Gaussian stack:
// derivatives, Hessian, 3 x 3 inverse, one Newton step and the contrast at
// the interpolated extremum; and the first maximum of an int16 array.
//
// A DoG pyramid is ST_Image *dog[octave][interval] of DEPTH_32F images, all
// of one octave the same size. Axis order everywhere: row, column,
// interval. The callers keep row +- 1, col +- 1 and interval +- 1 inside the
// stack; nothing here tests bounds.
#ifndef SRC_ZQINTERP3D_H_
#define SRC_ZQINTERP3D_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// The float at (row, col) of img; 0 for a NULL image (logged).
float ZqGetPixel(const ST_Image *img, int32_t row, int32_t col);

// Central first differences at the sample: out = (d/drow, d/dcol,
// d/dinterval). A NULL pyramid or out is logged and nothing is written.
void ZqDeriv3D(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row, int32_t col,
               float out[3]);

// Symmetric Hessian of second differences at the sample, row-major, mixed
// terms from the four diagonal neighbours times 0.25. A NULL pyramid or H is
// logged and nothing is written.
void ZqHessian3D(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row, int32_t col,
                 float H[9]);

// Inverse of the symmetric 3 x 3 matrix H by cofactors (reads H[0], H[1],
// H[2], H[4], H[5], H[8]); a singular H gives non-finite values. NULL
// arguments are logged and nothing is written.
void ZqInvert3D(const float H[9], float Hinv[9]);

// One Newton step towards the extremum near the sample: (xr, xc, xi) =
// -H^-1 d, offsets in samples. Note the argument order (xi, xr, xc). Writes
// nothing when the pyramid or an output is NULL.
void ZqInterpStep(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row, int32_t col,
                  float *xi, float *xr, float *xc);

// Interpolated value at the offsets: v + 0.5 (xr d[0] + xc d[1] + xi d[2]);
// 0 for a NULL pyramid (logged).
float ZqInterpContr(ST_Image ***dogPyr, int32_t octave, int32_t interval, int32_t row,
                    int32_t col, float xi, float xr, float xc);

// Index of the first largest of values[0 .. n - 1], over at most the first
// 32768 values (so that the index fits the result); 0 when n <= 1 and for a
// NULL array (logged).
int16_t ZqMaxValueIndex(const int16_t *s, uint16_t n);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQINTERP3D_H_
