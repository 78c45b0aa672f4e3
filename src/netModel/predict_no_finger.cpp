#include "src/netModel/predict_no_finger.h"

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/cn_Ghostnet.h"
#include "src/netModel/predict_branch.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_net::ClassifierRecord;
using zq_net::InputFill;
using zq_net::NetBranch;

ClassifierRecord g_none_finger = zq_net::kNoClassifier;

const NetBranch kBackChip = {"predict_BackChip_NoneFinger",
                             "NoneFingerBackChipNetMaxPool",
                             40,
                             40,
                             InputFill::kResize,
                             &zq_net::kOneStemChain,
                             Net_Ghostnet_504kflops_Infer,
                             "Net_Ghostnet_504kflops_Infer",
                             Net_Ghostnet_504kflops_OutSize_Infer,
                             "Net_Ghostnet_504kflops_OutSize_Infer"};

const NetBranch kSiderChip = {"predict_SiderChip_NoneFinger",
                              "NoneFingerSiderChipNetMaxPool",
                              120,
                              40,
                              InputFill::kResize,
                              &zq_net::kTwoStemChain,
                              Net_Ghostnet_504kflops_SiderFinger_Infer,
                              "Net_Ghostnet_504kflops_SiderFinger_Infer",
                              Net_Ghostnet_504kflops_SiderFinger_OutSize_Infer,
                              "Net_Ghostnet_504kflops_SiderFinger_OutSize_Infer"};

// Need of one branch, with its messages.
int32_t BranchNeed(const NetBranch &b, bool trace) {
  int32_t tmp = 0;
  int64_t need = 0;
  const int32_t ret = zq_net::SizeBranch(b, g_none_finger.net, &tmp, &need);
  if (ret != 0) {
    QUORV_LOG_IN(b.size_name, QUORV_LOG_ERROR, "%s[%05d]...%s() is error!", b.size_name, __LINE__,
                 b.size_fn);
    return &b == &kBackChip ? ret : -1;
  }
  if (trace) {
    QUORV_LOG_IN(b.size_name, QUORV_LOG_VERBOSE, "1.[%s][%d]tmpBufferSize = %d", b.size_name,
                 __LINE__, static_cast<int32_t>(need));
    QUORV_LOG_IN(b.size_name, QUORV_LOG_VERBOSE, "1.[%s][%d]maxbufferSize = %d, tmpBufferSize = %d",
                 b.size_name, __LINE__, static_cast<int32_t>(need), static_cast<int32_t>(need));
  }
  if (need < 0 || need > INT32_MAX) {
    QUORV_LOG_IN(b.size_name, QUORV_LOG_ERROR, "%s[%05d]...calculate max buffer has error!",
                 b.size_name, __LINE__);
    return -2;
  }
  return static_cast<int32_t>(need);
}

}  // namespace

extern "C" int32_t NoneFinger_ChipType_Set(int32_t chip) {
  g_none_finger.chip = chip;
  return 0;
}

extern "C" int32_t NoneFinger_Net_MaxMemeory(void) {
  switch (g_none_finger.chip) {
    case 3:
    case 6:
    case 8:
    case 11:
      return BranchNeed(kBackChip, false);
    case 9:
    case 10:
    case 13:
      return BranchNeed(kSiderChip, true);
    default:
      return -1;
  }
}

extern "C" int32_t NoneFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                                     int32_t weight_count,
                                                     const int16_t *layer_table,
                                                     int32_t table_len) {
  g_none_finger.net = NetFunctionSt{netVersion, weight_count, table_len, weights, layer_table};
  if (g_none_finger.chip == -1) return 0;
  return ZqNetRecallMemroyPool(NoneFinger_Net_MaxMemeory());
}

extern "C" int32_t NoneFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len) {
  const int32_t ret = zq_net::StoreNet(__func__, &g_none_finger, net, len);
  if (ret != 0) return ret;
  if (g_none_finger.chip == -1) return 0;
  return ZqNetRecallMemroyPool(NoneFinger_Net_MaxMemeory());
}

extern "C" int32_t NoneFingerUninit(void) {
  g_none_finger = zq_net::kNoClassifier;
  return 0;
}

extern "C" int32_t predict_nonefinger_v2(const uint8_t *image, int32_t rows, int32_t cols,
                                         int32_t *cls, float *score) {
  switch (g_none_finger.chip) {
    case 3:
    case 6:
    case 8:
    case 11:
      return zq_net::PredictBranch(kBackChip, g_none_finger.net, image, rows, cols, cls, score, 0);
    case 9:
    case 10:
      return zq_net::PredictBranch(kSiderChip, g_none_finger.net, image, rows, cols, cls, score, 0);
    default:
      return -1;
  }
}
