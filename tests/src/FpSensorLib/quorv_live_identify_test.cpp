// Live identification: classification of weak captures, the action modes
// and the MCU interrupt mode around the rescans, the match, fake-finger and
// rescue outcomes, the slide identification, and a genuine press enrolment
// identified live.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_live_identify.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqMachInfo.h"

namespace sensorlib_test {
namespace {

// Ratings the host quality handler gives, one per capture: quality, area,
// cond. An empty script lets the algorithm core rate.
std::deque<std::vector<uint8_t>> &Ratings() {
  static std::deque<std::vector<uint8_t>> r;
  return r;
}
int HostRating(uint8_t *quality, uint8_t *area, uint8_t *cond, uint8_t *contrast) {
  if (Ratings().empty()) return -1;
  const std::vector<uint8_t> r = Ratings().front();
  Ratings().pop_front();
  *quality = r[0];
  *area = r[1];
  *cond = r[2];
  *contrast = 10;
  return 0;
}

// Scripted matcher: results in order (-1 past the end); a match reports
// finger 3 with update 1. Every call leaves `score` as the best score of
// finger 3, as the matcher does.
struct Matcher {
  std::vector<int> results;
  int32_t score = 0;
  std::vector<uint32_t> modes;  // gQuorvActionMode at each call
};
Matcher &M() {
  static Matcher m;
  return m;
}
int ScriptedVerify(const ST_SubTemplate *, uint16_t *fid, int16_t *upd, ST_FullHMatrix *,
                   uint8_t) {
  Matcher &m = M();
  const size_t i = m.modes.size();
  m.modes.push_back(gQuorvActionMode);
  const int r = i < m.results.size() ? m.results[i] : -1;
  gVerifyScores = m.score;
  gVerifyFingerId = m.score != 0 ? 3 : 255;
  if (r == 0) {
    *fid = 3;
    *upd = 1;
  }
  return r;
}
int32_t ScriptedTemplate(uint8_t *, ST_SubTemplate *, const uint8_t *) { return 0; }

int g_fake_verdict = 0;
int FakeVerdict(const uint8_t *) { return g_fake_verdict; }
int g_status_calls = 0;
uint8_t FingerOn() {
  ++g_status_calls;
  return 1;
}

class LiveIdentifyTest : public LiveTest {
 protected:
  void SetUp() override {
    LiveTest::SetUp();
    Ratings().clear();
    M() = Matcher{};
    g_fake_verdict = 0;
    g_status_calls = 0;
    quorv_GetImgQualityByFwHandle(HostRating);
  }
  void TearDown() override {
    quorv_CoreCallsResetForTest();
    ZqMachInfoResetForTest();
    memset(fingerMachScores, 0, sizeof(fingerMachScores));
    memset(recentMachScores, 0, sizeof(recentMachScores));
    memset(successMachTimes, 0, sizeof(successMachTimes));
    LiveTest::TearDown();
  }
  // Extraction and matching scripted; the overlap check off.
  static void ScriptCore() {
    g_quorvCore.GetTemplate = ScriptedTemplate;
    g_quorvCore.VerifyByTemplate = ScriptedVerify;
    quorv_SetRescanOverlapAreaThreshold(99);
  }
  // n captures of distinct fingers, each rated `rating`.
  static void PushCaptures(int n, std::vector<uint8_t> rating) {
    for (int i = 0; i < n; ++i) {
      fake_sensor::PushCapture(0, FingerFrame(i + 1));
      Ratings().push_back(rating);
    }
  }
  int Identify() { return quorv_Identify(&fid_, &upd_); }
  uint8_t fid_ = 0, upd_ = 0;
};

TEST_F(LiveIdentifyTest, WeakCapturesAreClassifiedByTheBestValues) {
  // Two captures (N = 2) with the per-image gates on (force-identify 0):
  // the first weak capture rescans, the second ends the identification and
  // the classification judges the best values against the identify
  // thresholds (quality 30, area 30, cond 30).
  struct Case {
    const char *name;
    std::vector<uint8_t> rating;
    int expected;
    const char *end_line;
  };
  const Case cases[] = {
      {"area low", {60, 10, 60}, -4, "quorv_NoneSlideIdentify...area is too small, ret = -4"},
      {"area low, cond below its threshold", {60, 10, 10}, -5,
       "quorv_NoneSlideIdentify...area is too small, ret = -4"},
      {"quality low", {10, 80, 60}, -3, "quorv_NoneSlideIdentify...quality is too low, ret = -3"},
      {"quality and area low", {10, 10, 60}, -4,
       "quorv_NoneSlideIdentify...quality is too low, ret = -3"},
  };
  quorv_SetImageRescanCnt(2);
  quorv_SetForceIdentifyEnable(0);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    HostLog().clear();
    fake_sensor::Reset();
    PushCaptures(2, c.rating);
    EXPECT_EQ(Identify(), c.expected);
    EXPECT_EQ(fid_, QUORV_NO_FINGER);
    EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 2);
    EXPECT_TRUE(Logged(c.end_line));
    EXPECT_EQ(EnrollImages().size(), 0u);  // emptied at the end
    EXPECT_EQ(RescanImages().size(), 2u);  // the captures of this attempt
  }
}

TEST_F(LiveIdentifyTest, ForcedIdentifyStillClassifiesByTheConfiguredThresholds) {
  // Force-identify (the default) lets weak images reach the matcher; the
  // final failure is still judged by the configured thresholds.
  ScriptCore();
  quorv_SetImageRescanCnt(2);
  PushCaptures(2, {60, 10, 60});
  EXPECT_EQ(Identify(), -4);
  EXPECT_EQ(M().modes.size(), 2u);
  // The captures are gone from the enrol-image list: nothing to analyse.
  EXPECT_EQ(quorv_GetIdentifyResultInfo(-4), -8);
}

TEST_F(LiveIdentifyTest, ActionModesAndInterruptModeAcrossRescans) {
  ScriptCore();
  quorv_SetImageRescanCnt(3);
  quorv_SetMcuInterrupMode(1);
  quorv_GetFingerStatusHandle(FingerOn);
  PushCaptures(3, {60, 80, 60});
  EXPECT_EQ(Identify(), -2);

  const fake_sensor::Calls &calls = fake_sensor::Recorded();
  EXPECT_EQ(calls.action_modes, (std::vector<uint32_t>{2, 5, 4}));
  EXPECT_EQ(M().modes, (std::vector<uint32_t>{2, 5, 4}));
  EXPECT_EQ(gQuorvActionMode, 0u);
  // The first capture reads what the interrupt left; rescans scan afresh.
  EXPECT_EQ(calls.simple_reads, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(calls.read_modes, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(g_pQuorvConfigInfo->mcu_interrupt_mode, 1);
  EXPECT_EQ(g_status_calls, 3);
}

TEST_F(LiveIdentifyTest, OutcomesOfMatchFakeFingerAndRescue) {
  // Rule 1 (level 2) would accept any failure now: low quality against the
  // limit 100, a score above 3 and three positive recent scores.
  struct Case {
    const char *name;
    std::vector<int> verify;
    int fake;        // fake-finger verdict
    uint8_t second;  // second argument of the fake-finger setting
    uint8_t level;   // optimise-identify level
    int expected;
    uint8_t fid;
    uint8_t upd;
  };
  const Case cases[] = {
      {"match on the rescan", {-1, 0}, 0, 0, 0, 0, 3, 1},
      {"fake finger on a match", {0}, 1, 1, 0, -20, 255, 0},
      {"fake finger on a match is never rescued", {0}, 1, 1, 2, -20, 255, 0},
      {"fake finger on the last failure is never rescued", {-1, -1}, 1, 0, 2, -20, 255, 0},
      {"failure rescued by rule 1", {-1, -1}, 0, 0, 2, 0, 3, 0},
      {"level 0 never rescues", {-1, -1}, 0, 0, 0, -2, 255, 0},
      {"level 8 never rescues", {-1, -1}, 0, 0, 8, -2, 255, 0},
      {"level 255 never rescues", {-1, -1}, 0, 0, 255, -2, 255, 0},
  };
  ScriptCore();
  quorv_SetImageRescanCnt(2);
  g_quorvCore.FakeFinger = FakeVerdict;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fake_sensor::Reset();
    M() = Matcher{c.verify, 20, {}};
    g_fake_verdict = c.fake;
    quorv_SetFakeFingerDetect(2, c.second, 1);
    quorv_SetOptimizeIdentifyLevel(c.level, 5, 100);
    for (int i = 0; i < 5; ++i) recentMachScores[i] = i < 3 ? 9 : 0;
    PushCaptures(2, {60, 80, 60});
    EXPECT_EQ(Identify(), c.expected);
    EXPECT_EQ(fid_, c.fid);
    EXPECT_EQ(upd_, c.upd);
    EXPECT_EQ(ZqGetMatchScores(), 0);  // cleared at the end
  }
}

TEST_F(LiveIdentifyTest, SlideModesRunTheSlideIdentification) {
  ScriptCore();
  quorv_SetImageRescanCnt(2);
  quorv_SetMcuInterrupMode(1);
  quorv_SetImageSaveEn(1);
  struct Case {
    uint8_t mode;
    bool slide;
  };
  for (const Case c : {Case{1, true}, Case{5, true}, Case{6, false}, Case{7, false}}) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    fake_sensor::Reset();
    Ratings().clear();
    M() = Matcher{{-1, 0}, 0, {}};
    quorv_SetSlideEnrollEn(c.mode);
    PushCaptures(2, {60, 80, 60});
    EXPECT_EQ(Identify(), 0);
    EXPECT_EQ(fid_, 3);
    // The slide identification keeps mode 2 throughout.
    EXPECT_EQ(M().modes, c.slide ? (std::vector<uint32_t>{2, 2}) : (std::vector<uint32_t>{2, 5}));
    EXPECT_EQ(fake_sensor::Recorded().simple_reads, (std::vector<bool>{true, false}));
    EXPECT_EQ(g_pQuorvConfigInfo->mcu_interrupt_mode, 1);
    EXPECT_EQ(gQuorvActionMode, 0u);
  }
}

TEST_F(LiveIdentifyTest, SlideIdentificationFailures) {
  ScriptCore();
  quorv_SetImageRescanCnt(2);
  quorv_SetSlideEnrollEn(3);
  // A capture error ends at once.
  fake_sensor::PushCapture(-7, FingerFrame(1));
  EXPECT_EQ(Identify(), -1);
  // No area on either capture.
  fake_sensor::Reset();
  M() = Matcher{};
  g_quorvCore.GetImageQuality = [](const uint8_t *, uint8_t *out) -> int32_t {
    out[0] = 60;
    out[1] = 20;  // at or below the identify area threshold 30
    out[2] = 60;
    return 0;
  };
  fake_sensor::PushCapture(0, FingerFrame(1));
  fake_sensor::PushCapture(0, FingerFrame(2));
  EXPECT_EQ(Identify(), -4);
  EXPECT_TRUE(M().modes.empty());
}

TEST_F(LiveIdentifyTest, NullOutputsTouchNothing) {
  uint8_t x = 7;
  EXPECT_EQ(quorv_Identify(nullptr, &x), -1);
  EXPECT_EQ(quorv_Identify(&x, nullptr), -1);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(quorv_NoneSlideIdentify(nullptr, &x), -1);
  EXPECT_EQ(quorv_SildeIdentify(&x, nullptr), -1);
  EXPECT_EQ(fake_sensor::Recorded().get_fp_image, 0);
}

TEST_F(LiveIdentifyTest, UnmovedFingerRescansThenIsClassified) {
  // From the third capture on, the same image first and last counts as a
  // finger that has not moved.
  ScriptCore();
  quorv_SetImageRescanCnt(3);
  const Frame same = FingerFrame(2);
  for (int i = 0; i < 3; ++i) {
    fake_sensor::PushCapture(0, same);
    Ratings().push_back({60, 80, 60});
  }
  EXPECT_EQ(Identify(), -2);
  EXPECT_TRUE(Logged("quorv_NoneSlideIdentify...finger not move, end. ret = -11"));
  EXPECT_EQ(M().modes.size(), 2u);  // the third capture was not matched
}

TEST_F(LiveIdentifyTest, EnrolledFingerIsIdentifiedLive) {
  quorv_GetImgQualityByFwHandle(nullptr);
  quorv_SetEnrollmentTipsEn(0);
  const int kSlot = 4;
  for (int i = 0; i < 6; ++i) {
    fake_sensor::PushCapture(0, FingerFrame(3, 10 + i));
    uint8_t progress = 0;
    ASSERT_EQ(quorv_Enroll(kSlot, static_cast<uint8_t>(i), &progress), 0) << i;
  }
  ASSERT_EQ(quorv_SetTplValid(kSlot), 0);

  fake_sensor::PushCapture(0, FingerFrame(3, 40, 2));
  fake_sensor::PushCapture(0, FingerFrame(3, 41, -2));
  EXPECT_EQ(Identify(), 0);
  EXPECT_EQ(fid_, kSlot);

  fake_sensor::Reset();
  fake_sensor::PushCapture(0, FingerFrame(9, 40));
  fake_sensor::PushCapture(0, FingerFrame(9, 41, 3));
  EXPECT_LT(Identify(), 0);
  EXPECT_EQ(fid_, QUORV_NO_FINGER);
}

int g_mcu_status = 0;
int McuStatus() { return g_mcu_status; }
uint8_t g_finger_byte = 0;
int SpiRead(uint8_t *, uint8_t *rx, uint32_t len) {
  memset(rx, g_finger_byte, len);
  return 0;
}

TEST_F(LiveIdentifyTest, FingerStatusFlag) {
  struct Case {
    uint8_t chip;
    int mcu;
    uint8_t finger;
    int expected;
  };
  const Case cases[] = {
      {1, 1, 0, 2},  // MCU busy comes first
      {1, 0, 1, 1},  // finger register set: off
      {1, 0, 0, 0},
      {4, 1, 1, 0},  // no MCU: always ready with a finger
      {0, 0, 0, 2},  // no chip: the MCU cannot be asked
  };
  quorv_InitFuncGetMcuStatus(McuStatus);
  quorv_InitFuncSpiRead(SpiRead);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.chip} << "/" << c.mcu << "/" << int{c.finger});
    quorv_IcInfoSwitch(c.chip);
    g_mcu_status = c.mcu;
    g_finger_byte = c.finger;
    EXPECT_EQ(quorv_GetFingerStatusFlag(), c.expected);
  }
  quorv_InitFuncGetMcuStatus(nullptr);
  quorv_InitFuncSpiRead(nullptr);
}

}  // namespace
}  // namespace sensorlib_test
