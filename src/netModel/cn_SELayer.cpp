#include "src/netModel/cn_SELayer.h"

#include <algorithm>

#include "src/netModel/cn_BaseNet.h"
#include "src/netModel/cn_net_steps.h"

using zq_net::Positive;
using zq_net::RunSteps;
using zq_net::ShapeOrZero;
using zq_net::SizeSteps;

extern "C" int32_t Net_SELayer_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                     int32_t /*row_len*/, const float *weights,
                                     int32_t *weights_used, ST_CnnLayInOut in) {
  const char *fn = __func__;
  ST_CnnLayInOut pooled, squeezed, gates;
  Zq_Zeros_ST_CnnLayInOut(&pooled);
  Zq_Zeros_ST_CnnLayInOut(&squeezed);
  Zq_Zeros_ST_CnnLayInOut(&gates);
  if (weights_used == nullptr) {
    QUORV_LOGE("%s[%05d]...input is erorr,ret = %d;", fn, __LINE__, -1);
    return -1;
  }
  int32_t scratch = 0;
  SizeSteps sizing{fn, 0};
  ZQ_NET_SIZE(sizing, scratch, Net_AdaptiveAvgPool2d_OutSize_Infer, &pooled, row, 12, 1, in);
  ZQ_NET_SIZE(sizing, scratch, Net_Linear_OutSize_Infer, &squeezed, row + 12, 12, 1, pooled);
  ZQ_NET_SIZE(sizing, scratch, Net_Linear_OutSize_Infer, &gates, row + 24, 12, 1, squeezed);
  RunSteps st{fn, weights, sizing.ret};
  ZQ_NET_RUN(st, Net_AdaptiveAvgPool2d_Infer, &pooled, row, 12, in);
  ZQ_NET_RUN(st, Net_Linear_Infer, &squeezed, row + 12, 12, pooled);
  ZQ_NET_RUN(st, Net_LeakyReLU_Infer, &squeezed, row + 24, 0, squeezed);
  ZQ_NET_RUN(st, Net_Linear_Infer, &gates, row + 24, 12, squeezed);
  ZQ_NET_RUN(st, Net_LeakyReLU_Infer, &gates, row + 36, 0, gates);
  ZQ_NET_RUN(st, Net_My_linear_mul_channel_Infer, out, row + 36, 0, in, gates);
  if (st.ret == 0) {
    *weights_used = static_cast<int32_t>(st.cursor - weights);
    QUORV_LOGD("%s, len = %d", fn, *weights_used);
  }
  Zq_SafeFree_ST_CnnLayInOut(&gates);
  Zq_SafeFree_ST_CnnLayInOut(&squeezed);
  Zq_SafeFree_ST_CnnLayInOut(&pooled);
  return st.ret;
}

extern "C" int32_t Net_SELayer_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                             int32_t /*row_len*/, int32_t *tmp_bytes,
                                             int32_t alloc, ST_CnnLayInOut in) {
  const char *fn = __func__;
  if (row == nullptr || tmp_bytes == nullptr || out == nullptr) {
    ZQ_NET_SIZE_INPUT_ERROR(fn);
    return -1;
  }
  ST_CnnLayInOut pooled, squeezed, gates;
  Zq_Zeros_ST_CnnLayInOut(&pooled);
  Zq_Zeros_ST_CnnLayInOut(&squeezed);
  Zq_Zeros_ST_CnnLayInOut(&gates);
  int32_t t_pool = 0, t_squeeze = 0, t_excite = 0, t_scale = 0;
  SizeSteps st{fn, 0};
  ZQ_NET_SIZE(st, t_pool, Net_AdaptiveAvgPool2d_OutSize_Infer, &pooled, row, 12, 0, in);
  ZQ_NET_SIZE(st, t_squeeze, Net_Linear_OutSize_Infer, &squeezed, row + 12, 12, 0, pooled);
  ZQ_NET_SIZE(st, t_excite, Net_Linear_OutSize_Infer, &gates, row + 24, 12, 0, squeezed);
  ZQ_NET_SIZE(st, t_scale, Net_My_linear_mul_channel_OutSize_Infer, out, row + 36, 0, 0, in,
              gates);
  if (st.ret != 0) return st.ret;
  const int64_t tmp =
      ShapeOrZero(pooled) + ShapeOrZero(squeezed) + ShapeOrZero(gates) +
      std::max({Positive(t_pool), Positive(t_squeeze), Positive(t_excite)});
  return zq_net::FinishBlockSizing(fn, out, tmp_bytes, tmp, alloc);
}
