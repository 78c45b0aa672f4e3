// Point and transform records shared by the image foundation and the
// feature code: integer and float points, and the 2 x 3 affine matrix.
#ifndef SRC_ZQGEOMTYPES_H_
#define SRC_ZQGEOMTYPES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A point in 16-bit signed coordinates (x, then y).
typedef struct ST_Point16s {
  int16_t x;
  int16_t y;
} ST_Point16s;

// A point in 16-bit unsigned coordinates: one entry of a flood-fill stack.
typedef struct ST_Point16u {
  uint16_t x;
  uint16_t y;
} ST_Point16u;

// A point in 32-bit signed coordinates.
typedef struct ST_Point32s {
  int32_t x;
  int32_t y;
} ST_Point32s;

// A point in single-precision coordinates.
typedef struct ST_Point32f {
  float x;
  float y;
} ST_Point32f;

// Row-major 2 x 3 affine map: x' = a00 x + a01 y + a02,
// y' = a10 x + a11 y + a12. The identity is (1, 0, 0, 0, 1, 0).
typedef struct ST_HMatrix {
  float a00;
  float a01;
  float a02;
  float a10;
  float a11;
  float a12;
} ST_HMatrix;

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQGEOMTYPES_H_
