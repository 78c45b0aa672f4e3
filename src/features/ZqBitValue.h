// Checked access to single bits of an ST_BinImg word array, shared by the
// binarisers of the feature and enhancement code.
#ifndef SRC_FEATURES_ZQBITVALUE_H_
#define SRC_FEATURES_ZQBITVALUE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Sets (value != 0) or clears bit index % 64 of pArr[index / 64]; 0, or -1
// (logged "ZqSetBitValue...!pArr || index >= arrLen") for a NULL pArr or
// index / 64 >= arrLen.
int ZqSetBitValue(uint64_t *pArr, uint16_t index, uint16_t arrLen, uint8_t value);

// Writes bit index % 64 of pArr[index / 64] (0 or 1) to *value; 0, or -1
// (logged "ZqGetBitValue...!pArr || index >= arrLen") for a NULL pArr or
// index / 64 >= arrLen. A NULL value is refused the same way.
int ZqGetBitValue(const uint64_t *pArr, uint16_t index, uint16_t arrLen, uint8_t *value);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQBITVALUE_H_
