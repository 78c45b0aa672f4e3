// The nine networks of the no-finger and fake-finger classifiers. Each is a
// pair over one of four layer chains (cn_Ghostnet_chain.h):
//   <net>_Infer(out, layer_table, table_len, weights, weights_used, in)
//     runs the net on in; out must own a block of the output's size; sets
//     *weights_used on success only; 0 or the first failing step's code;
//   <net>_OutSize_Infer(out, layer_table, table_len, tmp_bytes, alloc, in)
//     writes out's shape (1 x 1 x classes), at *tmp_bytes the pool bytes a
//     run needs beyond its input and output, and with alloc gives out its
//     block; -1 NULL layer_table, tmp_bytes or out.
// Both refuse with -2 a table_len other than the chain's table length.
#ifndef SRC_NETMODEL_CN_GHOSTNET_H_
#define SRC_NETMODEL_CN_GHOSTNET_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Net_Ghostnet_504kflops: no-finger, 40 x 40 x 1, one stem convolution.
int32_t Net_Ghostnet_504kflops_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                     int32_t table_len, const float *weights, int32_t *weights_used,
                                     ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                             int32_t table_len, int32_t *tmp_bytes, int32_t alloc,
                                             ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_SiderFinger: no-finger, 120 x 40 x 1, two stem
// convolutions; its sizing traces every step.
int32_t Net_Ghostnet_504kflops_SiderFinger_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                                 int32_t table_len, const float *weights,
                                                 int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_SiderFinger_OutSize_Infer(ST_CnnLayInOut *out,
                                                         const int16_t *layer_table,
                                                         int32_t table_len, int32_t *tmp_bytes,
                                                         int32_t alloc, ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_4853fake: fake-finger, 176 x 32 x 1, two stem
// convolutions.
int32_t Net_Ghostnet_504kflops_4853fake_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                              int32_t table_len, const float *weights,
                                              int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_4853fake_OutSize_Infer(ST_CnnLayInOut *out,
                                                      const int16_t *layer_table, int32_t table_len,
                                                      int32_t *tmp_bytes, int32_t alloc,
                                                      ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_4854fake: fake-finger, 144 x 36 x 1, two stem
// convolutions.
int32_t Net_Ghostnet_504kflops_4854fake_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                              int32_t table_len, const float *weights,
                                              int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_4854fake_OutSize_Infer(ST_CnnLayInOut *out,
                                                      const int16_t *layer_table, int32_t table_len,
                                                      int32_t *tmp_bytes, int32_t alloc,
                                                      ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_fake: fake-finger, 196 x 40 x 1, two stem
// convolutions.
int32_t Net_Ghostnet_504kflops_fake_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                          int32_t table_len, const float *weights,
                                          int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_fake_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                                  int32_t table_len, int32_t *tmp_bytes,
                                                  int32_t alloc, ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_4845fake: fake-finger, 80 x 64 x 1, three stem
// convolutions.
int32_t Net_Ghostnet_504kflops_4845fake_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                              int32_t table_len, const float *weights,
                                              int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_4845fake_OutSize_Infer(ST_CnnLayInOut *out,
                                                      const int16_t *layer_table, int32_t table_len,
                                                      int32_t *tmp_bytes, int32_t alloc,
                                                      ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_4849fake: fake-finger, 56 x 56 x 1, three stem
// convolutions.
int32_t Net_Ghostnet_504kflops_4849fake_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                              int32_t table_len, const float *weights,
                                              int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_4849fake_OutSize_Infer(ST_CnnLayInOut *out,
                                                      const int16_t *layer_table, int32_t table_len,
                                                      int32_t *tmp_bytes, int32_t alloc,
                                                      ST_CnnLayInOut in);

// Net_Ghostnet_504kflops_fake_4851: fake-finger, 176 x 36 x 1, three stem
// convolutions; its sizing traces every step and its result.
int32_t Net_Ghostnet_504kflops_fake_4851_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                               int32_t table_len, const float *weights,
                                               int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_504kflops_fake_4851_OutSize_Infer(ST_CnnLayInOut *out,
                                                       const int16_t *layer_table,
                                                       int32_t table_len, int32_t *tmp_bytes,
                                                       int32_t alloc, ST_CnnLayInOut in);

// Net_Ghostnet_228kflops_4843fake: fake-finger, 128 x 80 x 1, short body.
int32_t Net_Ghostnet_228kflops_4843fake_Infer(ST_CnnLayInOut *out, const int16_t *layer_table,
                                              int32_t table_len, const float *weights,
                                              int32_t *weights_used, ST_CnnLayInOut in);
int32_t Net_Ghostnet_228kflops_4843fake_OutSize_Infer(ST_CnnLayInOut *out,
                                                      const int16_t *layer_table, int32_t table_len,
                                                      int32_t *tmp_bytes, int32_t alloc,
                                                      ST_CnnLayInOut in);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_CN_GHOSTNET_H_
