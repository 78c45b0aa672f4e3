#include "src/netModel/cn_GhostModule.h"

#include <algorithm>

#include "src/netModel/cn_BaseNet.h"
#include "src/netModel/cn_net_steps.h"

namespace zq_net {

int32_t GhostModuleRun(const char *fn, bool activate, ST_CnnLayInOut *out, const int16_t *row,
                       const float *weights, int32_t *weights_used, const ST_CnnLayInOut &in) {
  ST_CnnLayInOut a, b;
  Zq_Zeros_ST_CnnLayInOut(&a);
  Zq_Zeros_ST_CnnLayInOut(&b);
  if (weights_used == nullptr) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...input is erorr,ret = %d;", fn, __LINE__, -1);
    return -1;
  }
  int32_t scratch = 0;
  SizeSteps sizing{fn, 0};
  ZQ_NET_SIZE(sizing, scratch, Net_Conv2d_OutSize_Infer, &a, row, 12, 1, in);
  ZQ_NET_SIZE(sizing, scratch, Net_Conv2d_OutSize_Infer, &b, row + 12, 12, 1, a);
  RunSteps st{fn, weights, sizing.ret};
  ZQ_NET_RUN(st, Net_Conv2d_Infer, &a, row, 12, in);
  ZQ_NET_RUN(st, Net_BatchNorm2d_Infer, &a, row + 12, 0, a);
  if (activate) ZQ_NET_RUN(st, Net_LeakyReLU_Infer, &a, row + 12, 0, a);
  ZQ_NET_RUN(st, Net_Conv2d_Infer, &b, row + 12, 12, a);
  ZQ_NET_RUN(st, Net_BatchNorm2d_Infer, &b, row + 24, 0, b);
  if (activate) ZQ_NET_RUN(st, Net_LeakyReLU_Infer, &b, row + 24, 0, b);
  ZQ_NET_RUN(st, Net_My_cat_2_Infer, out, row + 24, 0, a, b);
  if (st.ret == 0) {
    *weights_used = static_cast<int32_t>(st.cursor - weights);
    QUORV_LOG_IN(fn, QUORV_LOG_DEBUG, "%s, len = %d", fn, *weights_used);
  }
  Zq_SafeFree_ST_CnnLayInOut(&b);
  Zq_SafeFree_ST_CnnLayInOut(&a);
  return st.ret;
}

int32_t GhostModuleSize(const char *fn, ST_CnnLayInOut *out, const int16_t *row,
                        int32_t *tmp_bytes, int32_t alloc, const ST_CnnLayInOut &in) {
  if (row == nullptr || tmp_bytes == nullptr || out == nullptr) {
    ZQ_NET_SIZE_INPUT_ERROR(fn);
    return -1;
  }
  ST_CnnLayInOut a, b;
  Zq_Zeros_ST_CnnLayInOut(&a);
  Zq_Zeros_ST_CnnLayInOut(&b);
  int32_t t_primary = 0, t_cheap = 0, t_cat = 0;
  SizeSteps st{fn, 0};
  ZQ_NET_SIZE(st, t_primary, Net_Conv2d_OutSize_Infer, &a, row, 12, 0, in);
  ZQ_NET_SIZE(st, t_cheap, Net_Conv2d_OutSize_Infer, &b, row + 12, 12, 0, a);
  ZQ_NET_SIZE(st, t_cat, Net_My_cat_2_OutSize_Infer, out, row + 24, 0, 0, a, b);
  if (st.ret != 0) return st.ret;
  const int64_t tmp = ShapeOrZero(a) + ShapeOrZero(b) +
                      std::max(Positive(t_primary), Positive(t_cheap));
  return FinishBlockSizing(fn, out, tmp_bytes, tmp, alloc);
}

}  // namespace zq_net

extern "C" int32_t Net_GhostModule_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                         int32_t /*row_len*/, const float *weights,
                                         int32_t *weights_used, ST_CnnLayInOut in) {
  return zq_net::GhostModuleRun(__func__, true, out, row, weights, weights_used, in);
}

extern "C" int32_t Net_GhostModule_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                 int32_t /*row_len*/, int32_t *tmp_bytes,
                                                 int32_t alloc, ST_CnnLayInOut in) {
  return zq_net::GhostModuleSize(__func__, out, row, tmp_bytes, alloc, in);
}
