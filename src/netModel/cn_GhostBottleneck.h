// Ghost bottleneck: a Ghost module, an SE layer in place, and a closing
// Ghost module without activations; no shortcut connection. Block row
// ST_GhostBottleneckParam: 84 int16 values (Ghost module at 0, SE layer at
// 24, closing module at 60). The stages share one working block taken from
// the net memory pool. Calling convention and codes as the layer kernels.
#ifndef SRC_NETMODEL_CN_GHOSTBOTTLENECK_H_
#define SRC_NETMODEL_CN_GHOSTBOTTLENECK_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

// Int16 values of a Ghost bottleneck's block row.
#define CNN_GHOST_BOTTLENECK_PARAM_LEN 84

#ifdef __cplusplus
extern "C" {
#endif

// Runs the bottleneck on in into out (out may share in's block); the
// working block's refusal is ZqSafeAllocCnnInOut's code. *weights_used set
// on success only.
int32_t Net_GhostBottleneck_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                  const float *weights, int32_t *weights_used,
                                  ST_CnnLayInOut in);

// out = the closing module's shape; *tmp_bytes = the working block (the
// largest stage output before the closing module) plus the largest stage
// temporary. -1 NULL row, tmp_bytes or out.
int32_t Net_GhostBottleneck_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                          int32_t row_len, int32_t *tmp_bytes, int32_t alloc,
                                          ST_CnnLayInOut in);

#ifdef __cplusplus
}

namespace zq_net {

// Bottleneck run under the name fn; `middle` adds the middle convolution
// (row + 24) and its batch norm of the v1 form.
int32_t GhostBottleneckRun(const char *fn, bool middle, ST_CnnLayInOut *out, const int16_t *row,
                           const float *weights, int32_t *weights_used, const ST_CnnLayInOut &in);

// Bottleneck sizing under the name fn, for either form.
int32_t GhostBottleneckSize(const char *fn, bool middle, ST_CnnLayInOut *out, const int16_t *row,
                            int32_t *tmp_bytes, int32_t alloc, const ST_CnnLayInOut &in);

}  // namespace zq_net
#endif

#endif  // SRC_NETMODEL_CN_GHOSTBOTTLENECK_H_
