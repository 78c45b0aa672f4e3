// Polynomial arctangent in degrees and the decomposition of an affine map
// into rotation, shear and scale.
#ifndef SRC_ENHANCE_ZQFASTATAN2_H_
#define SRC_ENHANCE_ZQFASTATAN2_H_

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Angle of the vector (x, y) in degrees, 0 <= angle < 360 (0 for (0, 0)),
// from a single-precision polynomial good to about 0.01 degree.
float ZqFastAtan2(float y, float x);

// Rotation angle (degrees, 0..360), shear (degrees away from a right angle
// between the mapped axes, pi taken as 3.14) and the deviations of the two
// axis lengths from 1 of the linear part of m. Writes nothing when a
// pointer is NULL.
void ZqCalcMatrixInfo(const ST_HMatrix *m, float *angle, float *shear, float *scaleDevX,
                      float *scaleDevY);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQFASTATAN2_H_
