// Squeeze-and-excitation layer: per-channel means, a squeezing Linear with
// LeakyReLU, an exciting Linear with LeakyReLU (the gates: no sigmoid), and
// every input channel scaled by its gate. Block row ST_SELayerParam: 36
// int16 values, the AdaptiveAvgPool2d row at 0 and the two Linear rows at
// 12 and 24. Calling convention and codes as the layer kernels.
#ifndef SRC_NETMODEL_CN_SELAYER_H_
#define SRC_NETMODEL_CN_SELAYER_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

// Int16 values of an SE layer's block row.
#define CNN_SE_LAYER_PARAM_LEN 36

#ifdef __cplusplus
extern "C" {
#endif

// out = in scaled channel by channel by the gates; out must have in's shape
// (it may share in's block). *weights_used set on success only.
int32_t Net_SELayer_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                          const float *weights, int32_t *weights_used, ST_CnnLayInOut in);

// out = in's shape; *tmp_bytes = the pooled, squeezed and excited tensors'
// bytes plus the largest temporary of the pooling and Linear steps. -1 NULL
// row, tmp_bytes or out.
int32_t Net_SELayer_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                  int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_CN_SELAYER_H_
