#include "src/netModel/cn_GhostModule_v1.h"

#include "src/netModel/cn_GhostModule.h"

extern "C" int32_t Net_GhostModule_v1_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                            int32_t /*row_len*/, const float *weights,
                                            int32_t *weights_used, ST_CnnLayInOut in) {
  return zq_net::GhostModuleRun(__func__, false, out, row, weights, weights_used, in);
}

extern "C" int32_t Net_GhostModule_v1_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                    int32_t /*row_len*/, int32_t *tmp_bytes,
                                                    int32_t alloc, ST_CnnLayInOut in) {
  return zq_net::GhostModuleSize(__func__, out, row, tmp_bytes, alloc, in);
}
