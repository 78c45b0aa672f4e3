#include "src/netModel/cn_Ghostnet_chain.h"

#include <algorithm>

#include "src/netModel/cn_BaseNet.h"
#include "src/netModel/cn_GhostBottleneck.h"
#include "src/netModel/cn_GhostBottleneck_v1.h"
#include "src/netModel/cn_net_steps.h"

namespace zq_net {

namespace {

using L = ChainLayer;

constexpr ChainStep kOneStemSteps[] = {
    {L::kConv2d, 0},        {L::kBatchNorm2d, 12},   {L::kLeakyReLU, 12},  {L::kBottleneck, 12},
    {L::kBottleneckV1, 96}, {L::kBottleneckV1, 192}, {L::kLeakyReLU, 288}, {L::kMaxPool2d, 288},
    {L::kLinear, 300},      {L::kBatchNorm1d, 312},  {L::kLeakyReLU, 312}, {L::kLinear, 312},
    {L::kBatchNorm1d, 324}, {L::kLeakyReLU, 324},    {L::kLinear, 324},
};

constexpr ChainStep kTwoStemSteps[] = {
    {L::kConv2d, 0},      {L::kConv2d, 12},        {L::kBatchNorm2d, 24},   {L::kLeakyReLU, 24},
    {L::kBottleneck, 24}, {L::kBottleneckV1, 108}, {L::kBottleneckV1, 204}, {L::kLeakyReLU, 300},
    {L::kMaxPool2d, 300}, {L::kLinear, 312},       {L::kBatchNorm1d, 324},  {L::kLeakyReLU, 324},
    {L::kLinear, 324},    {L::kBatchNorm1d, 336},  {L::kLeakyReLU, 336},    {L::kLinear, 336},
};

constexpr ChainStep kThreeStemSteps[] = {
    {L::kConv2d, 0},      {L::kConv2d, 12},     {L::kConv2d, 24},        {L::kBatchNorm2d, 36},
    {L::kLeakyReLU, 36},  {L::kBottleneck, 36}, {L::kBottleneckV1, 120}, {L::kBottleneckV1, 216},
    {L::kLeakyReLU, 312}, {L::kMaxPool2d, 312}, {L::kLinear, 324},       {L::kBatchNorm1d, 336},
    {L::kLeakyReLU, 336}, {L::kLinear, 336},    {L::kBatchNorm1d, 348},  {L::kLeakyReLU, 348},
    {L::kLinear, 348},
};

constexpr ChainStep kShortBodySteps[] = {
    {L::kConv2d, 0},      {L::kConv2d, 12},       {L::kBatchNorm2d, 24},   {L::kLeakyReLU, 24},
    {L::kBottleneck, 24}, {L::kMaxPool2d, 108},   {L::kBottleneckV1, 120}, {L::kLeakyReLU, 216},
    {L::kMaxPool2d, 216}, {L::kLinear, 228},      {L::kBatchNorm1d, 240},  {L::kLeakyReLU, 240},
    {L::kLinear, 240},    {L::kBatchNorm1d, 252}, {L::kLeakyReLU, 252},    {L::kLinear, 252},
};

template <size_t N>
constexpr ChainFamily Family(const ChainStep (&steps)[N], int32_t table_len) {
  return ChainFamily{steps, static_cast<int32_t>(N), table_len};
}

using RunFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, const float *, int32_t *,
                          ST_CnnLayInOut);
using SizeFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, int32_t *, int32_t,
                           ST_CnnLayInOut);

// The functions of a chain layer; no sizing form for the steps without a row.
struct LayerFns {
  RunFn run;
  const char *run_name;
  SizeFn size;
  const char *size_name;
  int32_t row_len;
};

#define ZQ_LAYER_FNS(stem, row_len) \
  LayerFns { stem##_Infer, #stem "_Infer", stem##_OutSize_Infer, #stem "_OutSize_Infer", row_len }
#define ZQ_ROWLESS_FNS(stem) \
  LayerFns { stem##_Infer, #stem "_Infer", nullptr, nullptr, 0 }

LayerFns FnsOf(ChainLayer layer) {
  switch (layer) {
    case L::kConv2d:
      return ZQ_LAYER_FNS(Net_Conv2d, 12);
    case L::kBatchNorm2d:
      return ZQ_ROWLESS_FNS(Net_BatchNorm2d);
    case L::kLeakyReLU:
      return ZQ_ROWLESS_FNS(Net_LeakyReLU);
    case L::kBottleneck:
      return ZQ_LAYER_FNS(Net_GhostBottleneck, CNN_GHOST_BOTTLENECK_PARAM_LEN);
    case L::kBottleneckV1:
      return ZQ_LAYER_FNS(Net_GhostBottleneck_v1, CNN_GHOST_BOTTLENECK_V1_PARAM_LEN);
    case L::kMaxPool2d:
      return ZQ_LAYER_FNS(Net_MaxPool2d, 12);
    case L::kLinear:
      return ZQ_LAYER_FNS(Net_Linear, 12);
    case L::kBatchNorm1d:
      break;
  }
  return ZQ_ROWLESS_FNS(Net_BatchNorm1d);
}

// Number of steps of the family that have a row.
int32_t SizedSteps(const ChainFamily &family) {
  int32_t n = 0;
  for (int32_t i = 0; i < family.count; ++i) n += FnsOf(family.steps[i].layer).size != nullptr;
  return n;
}

// Refuses a table length other than the family's.
bool TableLenFits(const char *fn, const ChainFamily &family, int32_t table_len) {
  if (table_len == family.table_len) return true;
  QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...table_len = %d, the net needs %d,ret = %d;", fn,
               __LINE__, table_len, family.table_len, -2);
  return false;
}

int64_t Clamp32(int64_t v) { return std::min<int64_t>(v, INT32_MAX); }

// Shares of the weights, by the row alone.
int64_t ConvShare(const int16_t *r) {
  const int64_t groups = r[10] > 0 ? r[10] : 1;
  return int64_t{r[0]} * r[1] * r[2] * r[3] / groups + (r[11] != 0 ? r[3] : 0);
}
int64_t LinearShare(const int16_t *r) { return int64_t{r[0]} * r[3] + (r[11] != 0 ? r[3] : 0); }
int64_t GhostShare(const int16_t *r) {
  return ConvShare(r) + 3 * int64_t{r[3]} + ConvShare(r + 12) + 3 * int64_t{r[15]};
}
int64_t SEShare(const int16_t *r) { return LinearShare(r + 12) + LinearShare(r + 24); }

}  // namespace

const ChainFamily kOneStemChain = Family(kOneStemSteps, 336);
const ChainFamily kTwoStemChain = Family(kTwoStemSteps, 348);
const ChainFamily kThreeStemChain = Family(kThreeStemSteps, 360);
const ChainFamily kShortBodyChain = Family(kShortBodySteps, 264);

int32_t ChainRun(const char *fn, const ChainFamily &family, ST_CnnLayInOut *out,
                 const int16_t *layer_table, int32_t table_len, const float *weights,
                 int32_t *weights_used, const ST_CnnLayInOut &in) {
  ST_CnnLayInOut work;
  Zq_Zeros_ST_CnnLayInOut(&work);
  if (weights_used == nullptr) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...input is erorr,ret = %d;", fn, __LINE__, -1);
    return -1;
  }
  if (!TableLenFits(fn, family, table_len)) return -2;
  const int32_t last = family.count - 1;
  // Sizing pass: the working block holds every step's output but the last.
  int64_t buf = 0;
  int32_t ret = 0;
  for (int32_t i = 0; i < last && ret == 0; ++i) {
    const LayerFns fns = FnsOf(family.steps[i].layer);
    if (fns.size == nullptr) continue;
    const int16_t *row = layer_table == nullptr ? nullptr : layer_table + family.steps[i].pos;
    int32_t scratch = 0;
    ret = fns.size(&work, row, fns.row_len, &scratch, 0, i == 0 ? in : work);
    if (ret != 0) {
      ZQ_NET_STEP_FAIL(fn, fns.size_name, ret);
    } else {
      buf = std::max<int64_t>(buf, ZqCompute_InOutBuffers(&work));
    }
  }
  if (ret == 0) {
    ret = ZqSafeAllocCnnInOut(&work, static_cast<int32_t>(Clamp32(buf)));
    if (ret != 0) ZQ_NET_STEP_FAIL(fn, "ZqSafeAllocCnnInOut", ret);
  }
  // Layer pass, in place on the working block.
  const float *cursor = weights;
  for (int32_t i = 0; i <= last && ret == 0; ++i) {
    const LayerFns fns = FnsOf(family.steps[i].layer);
    const int16_t *row = layer_table == nullptr ? nullptr : layer_table + family.steps[i].pos;
    int32_t used = 0;
    ret = fns.run(i == last ? out : &work, row, fns.row_len, cursor, &used, i == 0 ? in : work);
    if (ret != 0) {
      ZQ_NET_STEP_FAIL(fn, fns.run_name, ret);
    } else {
      cursor += used;
    }
  }
  if (ret == 0) {
    *weights_used = static_cast<int32_t>(cursor - weights);
    QUORV_LOG_IN(fn, QUORV_LOG_DEBUG, "%s, len = %d", fn, *weights_used);
  }
  Zq_SafeFree_ST_CnnLayInOut(&work);
  return ret;
}

namespace {

int32_t ChainSizeBody(const char *fn, const ChainFamily &family, SizeTrace trace,
                      ST_CnnLayInOut *out, const int16_t *layer_table, int32_t table_len,
                      int32_t *tmp_bytes, int32_t alloc, const ST_CnnLayInOut &in) {
  ST_CnnLayInOut work;
  Zq_Zeros_ST_CnnLayInOut(&work);
  if (layer_table == nullptr || tmp_bytes == nullptr || out == nullptr) {
    ZQ_NET_SIZE_INPUT_ERROR(fn);
    return -1;
  }
  if (trace != SizeTrace::kNone) *tmp_bytes = 0;
  if (!TableLenFits(fn, family, table_len)) return -2;
  const int32_t last = family.count - 1;
  int64_t buf = 0, need = 0;
  int32_t sized = 0;
  for (int32_t i = 0; i <= last; ++i) {
    const LayerFns fns = FnsOf(family.steps[i].layer);
    if (fns.size == nullptr) continue;
    int32_t t = 0;
    const int32_t ret = fns.size(i == last ? out : &work, layer_table + family.steps[i].pos,
                                 fns.row_len, &t, 0, i == 0 ? in : work);
    if (ret != 0) {
      ZQ_NET_STEP_FAIL(fn, fns.size_name, ret);
      return ret;
    }
    if (i != last) buf = std::max<int64_t>(buf, ZqCompute_InOutBuffers(&work));
    need = std::max<int64_t>(need, t);
    ++sized;
    if (trace != SizeTrace::kNone) {
      QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE,
                   "%d.[%s][%d]%s buferSize = %d, max_net_need_buff = %d, "
                   "maxbuffSize = %d",
                   sized, fn, __LINE__, fns.size_name, t, static_cast<int32_t>(Clamp32(buf)),
                   static_cast<int32_t>(Clamp32(need)));
    }
  }
  const int64_t total = buf + need;
  if (trace != SizeTrace::kNone) {
    QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE,
                 "%d.[%s][%d]retBufSize = %d, buferSize = %d, maxbuffSize = %d", sized + 1, fn,
                 __LINE__, static_cast<int32_t>(Clamp32(total)), static_cast<int32_t>(Clamp32(buf)),
                 static_cast<int32_t>(Clamp32(need)));
  }
  return FinishBlockSizing(fn, out, tmp_bytes, total, alloc);
}

}  // namespace

int32_t ChainSize(const char *fn, const ChainFamily &family, SizeTrace trace, ST_CnnLayInOut *out,
                  const int16_t *layer_table, int32_t table_len, int32_t *tmp_bytes, int32_t alloc,
                  const ST_CnnLayInOut &in) {
  const int32_t ret =
      ChainSizeBody(fn, family, trace, out, layer_table, table_len, tmp_bytes, alloc, in);
  if (trace == SizeTrace::kStepsAndCode) {
    QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE, "%d.[%s][%d]ret = %d", SizedSteps(family) + 2, fn, __LINE__,
                 ret);
  }
  return ret;
}

int64_t ChainWeightCount(const ChainFamily &family, const int16_t *layer_table, int32_t table_len) {
  if (layer_table == nullptr || table_len != family.table_len) return -1;
  int64_t total = 0;
  int64_t features = 0;  // channels or features of the last Conv2d or Linear
  for (int32_t i = 0; i < family.count; ++i) {
    const int16_t *r = layer_table + family.steps[i].pos;
    switch (family.steps[i].layer) {
      case L::kConv2d:
        total += ConvShare(r);
        features = r[3];
        break;
      case L::kLinear:
        total += LinearShare(r);
        features = r[3];
        break;
      case L::kBatchNorm2d:
      case L::kBatchNorm1d:
        total += 3 * features;
        break;
      case L::kBottleneck:
        total += GhostShare(r) + SEShare(r + 24) + GhostShare(r + 60);
        break;
      case L::kBottleneckV1:
        total += GhostShare(r) + ConvShare(r + 24) + 3 * int64_t{r[27]} + SEShare(r + 36) +
                 GhostShare(r + 72);
        break;
      case L::kLeakyReLU:
      case L::kMaxPool2d:
        break;
    }
  }
  return total;
}

}  // namespace zq_net
