// Fixed-point angle of a vector by CORDIC vectoring.
#ifndef SRC_ZQCALCANGLE_H_
#define SRC_ZQCALCANGLE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// atan(2^-i) * 4096 rounded for i = 0..12, then three zeros.
extern const uint16_t g_CordicArr[16];

// Angle of the vector (x, y) in whole degrees, -180..180 (180 for y = 0
// and x <= 0), by 13 CORDIC steps in units of 1/4096 radian (pi = 12868).
int32_t ZqCalcAngle(int32_t y, int32_t x);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQCALCANGLE_H_
