// Ghost module without activations: the closing module of the Ghost
// bottlenecks. Same block row, sizing and codes as Net_GhostModule_Infer.
#ifndef SRC_NETMODEL_CN_GHOSTMODULE_V1_H_
#define SRC_NETMODEL_CN_GHOSTMODULE_V1_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Primary convolution and batch norm, cheap convolution and batch norm,
// concatenation; no LeakyReLU.
int32_t Net_GhostModule_v1_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                 const float *weights, int32_t *weights_used, ST_CnnLayInOut in);

// As Net_GhostModule_OutSize_Infer.
int32_t Net_GhostModule_v1_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                         int32_t row_len, int32_t *tmp_bytes, int32_t alloc,
                                         ST_CnnLayInOut in);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_CN_GHOSTMODULE_V1_H_
