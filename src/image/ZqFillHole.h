// Hole filling of 0/1 masks.
#ifndef SRC_ZQFILLHOLE_H_
#define SRC_ZQFILLHOLE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Background reachable from the border (4-connected) becomes 0, everything
// else (foreground and enclosed holes) 1. At most 254 border regions are
// followed (top row, bottom row, left column, right column, in that
// order); later ones stay 1. 0; -1 for NULL or a side outside 1..65535;
// -2 when the stack cannot be had (mask unchanged).
int32_t ZqFillHole(uint8_t *mask, int32_t rows, int32_t cols);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQFILLHOLE_H_
