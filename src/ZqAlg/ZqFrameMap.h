// Internal helpers of the overlap measures: mapping a point through a
// transform and turning mapped coordinates into pixel indexes safely.
#ifndef SRC_ZQALG_ZQFRAMEMAP_H_
#define SRC_ZQALG_ZQFRAMEMAP_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqGeomMath.h"
#include "src/image/ZqGeomTypes.h"

namespace zq_frame {

// Mapped column and row of (x, y): x' = a00 x + a01 y + a02, likewise y'.
inline float MapX(const ST_HMatrix &h, float x, float y) { return h.a00 * x + h.a01 * y + h.a02; }
inline float MapY(const ST_HMatrix &h, float x, float y) { return h.a10 * x + h.a11 * y + h.a12; }

// Values beyond this never name a pixel; they (and NaN) are refused before
// any conversion to an integer.
constexpr float kIndexLimit = 1073741824.0f;

inline bool Convertible(float v) { return v > -kIndexLimit && v < kIndexLimit; }

// Truncation toward zero of v into *out; false when v cannot be a pixel.
inline bool Trunc(float v, int32_t *out) {
  if (!Convertible(v)) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// v rounded half away from zero into *out; false when v cannot be a pixel.
inline bool Round(float v, int32_t *out) {
  if (!Convertible(v)) return false;
  *out = ZqRoundHalfAway(v);
  return true;
}

// The sensor frame of gSensorInfor; false when a side is not positive.
inline bool SensorFrame(int32_t *cols, int32_t *rows) {
  *cols = gSensorInfor.cols;
  *rows = gSensorInfor.rows;
  return *cols > 0 && *rows > 0;
}

inline bool Inside(int32_t x, int32_t y, int32_t cols, int32_t rows) {
  return x >= 0 && x < cols && y >= 0 && y < rows;
}

}  // namespace zq_frame

#endif  // SRC_ZQALG_ZQFRAMEMAP_H_
