#include "src/netModel/cn_GhostBottleneck_v1.h"

#include "src/netModel/cn_GhostBottleneck.h"

extern "C" int32_t Net_GhostBottleneck_v1_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                int32_t /*row_len*/, const float *weights,
                                                int32_t *weights_used, ST_CnnLayInOut in) {
  return zq_net::GhostBottleneckRun(__func__, true, out, row, weights, weights_used, in);
}

extern "C" int32_t Net_GhostBottleneck_v1_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                        int32_t /*row_len*/, int32_t *tmp_bytes,
                                                        int32_t alloc, ST_CnnLayInOut in) {
  return zq_net::GhostBottleneckSize(__func__, true, out, row, tmp_bytes, alloc, in);
}
