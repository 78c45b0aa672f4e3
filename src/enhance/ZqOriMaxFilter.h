// Maximum filters of a 16-bit image along and across a per-pixel
// orientation.
#ifndef SRC_ENHANCE_ZQORIMAXFILTER_H_
#define SRC_ENHANCE_ZQORIMAXFILTER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The offsets of g_MagicTable_2 (columns) and g_MagicTable_3 (rows), except
// at orientation 60, where the column offsets of the odd steps k are
// (k + 1) / 2.
extern const int8_t g_MagicTable_2_Bin[180][25];
extern const int8_t g_MagicTable_3_Bin[180][25];

// dst = maximum of src at each pixel and at the pixels +- steps 1..3 along
// its orientation (ori, degrees 0..179; larger values taken modulo 180),
// those inside the image. dst may equal src. 0; -1 NULL, a size below 1
// or allocation.
int32_t ZqOriMaxFilter_16u(const uint16_t *src, const uint16_t *ori, int32_t rows, int32_t cols,
                           uint16_t *dst);

// ZqOriMaxFilter_16u across the orientation (o + 90 below 90, else o - 90).
int32_t ZqOriVetMaxFilter_16u(const uint16_t *src, const uint16_t *ori, int32_t rows,
                              int32_t cols, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQORIMAXFILTER_H_
