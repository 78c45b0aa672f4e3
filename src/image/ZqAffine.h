// Affine transforms (ST_HMatrix): least-squares fit from point pairs and
// inversion.
#ifndef SRC_ZQAFFINE_H_
#define SRC_ZQAFFINE_H_

#include <stdint.h>

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Solves the block-diagonal normal equations m (6 x 6, row-major) * h = b
// of an affine fit in closed form. h is the identity when the system is
// near-singular (|det| term, |m22| or |m55| below 1e-6). Does nothing for
// NULL.
void ZqSolve_6x6_32f(const float *m, const float *b, ST_HMatrix *h);

// Least-squares affine map taking src[i] to dst[i], i < n; the identity
// for n <= 0 or degenerate point sets. Does nothing for NULL h; NULL
// points count as n = 0.
void ZqGetAffineTrans_32f(const ST_Point32f *src, const ST_Point32f *dst, int32_t n, ST_HMatrix *h);

// dst = the inverse of src; a copy of src when |a00 a11 - a01 a10| < 1e-6.
// dst may be src. Does nothing for NULL.
void ZqHomoInvertTrans_32f(const ST_HMatrix *src, ST_HMatrix *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQAFFINE_H_
