// Shared set-up of the template-update tests, on top of the identification
// fixture (the driver's configuration on a 96 x 96 sensor, presses of
// synthetic fingers, enrolment and identification): its own population of
// masters, samples kept for the test, the update record and a log
// collector.
#ifndef TESTS_SRC_ZQALG_ZQ_UPDATE_FIXTURE_H_
#define TESTS_SRC_ZQALG_ZQ_UPDATE_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"
#include "zq_press_fixture.h"

namespace zq_update_test {

using Sample = zq_test::SamplePtr;

inline std::vector<std::string> &LogLines() {
  static std::vector<std::string> lines;
  return lines;
}

inline int CollectLog(const char *fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  LogLines().emplace_back(buf);
  return 0;
}

inline bool Logged(const std::string &text) {
  for (const std::string &l : LogLines())
    if (l == text) return true;
  return false;
}

// Finger `finger` of the update tests' population.
inline fingers::MasterFinger Master(int finger) { return zq_test::PressMaster(finger, 41); }

// The sample of a press of m (zq_test::Press).
inline Sample Press(const fingers::MasterFinger &m, int press, double dx, double dy,
                    double rotation = 0.0) {
  return std::move(zq_test::Press(m, press, dx, dy, rotation).sample);
}

// The identification fixture's configuration and algorithm state, in the
// idle action mode, logging into LogLines(); the tear-down checks that no
// heap block is left.
class UpdateTest : public zq_test::VerifyStoreTest {
 protected:
  void SetUp() override {
    baseline_ = ZqGetMallocCnts();
    VerifyStoreTest::SetUp();
    if (HasFatalFailure()) return;
    gQuorvActionMode = QUORV_ACTION_IDLE;
    g_debuginfo = 2;
    g_loglevel = 0;
    quorv_fp_log = CollectLog;
    LogLines().clear();
  }
  void TearDown() override {
    samples_.clear();
    VerifyStoreTest::TearDown();
    EXPECT_EQ(ZqGetMallocCnts(), baseline_);
    g_debuginfo = 0;
    quorv_fp_log = nullptr;
    LogLines().clear();
  }

  static ST_QuorvEnrollTemplate &Finger(int f) { return *gEnrolledTemplate[f]; }
  static ST_QuorvTempupdateInfor &Record() { return *gQuorvTempupdateInfor; }

  // Keeps a press alive until the tear-down.
  ST_SubTemplate *Keep(Sample s) {
    samples_.push_back(std::move(s));
    return samples_.back().get();
  }

  // Identifies sample in the identify action mode: the result, *finger
  // and (when H is not NULL) the transform.
  static int Identify(const ST_SubTemplate *sample, uint16_t *finger, ST_FullHMatrix *H = nullptr) {
    gQuorvActionMode = QUORV_ACTION_IDENTIFY;
    const Outcome o = VerifyStoreTest::Identify(sample);
    gQuorvActionMode = QUORV_ACTION_IDLE;
    *finger = o.fid;
    if (H != nullptr) *H = o.H;
    return o.ret;
  }

  // Loads sample into the update record as an identification of finger f
  // would: a copy, update flag 1, no compared marks.
  static void Offer(const ST_SubTemplate *sample, int f) {
    ST_QuorvTempupdateInfor &r = Record();
    ASSERT_EQ(ZqSubTemplateCopy(&r.updateVerifyTemplate, sample), 0);
    for (uint8_t &b : r.updateVerifyTemplate.coinFlg) b = 0;
    r.updateFingerId = static_cast<uint16_t>(f);
    r.updateFlag = 1;
    r.updateTag = 9;
  }

  int32_t baseline_ = 0;
  std::vector<Sample> samples_;
};

}  // namespace zq_update_test

#endif  // TESTS_SRC_ZQALG_ZQ_UPDATE_FIXTURE_H_
