// Ghost bottleneck with a middle convolution: Ghost module, middle Conv2d
// and batch norm in place, SE layer in place, closing Ghost module without
// activations; no shortcut. Block row ST_GhostBottleneckV1Param: 96 int16
// values (Ghost module at 0, middle Conv2d at 24, SE layer at 36, closing
// module at 72). Codes and sizing as Net_GhostBottleneck_Infer.
#ifndef SRC_NETMODEL_CN_GHOSTBOTTLENECK_V1_H_
#define SRC_NETMODEL_CN_GHOSTBOTTLENECK_V1_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

// Int16 values of a Ghost bottleneck v1's block row.
#define CNN_GHOST_BOTTLENECK_V1_PARAM_LEN 96

#ifdef __cplusplus
extern "C" {
#endif

// Runs the bottleneck on in into out; *weights_used set on success only.
int32_t Net_GhostBottleneck_v1_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                     const float *weights, int32_t *weights_used,
                                     ST_CnnLayInOut in);

// out's shape and the run's pool bytes, the middle convolution counted as a
// stage. -1 NULL row, tmp_bytes or out.
int32_t Net_GhostBottleneck_v1_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                             int32_t row_len, int32_t *tmp_bytes, int32_t alloc,
                                             ST_CnnLayInOut in);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_CN_GHOSTBOTTLENECK_V1_H_
