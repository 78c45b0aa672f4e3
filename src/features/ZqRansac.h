// Rigid registration of point pairs: the deterministic consensus search over
// float match points (three variants) and over int16 points, and their
// closed-form least-squares rigid estimators.
//
// Pair i is (refSet[i], testSet[i]); the transform written to H maps a test
// point onto its reference point: {cos, -sin, dx, sin, cos, dy, 0, 0, 1,
// dtheta}. consensusSetIndex must hold setLength entries; it receives the
// pair indices of the consensus set, the seed pair last. H and
// consensusSetIndex are written only on success, each only when not NULL.
#ifndef SRC_FEATURES_ZQRANSAC_H_
#define SRC_FEATURES_ZQRANSAC_H_

#include <stdint.h>

#include "src/features/ZqFullHMatrix.h"
#include "src/features/ZqMatchPoint.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Largest set the registration functions accept: the per-pair importances
// are 8-bit sums over the set, so a larger set is refused, never wrapped.
#define ZQ_RANSAC_MAX_PAIRS 255

// Registration with the unsigned vertex-angle triangle test (< 3 degrees) and
// the inlier test |rx| < 1.2 and |ry| < 1.2. Returns the consensus size (5 or
// more), 0 when there is none, -1 for a NULL set, setLength < 3 or
// setLength > ZQ_RANSAC_MAX_PAIRS, -2 when heap working memory is short.
int ZqRansacAngle_32f(const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                      uint16_t setLength, ST_FullHMatrix *H, uint16_t *consensusSetIndex);

// Registration with the orientation and third-edge (< 1 pixel) triangle test
// and the inlier test of ZqRansacAngle_32f. Codes as ZqRansacAngle_32f, except
// that bad input gives 0.
int ZqRansacEdage_32f(const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                      uint16_t setLength, ST_FullHMatrix *H, uint16_t *consensusSetIndex);

// Registration with the orientation and third-edge (< 2 pixels) triangle test
// and the inlier test |rx| + |ry| < 2.5; working memory from the pool
// allocator. Codes as ZqRansacAngle_32f.
int ZqRansacEdage_32f_ZQ4850(const ST_MatchPoint *refSet, const ST_MatchPoint *testSet,
                             uint16_t setLength, ST_FullHMatrix *H,
                             uint16_t *consensusSetIndex);

// Registration of int16 points: vertex-angle triangle test (< 3 degrees), and
// inliers whose mapped position, rounded half away from zero, lies within 1
// pixel of the reference point on each axis. Codes as ZqRansacAngle_32f.
int ZqRansacNew(const ST_Point16s *refSet, const ST_Point16s *testSet, uint16_t setLength,
                ST_FullHMatrix *H, uint16_t *consensusSetIndex);

// Test hook: on 1, the float registrations compare their pairs and
// triangles one at a time instead of eight at a time where the processor
// can (same results).
void ZqRansacPlainForTest(int32_t on);

// Least-squares rotation and shift mapping testSet onto refSet over the
// consensusSetNums pairs listed in consensusSetIndex, in single precision;
// the angle is ZqArctan of the centred dot and cross sums. NULL arguments or
// an empty list are logged and leave the outputs untouched.
void ZqEstimateRotParms_32f(float *dx, float *dy, float *dtheta, const ST_MatchPoint *refSet,
                            const ST_MatchPoint *testSet, const uint16_t *consensusSetIndex,
                            uint16_t consensusSetNums);

// ZqEstimateRotParms_32f for int16 points: the dot and cross sums are formed
// exactly in integers, the shift in single precision.
void ZqEstimateRotParms(float *dx, float *dy, float *dtheta, const ST_Point16s *refSet,
                        const ST_Point16s *testSet, const uint16_t *consensusSetIndex,
                        uint16_t consensusSetNums);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQRANSAC_H_
