// Integral images with 32-bit wrapping sums.
#ifndef SRC_ENHANCE_ZQINTEGGRAPH_H_
#define SRC_ENHANCE_ZQINTEGGRAPH_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// integ ((rows + 1) x (cols + 1)) gets 0 in its first row and column and at
// (r + 1, c + 1) the sum of src over rows 0..r and columns 0..c, modulo
// 2^32. Does nothing for NULL buffers or a size below 1.
void ZqGetIntegGraph_32u(const uint32_t *src, int32_t rows, int32_t cols, uint32_t *integ);

// ZqGetIntegGraph_32u on signed values: the same bits.
void ZqGetIntegGraph_32s(const int32_t *src, int32_t rows, int32_t cols, int32_t *integ);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQINTEGGRAPH_H_
