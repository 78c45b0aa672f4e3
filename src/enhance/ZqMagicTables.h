// Read-only lookup tables of the 16-bit enhancement pipeline.
#ifndef SRC_ENHANCE_ZQMAGICTABLES_H_
#define SRC_ENHANCE_ZQMAGICTABLES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Patch-distance weights: entry k = 256 e^(-k/256) rounded to nearest for
// k = 0..1022, entry 1023 = 0.
extern const int32_t g_MagicExp_Table[1024];

// Offsets along orientation o (whole degrees, 0 along a row to the right,
// 90 down the columns) at distance k = 1..25 (index k - 1):
// roundf(k * cosf(o * float(pi / 180))) in columns (_2) and the same with
// sinf in rows (_3), single precision, half away from zero.
extern const int8_t g_MagicTable_2[180][25];
extern const int8_t g_MagicTable_3[180][25];

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQMAGICTABLES_H_
