#include "src/image/ZqCalcAngle.h"

extern "C" const uint16_t g_CordicArr[16] = {3217, 1899, 1003, 509, 256, 128, 64, 32,
                                             16,   8,    4,    2,   1,   0,   0,  0};

extern "C" int32_t ZqCalcAngle(int32_t y, int32_t x) {
  if (y == 0) return x <= 0 ? 180 : 0;
  if (x == 0) return y > 0 ? 90 : -90;
  // 64-bit: |INT32_MIN| and the growing x do not fit 32 bits.
  int64_t cx = x < 0 ? -int64_t{x} : x;
  int64_t cy = y < 0 ? -int64_t{y} : y;
  int64_t a = 0;
  for (int i = 0; i <= 12 && cy != 0; ++i) {
    int64_t nx, ny;
    if (cy > 0) {
      ny = cy - (cx >> i);
      nx = cx + (cy >> i);
      a += g_CordicArr[i];
    } else {
      ny = cy + (cx >> i);
      nx = cx - (cy >> i);
      a -= g_CordicArr[i];
    }
    cx = nx;
    cy = ny;
  }
  if (x < 0)
    a = y >= 0 ? 12868 - a : a - 12868;
  else if (y < 0)
    a = -a;
  return static_cast<int32_t>(a >= 0 ? (a * 180 + 6434) / 12868 : (a * 180 - 6434) / 12868);
}
