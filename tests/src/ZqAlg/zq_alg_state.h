// Returns the algorithm's process-global state to its load-time defaults, for
// test fixtures that run the matcher: settings, keypoint mode, match results,
// the last pair record, the action mode and the rescue flag.
#ifndef TESTS_SRC_ZQALG_ZQ_ALG_STATE_H_
#define TESTS_SRC_ZQALG_ZQ_ALG_STATE_H_

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"

namespace zq_test {

inline void ResetAlgorithmState() {
  ZqAlgSettingsResetForTest();
  ZqAlgModeResetForTest();
  ZqMachInfoResetForTest();
  ZqMatchInfoTwoResetForTest();
  gQuorvActionMode = 0;
  gRebak = 0;
}

}  // namespace zq_test

#endif  // TESTS_SRC_ZQALG_ZQ_ALG_STATE_H_
