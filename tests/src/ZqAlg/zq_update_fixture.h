// Shared set-up of the template-update tests: the driver's configuration on
// a 96 x 96 sensor, samples extracted from synthetic presses, enrolled and
// identified fingers, and a log collector.
#ifndef TESTS_SRC_ZQALG_ZQ_UPDATE_FIXTURE_H_
#define TESTS_SRC_ZQALG_ZQ_UPDATE_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/FpSensorLib/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"
#include "zq_alg_state.h"

namespace zq_update_test {

constexpr int kSide = 96;

struct SampleDeleter {
  void operator()(ST_SubTemplate *t) const { ZqReleaseTemp(t); }
};
using Sample = std::unique_ptr<ST_SubTemplate, SampleDeleter>;

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

inline fingers::MasterFinger Master(int finger) {
  return fingers::MakeMaster(fingers::PopulationFinger(41, finger));
}

// The sample of a press of m: window centre at the pattern centre +
// (dx, dy), turned by rotation, full contact.
inline Sample Press(const fingers::MasterFinger &m, int press, double dx, double dy,
                    double rotation = 0.0) {
  fingers::ImpressionParams ip;
  ip.seed = fingers::PressSeed(m, press);
  ip.width = ip.height = kSide;
  const fingers::Point c = m.PatternCenter();
  ip.center = fingers::Point{c.x + dx, c.y + dy};
  ip.rotation = rotation;
  ip.distortion = 0.2;
  ip.contact.radius = 1.6;
  std::vector<uint8_t> img = fingers::Render(m, ip).frame.gray;
  Sample s(ZqCreateTemp());
  const uint8_t quality[4] = {80, 95, 70, 0};
  EXPECT_EQ(ZqGetTemplate(img.data(), s.get(), quality), 0);
  return s;
}

// The driver's configuration, the algorithm state set up, logging into
// LogLines(); the tear-down checks that no heap block is left.
class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zq_test::ResetAlgorithmState();
    ZqVerifyByTemplateResetForTest();
    ZqSetSensorColRow(kSide, kSide);
    ZqSetAlgFarLevel(14);
    ZqSetUpdateTemplateFarLevel(16);
    ZqSetForeignBodyTest(1);
    ZqSetAlgMaxTplCnt(96);
    ZqSetFpEnrollMaxTplCnt(48);
    baseline_ = ZqGetMallocCnts();
    ASSERT_EQ(ZqInitAlgorithm(), 0);
    g_debuginfo = 2;
    g_loglevel = 0;
    quorv_fp_log = CollectLog;
    LogLines().clear();
  }
  void TearDown() override {
    samples_.clear();
    ZqDestroyIntiAlg();
    EXPECT_EQ(ZqGetMallocCnts(), baseline_);
    g_debuginfo = 0;
    quorv_fp_log = nullptr;
    LogLines().clear();
    zq_test::ResetAlgorithmState();
    ZqVerifyByTemplateResetForTest();
  }

  static ST_QuorvEnrollTemplate &Finger(int f) { return *gEnrolledTemplate[f]; }
  static ST_QuorvTempupdateInfor &Record() { return *gQuorvTempupdateInfor; }

  // Keeps a press alive until the tear-down.
  ST_SubTemplate *Keep(Sample s) {
    samples_.push_back(std::move(s));
    return samples_.back().get();
  }

  // Enrols the presses into finger f and finalises it.
  void Enrol(int f, const std::vector<ST_SubTemplate *> &presses) {
    gQuorvActionMode = QUORV_ACTION_ENROLL;
    for (size_t k = 0; k < presses.size(); ++k) {
      uint8_t out = 0;
      ASSERT_EQ(ZqEnrollByTemplate(presses[k], static_cast<int16_t>(f), static_cast<int16_t>(k), &out), 0)
          << k;
    }
    ASSERT_EQ(ZqSetTplValidFlag(static_cast<uint16_t>(f)), 0);
    gQuorvActionMode = QUORV_ACTION_IDLE;
  }

  // Identifies sample in the identify action mode: the result, *finger.
  static int Identify(const ST_SubTemplate *sample, uint16_t *finger, ST_FullHMatrix *H = nullptr) {
    gQuorvActionMode = QUORV_ACTION_IDENTIFY;
    int16_t flag = 0;
    ST_FullHMatrix h{};
    const int ret = ZqVerifyByTemplate(sample, finger, &flag, H != nullptr ? H : &h, 0);
    gQuorvActionMode = QUORV_ACTION_IDLE;
    return ret;
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
