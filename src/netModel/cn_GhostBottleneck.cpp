#include "src/netModel/cn_GhostBottleneck.h"

#include <algorithm>

#include "src/netModel/cn_BaseNet.h"
#include "src/netModel/cn_GhostModule.h"
#include "src/netModel/cn_GhostModule_v1.h"
#include "src/netModel/cn_SELayer.h"
#include "src/netModel/cn_net_steps.h"

namespace zq_net {

namespace {

// Row offsets of the stages within the block row.
struct Layout {
  int32_t se;       // SE layer
  int32_t closing;  // closing Ghost module
};

Layout LayoutOf(bool middle) { return middle ? Layout{36, 72} : Layout{24, 60}; }

}  // namespace

int32_t GhostBottleneckRun(const char *fn, bool middle, ST_CnnLayInOut *out, const int16_t *row,
                           const float *weights, int32_t *weights_used,
                           const ST_CnnLayInOut &in) {
  const Layout at = LayoutOf(middle);
  ST_CnnLayInOut x;
  Zq_Zeros_ST_CnnLayInOut(&x);
  if (weights_used == nullptr) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...input is erorr,ret = %d;", fn, __LINE__, -1);
    return -1;
  }
  // One working block for every stage before the closing module.
  int32_t scratch = 0;
  int64_t block = 0;
  SizeSteps sizing{fn, 0};
  ZQ_NET_SIZE(sizing, scratch, Net_GhostModule_OutSize_Infer, &x, row, 24, 0, in);
  block = std::max(block, ShapeOrZero(x));
  if (middle) {
    ZQ_NET_SIZE(sizing, scratch, Net_Conv2d_OutSize_Infer, &x, row + 24, 12, 0, x);
    block = std::max(block, ShapeOrZero(x));
  }
  ZQ_NET_SIZE(sizing, scratch, Net_SELayer_OutSize_Infer, &x, row + at.se, 36, 0, x);
  block = std::max(block, ShapeOrZero(x));
  if (sizing.ret == 0) {
    sizing.ret = ZqSafeAllocCnnInOut(&x, block > INT32_MAX ? 0 : static_cast<int32_t>(block));
    if (sizing.ret != 0) ZQ_NET_STEP_FAIL(fn, "ZqSafeAllocCnnInOut", sizing.ret);
  }
  RunSteps st{fn, weights, sizing.ret};
  ZQ_NET_RUN(st, Net_GhostModule_Infer, &x, row, 24, in);
  if (middle) {
    ZQ_NET_RUN(st, Net_Conv2d_Infer, &x, row + 24, 12, x);
    ZQ_NET_RUN(st, Net_BatchNorm2d_Infer, &x, row + 36, 0, x);
  }
  ZQ_NET_RUN(st, Net_SELayer_Infer, &x, row + at.se, 36, x);
  ZQ_NET_RUN(st, Net_GhostModule_v1_Infer, out, row + at.closing, 24, x);
  if (st.ret == 0) {
    *weights_used = static_cast<int32_t>(st.cursor - weights);
    QUORV_LOG_IN(fn, QUORV_LOG_DEBUG, "%s, len = %d", fn, *weights_used);
  }
  Zq_SafeFree_ST_CnnLayInOut(&x);
  return st.ret;
}

int32_t GhostBottleneckSize(const char *fn, bool middle, ST_CnnLayInOut *out, const int16_t *row,
                            int32_t *tmp_bytes, int32_t alloc, const ST_CnnLayInOut &in) {
  if (row == nullptr || tmp_bytes == nullptr || out == nullptr) {
    ZQ_NET_SIZE_INPUT_ERROR(fn);
    return -1;
  }
  *tmp_bytes = 0;
  const Layout at = LayoutOf(middle);
  ST_CnnLayInOut x;
  Zq_Zeros_ST_CnnLayInOut(&x);
  int32_t t_ghost = 0, t_middle = 0, t_se = 0, t_closing = 0;
  int64_t block = 0;
  SizeSteps st{fn, 0};
  ZQ_NET_SIZE(st, t_ghost, Net_GhostModule_OutSize_Infer, &x, row, 24, 0, in);
  block = std::max(block, ShapeOrZero(x));
  if (middle) {
    ZQ_NET_SIZE(st, t_middle, Net_Conv2d_OutSize_Infer, &x, row + 24, 12, 0, x);
    block = std::max(block, ShapeOrZero(x));
  }
  ZQ_NET_SIZE(st, t_se, Net_SELayer_OutSize_Infer, &x, row + at.se, 36, 0, x);
  block = std::max(block, ShapeOrZero(x));
  ZQ_NET_SIZE(st, t_closing, Net_GhostModule_v1_OutSize_Infer, out, row + at.closing, 24, 0, x);
  if (st.ret != 0) return st.ret;
  const int64_t tmp = block + std::max({Positive(t_ghost), Positive(t_middle), Positive(t_se),
                                        Positive(t_closing)});
  return FinishBlockSizing(fn, out, tmp_bytes, tmp, alloc);
}

}  // namespace zq_net

extern "C" int32_t Net_GhostBottleneck_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                             int32_t /*row_len*/, const float *weights,
                                             int32_t *weights_used, ST_CnnLayInOut in) {
  return zq_net::GhostBottleneckRun(__func__, false, out, row, weights, weights_used, in);
}

extern "C" int32_t Net_GhostBottleneck_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                     int32_t /*row_len*/, int32_t *tmp_bytes,
                                                     int32_t alloc, ST_CnnLayInOut in) {
  return zq_net::GhostBottleneckSize(__func__, false, out, row, tmp_bytes, alloc, in);
}
