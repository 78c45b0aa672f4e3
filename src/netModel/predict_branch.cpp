#include "src/netModel/predict_branch.h"

#include "src/netModel/input_preprocess_tool_no_finger.h"
#include "src/quorv_base/quorv_log.h"

namespace zq_net {

namespace {

// Fills the input tensor from an image of exactly its size.
void FillExact(const NetBranch &b, const uint8_t *image, float *dst) {
  const int32_t w = b.cols;
  for (int32_t y = 0; y < b.rows; ++y) {
    const uint8_t *src = image + int64_t{y} * w;
    float *line = dst + int64_t{y} * w;
    for (int32_t x = 0; x < w; ++x) line[x] = static_cast<float>(src[x] / 255.0);
    if (b.fill == InputFill::kEdgeColumns && w >= 3) {
      line[0] = line[1];
      line[w - 1] = line[w - 2];
    }
  }
}

}  // namespace

int32_t StoreNet(const char *fn, ClassifierRecord *record, const NetFunctionSt *net,
                 int32_t len) {
  if (net == nullptr) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s...err: pNet = null, ret = -1", fn);
    return -1;
  }
  if (len != static_cast<int32_t>(sizeof(NetFunctionSt))) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR,
                 "%s...err: Net struct convert has error, len{%d} != "
                 "sizeof(NetFunctionSt){%d};ret = -2",
                 fn, len, static_cast<int32_t>(sizeof(NetFunctionSt)));
    return -2;
  }
  record->net = *net;
  return 0;
}

int32_t SizeBranch(const NetBranch &branch, const NetFunctionSt &net, int32_t *net_tmp,
                   int64_t *need) {
  *net_tmp = 0;
  *need = 0;
  if (net.netVersion < 0) return 0;
  ST_CnnLayInOut in, out;
  Zq_Zeros_ST_CnnLayInOut(&in);
  Zq_Zeros_ST_CnnLayInOut(&out);
  in.w = static_cast<int16_t>(branch.cols);
  in.h = static_cast<int16_t>(branch.rows);
  in.c = 1;
  const int32_t ret = branch.size(&out, net.layer_table, net.table_len, net_tmp, 0, in);
  if (ret != 0) return ret;
  *need = int64_t{ZqCompute_InOutBuffers(&in)} + ZqCompute_InOutBuffers(&out) + *net_tmp;
  return 0;
}

int32_t PredictBranch(const NetBranch &b, const NetFunctionSt &net, const uint8_t *image,
                      int32_t rows, int32_t cols, int32_t *cls, float *score, int32_t no_class) {
  ST_CnnLayInOut in, out;
  Zq_Zeros_ST_CnnLayInOut(&in);
  Zq_Zeros_ST_CnnLayInOut(&out);
  if (cls == nullptr || score == nullptr || image == nullptr) {
    QUORV_LOG_IN(b.name, QUORV_LOG_ERROR, "%s[%05d].. input variable is empty", b.name,
                 __LINE__);
    return -1;
  }
  *score = 0.0f;
  *cls = no_class;
  if (b.fill != InputFill::kResize && (rows != b.rows || cols != b.cols)) return 0;
  if (net.netVersion < 0) return 0;
  in.w = static_cast<int16_t>(b.cols);
  in.h = static_cast<int16_t>(b.rows);
  in.c = 1;
  int32_t ret = Zq_SafeAlloc_ST_CnnLayInOut(&in);
  if (ret != 0) {
    QUORV_LOG_IN(b.name, QUORV_LOG_ERROR, "%s[%05d]...Zq_SafeAlloc_ST_CnnLayInOut() is error!",
                 b.name, __LINE__);
    return ret;
  }
  if (b.fill == InputFill::kResize) {
    const int64_t pixels = int64_t{rows} * cols;
    ret = input_process_tool_no_finger_resize(
        image, rows, cols, pixels > INT32_MAX ? INT32_MAX : static_cast<int32_t>(pixels), b.rows,
        b.cols, in.data);
    if (ret != 0) {
      QUORV_LOG_IN(b.name, QUORV_LOG_ERROR,
                   "%s[%05d]...input_process_tool_no_finger_resize() is error!", b.name,
                   __LINE__);
    }
  } else {
    FillExact(b, image, in.data);
  }
  int32_t tmp = 0;
  if (ret == 0) {
    ret = b.size(&out, net.layer_table, net.table_len, &tmp, 1, in);
    if (ret != 0) {
      QUORV_LOG_IN(b.name, QUORV_LOG_ERROR, "%s[%05d]...%s() is error!", b.name, __LINE__,
                   b.size_fn);
    }
  }
  if (ret == 0) {
    // The weights a run reads follow from the table: a host array of any
    // other length is refused before the run could read past it.
    const int64_t share = ChainWeightCount(*b.family, net.layer_table, net.table_len);
    int32_t used = -1;
    if (net.weights != nullptr && share == net.weight_count) {
      ret = b.run(&out, net.layer_table, net.table_len, net.weights, &used, in);
    }
    if (ret != 0 || used != net.weight_count) {
      QUORV_LOG_IN(b.name, QUORV_LOG_ERROR, "%s[%05d]...%s() is error!", b.name, __LINE__,
                   b.run_fn);
    } else {
      *cls = ZqInOutFindMax(score, out);
    }
  }
  Zq_SafeFree_ST_CnnLayInOut(&out);
  Zq_SafeFree_ST_CnnLayInOut(&in);
  return ret;
}

}  // namespace zq_net
