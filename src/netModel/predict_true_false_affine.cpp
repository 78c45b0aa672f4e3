#include "src/netModel/predict_true_false_affine.h"

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/cn_Ghostnet.h"
#include "src/netModel/predict_branch.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_net::ClassifierRecord;
using zq_net::InputFill;
using zq_net::NetBranch;

ClassifierRecord g_fake_finger = zq_net::kNoClassifier;

#define ZQ_FAKE_BRANCH(chip, rows, cols, fill, family, net, size_fn)                 \
  NetBranch {                                                                        \
    "predict_" chip "_FakeFinger", "FakeFinger" chip "NetMaxPool", rows, cols, fill, \
        &zq_net::family, net##_Infer, #net "_Infer", net##_OutSize_Infer, size_fn    \
  }

const NetBranch kFW4845 = ZQ_FAKE_BRANCH("FW4845", 80, 64, InputFill::kEdgeColumns, kThreeStemChain,
                                         Net_Ghostnet_504kflops_4845fake,
                                         "Net_Ghostnet_504kflops_4845fake_OutSize_Infer");
const NetBranch kFW4849 = ZQ_FAKE_BRANCH("FW4849", 56, 56, InputFill::kEdgeColumns, kThreeStemChain,
                                         Net_Ghostnet_504kflops_4849fake,
                                         "Net_Ghostnet_504kflops_4849fake_OutSize_Infer");
const NetBranch kZE4850 =
    ZQ_FAKE_BRANCH("ZE4850", 196, 40, InputFill::kPlain, kTwoStemChain, Net_Ghostnet_504kflops_fake,
                   "Net_Ghostnet_504kflops_fake_OutSize_Infer");
const NetBranch kDO4851 = ZQ_FAKE_BRANCH("DO4851", 176, 36, InputFill::kPlain, kThreeStemChain,
                                         Net_Ghostnet_504kflops_fake_4851,
                                         "Net_Ghostnet_504kflops_fake_4851_OutSize_Infer");
const NetBranch kFW4843 = ZQ_FAKE_BRANCH("FW4843", 128, 80, InputFill::kEdgeColumns,
                                         kShortBodyChain, Net_Ghostnet_228kflops_4843fake,
                                         "Net_Ghostnet_228kflops_4843fake_OutSize_Infer");
const NetBranch kFW4854 = ZQ_FAKE_BRANCH("FW4854", 144, 36, InputFill::kPlain, kTwoStemChain,
                                         Net_Ghostnet_504kflops_4854fake,
                                         "Net_Ghostnet_504kflops_4854fake_OutSize_Infer");
// This branch's sizing message names its network differently.
const NetBranch kFW4853 = ZQ_FAKE_BRANCH("FW4853", 176, 32, InputFill::kPlain, kTwoStemChain,
                                         Net_Ghostnet_504kflops_4853fake,
                                         "Net_Ghostnet_504kflops_fake_4853_OutSize_Infer");

// Need of one branch with its messages; the chip type 10 branch traces its
// steps and the chip type 9 branch hands on the sizing's own code.
int32_t BranchNeed(const NetBranch &b) {
  const bool traced = &b == &kDO4851;
  const char *fn = b.size_name;
  int32_t result;
  if (traced) {
    QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE, "0.[%s][%d]netVersion = %d", fn, __LINE__,
                 g_fake_finger.net.netVersion);
  }
  int32_t tmp = 0;
  int64_t need = 0;
  const int32_t ret = zq_net::SizeBranch(b, g_fake_finger.net, &tmp, &need);
  if (ret != 0) {
    if (traced) {
      QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...calculate buffer has error! ret = %d", fn,
                   __LINE__, ret);
    } else {
      QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...calculate buffer has error!", fn, __LINE__);
    }
    result = &b == &kZE4850 ? ret : -1;
  } else {
    if (traced) {
      QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE,
                   "1.[%s][%d]Net_Ghostnet_504kflops_fake_4851_OutSize_Infer  tmpBufferSize = %d",
                   fn, __LINE__, tmp);
      QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE, "2.ZqCompute_InOutBuffers  tmpBufferSize = %d",
                   static_cast<int32_t>(need));
      QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE, "3.[%s][%d]maxbufferSize = %d, tmpBufferSize = %d", fn,
                   __LINE__, static_cast<int32_t>(need), static_cast<int32_t>(need));
    }
    if (need < 0 || need > INT32_MAX) {
      if (traced) {
        QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...calculate max buffer has error! ret = %d", fn,
                     __LINE__, -2);
      } else {
        QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...calculate max buffer has error!", fn,
                     __LINE__);
      }
      result = -2;
    } else {
      result = static_cast<int32_t>(need);
    }
  }
  if (traced) QUORV_LOG_IN(fn, QUORV_LOG_VERBOSE, "4.[%s][%d]ret = %d", fn, __LINE__, result);
  return result;
}

int32_t Predict(const NetBranch &b, const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                float *score) {
  return zq_net::PredictBranch(b, g_fake_finger.net, image, rows, cols, cls, score, -1);
}

}  // namespace

extern "C" int32_t FakeFinger_ChipType_Set(int32_t chip) {
  g_fake_finger.chip = chip;
  return 0;
}

extern "C" int32_t FakeFingerFW4853NetMaxPool(void) { return BranchNeed(kFW4853); }
extern "C" int32_t FakeFingerFW4852NetMaxPool(void) { return 0; }
extern "C" int32_t FakeFingerFW4849NetMaxPool(void) { return BranchNeed(kFW4849); }
extern "C" int32_t FakeFingerFW4843NetMaxPool(void) { return BranchNeed(kFW4843); }

extern "C" int32_t FakeFinger_Net_MaxMemeory(void) {
  switch (g_fake_finger.chip) {
    case 3:
    case 8:
      return BranchNeed(kFW4845);
    case 6:
    case 11:
      return FakeFingerFW4849NetMaxPool();
    case 9:
      return BranchNeed(kZE4850);
    case 10:
      return BranchNeed(kDO4851);
    case 12:
      return FakeFingerFW4843NetMaxPool();
    case 13:
      return BranchNeed(kFW4854);
    case 14:
      return FakeFingerFW4853NetMaxPool();
    case 15:
      return FakeFingerFW4852NetMaxPool();
    default:
      return -1;
  }
}

extern "C" int32_t FakeFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                                     int32_t weight_count,
                                                     const int16_t *layer_table,
                                                     int32_t table_len) {
  g_fake_finger.net = NetFunctionSt{netVersion, weight_count, table_len, weights, layer_table};
  if (g_fake_finger.chip == -1) return 0;
  return ZqNetRecallMemroyPool(FakeFinger_Net_MaxMemeory());
}

extern "C" int32_t FakeFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len) {
  const int32_t ret = zq_net::StoreNet(__func__, &g_fake_finger, net, len);
  if (ret != 0) return ret;
  if (g_fake_finger.chip == -1) return 0;
  return ZqNetRecallMemroyPool(FakeFinger_Net_MaxMemeory());
}

extern "C" int32_t FakeFingerUninit(void) {
  g_fake_finger = zq_net::kNoClassifier;
  return 0;
}

extern "C" int32_t predict_FW4843_FakeFinger(const uint8_t *image, int32_t rows, int32_t cols,
                                             int32_t *cls, float *score) {
  return Predict(kFW4843, image, rows, cols, cls, score);
}

extern "C" int32_t predict_FW4854_FakeFinger(const uint8_t *image, int32_t rows, int32_t cols,
                                             int32_t *cls, float *score) {
  return Predict(kFW4854, image, rows, cols, cls, score);
}

extern "C" int32_t predict_fakefinger_v2(const uint8_t *image, int32_t rows, int32_t cols,
                                         int32_t *cls, float *score) {
  switch (g_fake_finger.chip) {
    case 3:
    case 8:
      return Predict(kFW4845, image, rows, cols, cls, score);
    case 6:
    case 11:
      return Predict(kFW4849, image, rows, cols, cls, score);
    case 9:
      return Predict(kZE4850, image, rows, cols, cls, score);
    case 10:
      return Predict(kDO4851, image, rows, cols, cls, score);
    case 12:
      return predict_FW4843_FakeFinger(image, rows, cols, cls, score);
    case 13:
      return predict_FW4854_FakeFinger(image, rows, cols, cls, score);
    case 14:
      return Predict(kFW4853, image, rows, cols, cls, score);
    default:
      return 0;
  }
}
