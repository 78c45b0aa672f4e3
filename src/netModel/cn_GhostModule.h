// Ghost module: a primary convolution and a cheap convolution of its
// output, each with folded batch norm and LeakyReLU, concatenated (primary
// channels first). Block row ST_GhostModuleParam: 24 int16 values, the
// primary Conv2d row at 0 and the cheap Conv2d row at 12. Calling
// convention and codes as the layer kernels (cn_BaseNet.h).
#ifndef SRC_NETMODEL_CN_GHOSTMODULE_H_
#define SRC_NETMODEL_CN_GHOSTMODULE_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

// Int16 values of a Ghost module's block row.
#define CNN_GHOST_MODULE_PARAM_LEN 24

#ifdef __cplusplus
extern "C" {
#endif

// Runs the module on in into out (out may share in's block); *weights_used
// is set to the floats consumed, on success only. The failing step's code.
int32_t Net_GhostModule_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                              const float *weights, int32_t *weights_used, ST_CnnLayInOut in);

// Writes out's shape (both branches' channels) and, at *tmp_bytes, the
// bytes of both branch outputs plus the larger convolution temporary; with
// alloc gives out its block. -1 NULL row, tmp_bytes or out.
int32_t Net_GhostModule_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                      int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

#ifdef __cplusplus
}

namespace zq_net {

// The module run under the name fn, with or without the two LeakyReLUs.
int32_t GhostModuleRun(const char *fn, bool activate, ST_CnnLayInOut *out, const int16_t *row,
                       const float *weights, int32_t *weights_used, const ST_CnnLayInOut &in);

// The module sizing under the name fn (both forms size alike).
int32_t GhostModuleSize(const char *fn, ST_CnnLayInOut *out, const int16_t *row,
                        int32_t *tmp_bytes, int32_t alloc, const ST_CnnLayInOut &in);

}  // namespace zq_net
#endif

#endif  // SRC_NETMODEL_CN_GHOSTMODULE_H_
