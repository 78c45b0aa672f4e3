// Affine transform estimation from descriptor pairs: the exact fit of
// three pairs and the search over consistent triples of pairs.
#ifndef SRC_ZQALG_ZQCALCHMAT_H_
#define SRC_ZQALG_ZQCALCHMAT_H_

#include <stdint.h>

#include "src/features/ZqMatchPoint.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Pairs ZqCalcHMat takes, and bytes of its inlier flags.
#define ZQ_HMAT_MAX_PAIRS 60

// Least-squares affine mapping the x, y of src[0..n-1] onto dst[0..n-1]
// (n at most 3, larger n uses the first 3); exact for three pairs in
// general position, the identity when degenerate. Nothing for NULL out.
void ZqGetAffineTrans(const ST_MatchPoint *src, const ST_MatchPoint *dst, int n, ST_HMatrix *out);

// Searches triples of pairs (A[i], B[i]), i < n (n at most 60; A sample,
// B template points, sorted best first) for the affine with most inliers
// (error below 4.5 px squared, orientation difference within 15 degrees);
// stops once more than 19 are found. Writes the transform (all zero when
// none), *inlierCount (0 when none) and the flags of its inliers. NULL A
// or B count as no pairs; a NULL output: nothing written.
void ZqCalcHMat(const ST_MatchPoint *A, const ST_MatchPoint *B, uint16_t n, ST_HMatrix *out,
                uint8_t inlierFlags[ZQ_HMAT_MAX_PAIRS], int16_t *inlierCount);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQCALCHMAT_H_
