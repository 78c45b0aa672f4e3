// The transform record of geometric verification: a 2 x 3 affine map in
// homogeneous 3 x 3 form plus its rotation angle, 40 bytes.
#ifndef SRC_FEATURES_ZQFULLHMATRIX_H_
#define SRC_FEATURES_ZQFULLHMATRIX_H_

#include <stddef.h>
#include <stdint.h>

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Maps a sample point onto the template: x' = a00 x + a01 y + a02,
// y' = a10 x + a11 y + a12 (x column, y row). The first six floats are an
// ST_HMatrix; a20, a21, a22 are always 0, 0, 1; dtheta is the rotation in
// radians. A rigid transform is {cos, -sin, dx, sin, cos, dy, 0, 0, 1, dtheta}.
typedef struct ST_FullHMatrix {
  float a00;
  float a01;
  float a02;
  float a10;
  float a11;
  float a12;
  float a20;
  float a21;
  float a22;
  float dtheta;
} ST_FullHMatrix;

// Bytes of one ST_FullHMatrix in a stored blob.
#define ZQ_FULL_HMATRIX_BYTES 40

// Writes m as ten little-endian float32 in field order into out[0..39].
void ZqFullHMatrixStore(const ST_FullHMatrix *m, uint8_t out[ZQ_FULL_HMATRIX_BYTES]);

// Reads ten little-endian float32 from in[0..39] into *m, in field order.
void ZqFullHMatrixLoad(const uint8_t in[ZQ_FULL_HMATRIX_BYTES], ST_FullHMatrix *m);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_FullHMatrix) == ZQ_FULL_HMATRIX_BYTES, "ST_FullHMatrix is 40 bytes");
static_assert(offsetof(ST_FullHMatrix, a00) == 0 && offsetof(ST_FullHMatrix, a12) == 20 &&
                  offsetof(ST_FullHMatrix, a22) == 32 && offsetof(ST_FullHMatrix, dtheta) == 36,
              "ST_FullHMatrix field offsets");
// The first six floats are read as an ST_HMatrix.
static_assert(sizeof(ST_HMatrix) == 24 && offsetof(ST_HMatrix, a12) == offsetof(ST_FullHMatrix, a12),
              "ST_FullHMatrix begins with an ST_HMatrix");
#endif

#endif  // SRC_FEATURES_ZQFULLHMATRIX_H_
