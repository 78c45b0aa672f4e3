#include "src/netModel/cn_Ghostnet.h"
#include "src/netModel/cn_Ghostnet_chain.h"

extern "C" int32_t Net_Ghostnet_504kflops_4849fake_Infer(ST_CnnLayInOut *out,
                                                         const int16_t *layer_table,
                                                         int32_t table_len, const float *weights,
                                                         int32_t *weights_used, ST_CnnLayInOut in) {
  return zq_net::ChainRun(__func__, zq_net::kThreeStemChain, out, layer_table, table_len, weights,
                          weights_used, in);
}

extern "C" int32_t Net_Ghostnet_504kflops_4849fake_OutSize_Infer(ST_CnnLayInOut *out,
                                                                 const int16_t *layer_table,
                                                                 int32_t table_len,
                                                                 int32_t *tmp_bytes, int32_t alloc,
                                                                 ST_CnnLayInOut in) {
  return zq_net::ChainSize(__func__, zq_net::kThreeStemChain, zq_net::SizeTrace::kNone, out,
                           layer_table, table_len, tmp_bytes, alloc, in);
}
