// Enrolment of supplied frames against the real algorithm core: the gates in
// their order with ratings scripted through the host quality handler, the
// driver's whole enrol sequence on synthetic presses of one finger (with the
// tips refusal and the forced enrolment of the refused press), the
// duplicate refusal, the predictor thresholds and the enrol report.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_image_queries.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::SensorLibTest;

constexpr int kSide = 96;

// Host services of the driver; the enrol path never reaches the sensor.
int SpiWrite(const uint8_t *, uint16_t) { return 0; }
int SpiRead(uint8_t *, uint8_t *, uint32_t) { return 0; }
void Usleep(uint32_t) {}
uint64_t Clock() { return 0; }
int McuStatus() { return 0; }

// The scripted module rating and what the library saw while asking for it.
struct ScriptedRating {
  int ret = 0;
  uint8_t bytes[4] = {80, 95, 60, 10};
  uint32_t mode_seen = 99;
};
ScriptedRating g_rating;

int RatingHandler(uint8_t *q, uint8_t *a, uint8_t *c, uint8_t *x) {
  g_rating.mode_seen = gQuorvActionMode;
  *q = g_rating.bytes[0];
  *a = g_rating.bytes[1];
  *c = g_rating.bytes[2];
  *x = g_rating.bytes[3];
  return g_rating.ret;
}

fingers::MasterFinger Master(int finger) {
  return fingers::MakeMaster(fingers::PopulationFinger(43, finger));
}

// A full-contact press of m, its window centre moved by (dx, dy) from the
// pattern centre and turned by rotation.
std::vector<uint8_t> Press(const fingers::MasterFinger &m, int press, double dx, double dy,
                           double rotation = 0.0) {
  return fingers::FullContactPress(m, press, dx, dy, rotation, kSide, kSide).frame.gray;
}

class EnrollTest : public SensorLibTest {
 protected:
  void SetUp() override {
    SensorLibTest::SetUp();
    ResetCore();
    g_rating = ScriptedRating{};
    // The driver's order: five registrations, create, setters, init.
    quorv_InitFuncSpiWrite(SpiWrite);
    quorv_InitFuncSpiRead(SpiRead);
    quorv_InitFuncUsleep(Usleep);
    quorv_InitFuncGetSystemTime(Clock);
    quorv_InitFuncGetMcuStatus(McuStatus);
    Create();
    quorv_SetFpSensorColsRows(kSide, kSide);
    quorv_SetEnrollMaxTpl(12);
    quorv_SetFpAlgMaxTpl(48);
    quorv_SetAlgFarLevel(14);
    ASSERT_EQ(quorv_InitFpAlg(), 0);
    ASSERT_EQ(quorv_ClearEnrollPara(), 0);
    HostLog().clear();
  }
  void TearDown() override {
    ZqPredictorsSetForTest(nullptr, nullptr);
    quorv_InitFuncSpiWrite(nullptr);
    quorv_InitFuncSpiRead(nullptr);
    quorv_InitFuncUsleep(nullptr);
    quorv_InitFuncGetSystemTime(nullptr);
    quorv_InitFuncGetMcuStatus(nullptr);
    SensorLibTest::TearDown();
    ResetCore();
  }
  static void ResetCore() {
    ZqAlgModeResetForTest();
    ZqMachInfoResetForTest();
    ZqMatchInfoTwoResetForTest();
    ZqVerifyByTemplateResetForTest();
    quorv_EnrollResetForTest();
    gQuorvActionMode = 0;
  }
  const fingers::MasterFinger master_ = Master(0);
};

TEST_F(EnrollTest, GatesRefuseInOrderWithStrictThresholds) {
  quorv_GetImgQualityByFwHandle(RatingHandler);
  const std::vector<uint8_t> press = Press(master_, 0, 0, 0);
  struct Case {
    const char *what;
    uint8_t q, a;
    int ret;
  };
  // Thresholds: quality 30, area 90.
  const Case cases[] = {
      {"quality and area at their thresholds pass", 30, 90, QUORV_OK},
      {"quality one below", 29, 90, QUORV_ERR_LOW_QUALITY},
      {"area one below", 30, 89, QUORV_ERR_SMALL_AREA},
      {"quality checked before area", 29, 89, QUORV_ERR_LOW_QUALITY},
      {"area 0 is not a finger, whatever the quality", 100, 0, QUORV_ERR_NOT_FINGER},
      {"quality 0 is not a finger", 0, 100, QUORV_ERR_NOT_FINGER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    g_rating.bytes[0] = c.q;
    g_rating.bytes[1] = c.a;
    g_rating.mode_seen = 99;
    EXPECT_EQ(quorv_EnrollByImage(3, 0, press.data()), c.ret);
    EXPECT_EQ(g_rating.mode_seen, QUORV_ACTION_ENROLL);
    EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
    EXPECT_EQ(gEnrollInfo.enrollRet, c.ret);
    EXPECT_EQ(gEnrollInfo.quality, c.q) << "the rating is recorded on every path";
    EXPECT_EQ(gEnrollInfo.area, c.a);
    EXPECT_EQ(gEnrollInfo.cond, 60);
    EXPECT_EQ(gEnrollInfo.contrast, 10);
    EXPECT_EQ(gEnrollInfo.reserved0, 0xff);
    EXPECT_EQ(gEnrollInfo.fingerId, 3);
    EXPECT_EQ(gEnrollInfo.enrollIndex, 0);
    EXPECT_EQ(gEnrollInfo.forceEnrollRet, -1);
    EXPECT_EQ(gEnrollInfo.subTplsNum, c.ret == QUORV_OK ? 1 : 0);
    uint8_t area = 0, quality = 0, cond = 0;
    quorv_GetImageInfo(&area, &quality, &cond);
    EXPECT_EQ(quality, c.q);
    EXPECT_EQ(area, c.a);
    ZqCancelEnroll(3);
  }
}

TEST_F(EnrollTest, AnIncompleteOrFailedModuleRatingIsMeasuredInstead) {
  const std::vector<uint8_t> press = Press(master_, 0, 0, 0);
  uint8_t measured[4];
  ASSERT_GE(ZqGetImageQuality(press.data(), measured), 0);
  ASSERT_GT(measured[0], 0);
  ASSERT_GT(measured[1], 0);
  quorv_GetImgQualityByFwHandle(RatingHandler);
  struct Case {
    int ret;
    uint8_t contrast;
  };
  for (const Case &c : {Case{-1, 10}, Case{0, 0xff}}) {
    g_rating.ret = c.ret;
    g_rating.bytes[0] = 1;  // would fail the quality gate if it were taken
    g_rating.bytes[3] = c.contrast;
    quorv_EnrollByImage(0, 0, press.data());
    EXPECT_EQ(gEnrollInfo.quality, measured[0]) << c.ret;
    EXPECT_EQ(gEnrollInfo.area, measured[1]) << c.ret;
    EXPECT_NE(gEnrollInfo.enrollRet, QUORV_ERR_LOW_QUALITY);
  }
}

TEST_F(EnrollTest, MissingImageOrBuffersGiveMinusOne) {
  EXPECT_EQ(quorv_EnrollByImage(0, 0, nullptr), QUORV_ERR_INPUT);
  EXPECT_TRUE(Logged("image == NULL"));
  EXPECT_EQ(gEnrollInfo.enrollRet, -1);
  // The forced enrolment resets the record before refusing the image too.
  gEnrollInfo.forceEnrollRet = 0;
  HostLog().clear();
  EXPECT_EQ(quorv_ForceEnrollByImage(0, 0, nullptr), QUORV_ERR_INPUT);
  EXPECT_TRUE(Logged("image == NULL"));
  EXPECT_EQ(gEnrollInfo.forceEnrollRet, -1);

  // A size change without a new initialisation: the buffers no longer fit.
  quorv_SetFpSensorColsRows(kSide, kSide + 8);
  const std::vector<uint8_t> big(kSide * (kSide + 8), 128);
  EXPECT_EQ(quorv_EnrollByImage(0, 0, big.data()), QUORV_ERR_INPUT);
  EXPECT_EQ(quorv_ForceEnrollByImage(0, 0, big.data()), QUORV_ERR_INPUT);
  EXPECT_EQ(quorv_NoneSlideForceEnroll(0, 0, nullptr), -3);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
}

TEST_F(EnrollTest, NonFingerFramesAreRefused) {
  fingers::NonFingerParams p;
  p.width = p.height = kSide;
  p.kind = fingers::NonFingerKind::kEmpty;
  const std::vector<uint8_t> empty = fingers::RenderNonFinger(p).gray;
  EXPECT_EQ(quorv_EnrollByImage(0, 0, empty.data()), QUORV_ERR_NOT_FINGER);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
  EXPECT_EQ(quorv_ForceEnrollByImage(0, 0, empty.data()), QUORV_ERR_NOT_FINGER);
  EXPECT_EQ(gEnrollInfo.forceEnrollRet, QUORV_ERR_NOT_FINGER);
  EXPECT_EQ(gEnrollInfo.enrollRet, -1) << "the forced variant writes its own field";
}

// The driver's enrolment: presses around the finger, a repeated press that
// must move, and the forced enrolment of exactly that press.
TEST_F(EnrollTest, DriverSequenceEnrolsOneFingerAndForcesTheRepeatedPress) {
  // Presses turned far enough from each other for the tips check to let
  // them in (a turn of at least 10 degrees where they overlap).
  const double poses[][3] = {{0, 0, 0}, {-16, -12, 0.3}, {16, 12, -0.3}, {-16, 12, 0.6}};
  int enrolled = 0;
  uint8_t index = 0;
  for (int i = 0; i < 4; ++i) {
    const std::vector<uint8_t> p = Press(master_, i, poses[i][0], poses[i][1], poses[i][2]);
    const int ret = quorv_EnrollByImage(0, index, p.data());
    ASSERT_TRUE(ret == QUORV_OK || ret == QUORV_ERR_MUST_MOVE) << i << ": " << ret;
    if (ret == QUORV_OK) {
      ++enrolled;
      ++index;
    }
    EXPECT_EQ(ZqGetSubtemplatesNum(0), enrolled);
  }
  ASSERT_GE(enrolled, 2);

  // The last press again overlaps the newest sub-template completely.
  const std::vector<uint8_t> again = Press(master_, 3, poses[3][0], poses[3][1], poses[3][2]);
  const int32_t heap = gMallocCnts;
  ASSERT_EQ(quorv_EnrollByImage(0, index, again.data()), QUORV_ERR_MUST_MOVE);
  EXPECT_EQ(gMallocCnts, heap) << "the refused sample is released";
  EXPECT_EQ(gEnrollInfo.enrollRet, QUORV_ERR_MUST_MOVE);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), enrolled);
  const QuorvImgeBuf *b = g_fp_image_buf;
  EXPECT_EQ(memcmp(b->g_forceEnrollBuf, again.data(), again.size()), 0);
  EXPECT_EQ(memcmp(b->g_fpImageBuf, again.data(), again.size()), 0);

  uint8_t scratch = 0;
  ASSERT_EQ(quorv_ForceEnroll(0, index, &scratch), QUORV_OK);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), enrolled + 1);
  EXPECT_EQ(gEnrollInfo.forceEnrollRet, 0);
  EXPECT_EQ(gEnrollInfo.forceEnrollFailed, 0);
  EXPECT_EQ(gEnrollInfo.enrollRet, QUORV_ERR_MUST_MOVE) << "left as the refused press wrote it";
  EXPECT_EQ(gEnrollInfo.subTplsNum, enrolled + 1);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);

  // A forced enrolment at an index that is not the next one fails.
  ASSERT_EQ(quorv_ForceEnroll(0, 40, &scratch), QUORV_ERR_ALGORITHM);
  EXPECT_EQ(gEnrollInfo.forceEnrollFailed, 1);

  EXPECT_EQ(quorv_CancelEnroll(10), -2);
  EXPECT_EQ(quorv_CancelEnroll(0), 0);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
}

TEST_F(EnrollTest, AFingerAlreadyEnrolledIsRefusedWhenTheCheckIsOn) {
  const double offsets[][2] = {{0, 0}, {-20, -16}, {20, 16}, {-20, 16}, {20, -16}, {0, 20}};
  uint8_t index = 0;
  quorv_SetEnrollmentTipsEn(0);
  for (int i = 0; i < 6; ++i) {
    const std::vector<uint8_t> p = Press(master_, i, offsets[i][0], offsets[i][1]);
    ASSERT_EQ(quorv_EnrollByImage(0, index++, p.data()), QUORV_OK) << i;
  }
  ASSERT_EQ(quorv_SetTplValid(0), 0);

  const std::vector<uint8_t> probe = Press(master_, 9, 6, -4, 0.1);
  quorv_EnrollmentDuplicateCheckEn(1);
  EXPECT_EQ(quorv_EnrollByImage(1, 0, probe.data()), QUORV_ERR_ENROLLED);
  EXPECT_EQ(ZqGetSubtemplatesNum(1), 0);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);

  const std::vector<uint8_t> other = Press(Master(3), 0, 0, 0);
  EXPECT_EQ(quorv_EnrollByImage(1, 0, other.data()), QUORV_OK) << "a new finger goes on";
  EXPECT_EQ(quorv_SetTplValid(12), -1);
}

TEST_F(EnrollTest, SlideModesForceTheKeptImage) {
  const std::vector<uint8_t> kept = Press(master_, 1, 0, 0);
  const std::vector<uint8_t> other = Press(master_, 2, 20, 0, 0.5);
  QuorvImgeBuf *b = g_fp_image_buf;
  memcpy(b->g_forceEnrollBuf, kept.data(), kept.size());
  memcpy(b->g_fpImageBuf, other.data(), other.size());
  quorv_SetSlideEnrollEn(6);
  quorv_SetImageSaveEn(1);
  uint8_t scratch = 0;
  ASSERT_EQ(quorv_ForceEnroll(4, 0, &scratch), QUORV_OK);
  EXPECT_EQ(memcmp(b->g_fpImageBuf, kept.data(), kept.size()), 0) << "restored before enrolling";
  EXPECT_EQ(ZqGetSubtemplatesNum(4), 1);
  uint8_t n = 0;
  ASSERT_EQ(quorv_GetFpImageNum(&n), 0);
  EXPECT_EQ(n, 0) << "one kept image, numbered 0";
  std::vector<uint8_t> saved(kept.size());
  quorv_GetFpImageBuffOnly(saved.data(), static_cast<uint16_t>(saved.size()), 0);
  EXPECT_EQ(saved, kept);

  EXPECT_EQ(quorv_SlideForceEnroll(0, 3), 0);
  ASSERT_EQ(quorv_GetEnrollImageNum(), 1);
  quorv_GetEnrollImageBuffOnly(saved.data(), static_cast<uint16_t>(saved.size()), 1);
  EXPECT_EQ(saved, kept);
}

TEST_F(EnrollTest, ForcedEnrolmentByImageSkipsAllButTheRating) {
  quorv_GetImgQualityByFwHandle(RatingHandler);
  g_rating.bytes[0] = 1;  // never asked: a quality of 1 would fail any gate
  quorv_EnrollNonFingerDetect(1);
  quorv_EnrollmentDuplicateCheckEn(1);
  const std::vector<uint8_t> p = Press(master_, 0, 0, 0);
  ASSERT_EQ(quorv_ForceEnrollByImage(5, 0, p.data()), QUORV_OK);
  ASSERT_EQ(quorv_ForceEnrollByImage(5, 1, p.data()), QUORV_OK) << "no tips check";
  EXPECT_EQ(g_rating.mode_seen, 99u);
  EXPECT_EQ(gEnrollInfo.forceEnrollRet, 0);
  EXPECT_EQ(gEnrollInfo.subTplsNum, 2);
  EXPECT_GT(gEnrollInfo.quality, 1);
  EXPECT_EQ(quorv_ForceEnrollByImage(5, 7, p.data()), QUORV_ERR_ALGORITHM) << "not the next index";
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
}

TEST_F(EnrollTest, FrrFarEnrolmentAdvancesItsOwnIndex) {
  EXPECT_EQ(quorv_Enroll_frr_far(nullptr), QUORV_ERR_INPUT);
  for (const std::string &m : HostLog()) {
    EXPECT_EQ(m.find("quorv_Enroll_frr_far"), std::string::npos) << "refused silently: " << m;
  }
  const double poses[][3] = {{0, 0, 0}, {-16, -12, 0.3}, {16, 12, -0.3}};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(quorv_Enroll_frr_far(Press(master_, i, poses[i][0], poses[i][1], poses[i][2]).data()),
              QUORV_OK)
        << i;
    EXPECT_EQ(g_quorvInternalEnrollIndex, i + 1);
    EXPECT_NE(template_cur, nullptr) << "the sample stays current";
  }
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 3);
  const std::vector<uint8_t> again = Press(master_, 2, 16, 12, -0.3);
  EXPECT_EQ(quorv_Enroll_frr_far(again.data()), QUORV_ERR_MUST_MOVE);
  EXPECT_EQ(memcmp(g_fp_image_buf->g_forceEnrollBuf, again.data(), again.size()), 0);
  EXPECT_EQ(g_quorvInternalEnrollIndex, 3);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);

  EXPECT_EQ(quorv_Init_frr_far(), 0);
  EXPECT_EQ(g_quorvInternalEnrollIndex, 0);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(template_cur, nullptr);
}

TEST_F(EnrollTest, RatingQueriesRefuseWhatTheyCannotRate) {
  const std::vector<uint8_t> p = Press(master_, 0, 0, 0);
  uint8_t out[4];
  ASSERT_GE(ZqGetImageQuality(p.data(), out), 0);
  EXPECT_EQ(quorv_VerifyImagebuf(p.data(), out[0], 0), -1) << "quality equal to the threshold";
  EXPECT_EQ(quorv_VerifyImagebuf(p.data(), out[0] - 1, out[1] - 1), 0);
  EXPECT_EQ(quorv_VerifyImagebuf(nullptr, 0, 0), -1) << "no rating, no pass";

  uint8_t q = 9, a = 9, c = 9;
  EXPECT_EQ(quorv_SendImageAndGetQualityArea(p.data(), nullptr, &a), -1);
  ASSERT_EQ(quorv_SendImageAndGetQualityAreaCond(p.data(), &q, &a, &c), 0);
  EXPECT_EQ(q, out[0]);
  EXPECT_EQ(a, out[1]);
  EXPECT_EQ(c, out[2]);

  std::vector<uint8_t> dst(QUORV_SPI_IMAGE_BUF_SIZE + 1, 0xaa);
  EXPECT_EQ(quorv_GetSensorImageBeforeFilter(dst.data(), QUORV_SPI_IMAGE_BUF_SIZE + 1), -1);
  EXPECT_EQ(dst[0], 0xaa);
  EXPECT_EQ(quorv_GetSensorImageBeforeFilter(dst.data(), QUORV_SPI_IMAGE_BUF_SIZE), 0);
  EXPECT_EQ(quorv_GetSensorImageBeforeFilter(nullptr, 1), -1);
  EXPECT_EQ(quorv_GetSensorImage(0, nullptr), -1);
}

// --- Predictors --------------------------------------------------------------

float g_score = 0.0f;
bool g_write_score = true;

int32_t ScriptedPredict(const uint8_t *, int32_t, int32_t, int32_t *cls, float *score) {
  *cls = 1;
  if (!g_write_score) return -1;
  *score = g_score;
  return 0;
}

TEST_F(EnrollTest, PredictorVerdictsUseTheLevelThresholdInSinglePrecision) {
  ZqPredictorsSetForTest(ScriptedPredict, ScriptedPredict);
  quorv_SetNonFingerDetectVer(1);
  quorv_SetFakeFingerDetect(2, 0, 0);
  g_write_score = true;
  struct Case {
    uint8_t level;
    float score;
    int verdict;
  };
  const Case cases[] = {
      {0, 0.59f, 0}, {0, 0.60f, 1}, {1, 0.49f, 0}, {1, 0.50f, 1},
      {2, 0.39f, 0}, {2, 0.40f, 1}, {11, 0.39f, 0}, {200, 0.40f, 1},
  };
  const std::vector<uint8_t> img(kSide * kSide, 128);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.level) << " " << c.score);
    g_score = c.score;
    quorv_SetNoneFingerLevel(0, c.level);
    quorv_SetNonFingerDetect(1, 0, c.level);
    quorv_SetFakeFingerDetect(2, 0, c.level);
    detectRate = 0.0f;
    EXPECT_EQ(quorv_EnrollNonFingerPredict(img.data()), c.verdict);
    EXPECT_EQ(detectRate, c.score);
    EXPECT_EQ(quorv_IdentifyNonFingerPredict(img.data()), c.verdict);
    EXPECT_EQ(quorv_FakeFingerPredict(img.data()), c.verdict);
  }
}

TEST_F(EnrollTest, APredictorThatCannotDecideMeansFinger) {
  ZqPredictorsSetForTest(ScriptedPredict, ScriptedPredict);
  quorv_SetNonFingerDetectVer(1);
  quorv_EnrollNonFingerDetect(1);
  quorv_SetFakeFingerDetect(2, 0, 0);
  g_write_score = false;
  detectRate = 0.7f;
  const std::vector<uint8_t> img(kSide * kSide, 128);
  EXPECT_EQ(quorv_EnrollNonFingerPredict(img.data()), 0);
  EXPECT_EQ(detectRate, 0.0f);
  EXPECT_EQ(quorv_IdentifyNonFingerPredict(img.data()), 0);
  EXPECT_EQ(quorv_FakeFingerPredict(img.data()), 0);
  quorv_SetFakeFingerDetect(1, 0, 0);
  g_write_score = true;
  g_score = 1.0f;
  EXPECT_EQ(quorv_FakeFingerPredict(img.data()), 0) << "the fake CNN runs in mode 2 only";
  g_write_score = false;

  // The enrol gate: a finger press passes the undecided predictor.
  EXPECT_EQ(quorv_EnrollByImage(0, 0, Press(master_, 0, 0, 0).data()), QUORV_OK);
  g_write_score = true;
  g_score = 0.9f;
  EXPECT_EQ(quorv_EnrollByImage(0, 0, Press(master_, 0, 0, 0).data()), QUORV_ERR_NOT_FINGER);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
}

// --- The report ------------------------------------------------------------------

TEST_F(EnrollTest, ReportAfterAResetAndAfterAnEnrolment) {
  int32_t n = 77;
  quorv_EnrollInfoReset();
  const QuorvEnrollInfo before = gEnrollInfo;
  EXPECT_EQ(quorv_SaveEnrollInfo(nullptr), nullptr);
  EXPECT_EQ(memcmp(&before, &gEnrollInfo, sizeof before), 0);

  const std::string reset =
      "enrollRet = -1\nforceEnrollRet = -1\nisEnroll = False\nfingerId = 255\n"
      "enrollIndex = 255\nsubTplsNum = 255\narea = 255, quality = 255, cond = 255\n"
      "maxNum = 255, minNum = 255, all = 510\n";
  ASSERT_EQ(quorv_SaveEnrollInfo(&n), gEnrollInfoBuf);
  EXPECT_EQ(std::string(gEnrollInfoBuf), reset);
  EXPECT_EQ(n, static_cast<int32_t>(reset.size()));

  quorv_GetImgQualityByFwHandle(RatingHandler);
  g_rating.bytes[0] = 81;
  g_rating.bytes[1] = 97;
  g_rating.bytes[2] = 44;
  ASSERT_EQ(quorv_EnrollByImage(2, 0, Press(master_, 0, 0, 0).data()), QUORV_OK);
  int32_t maxNum = 0, minNum = 0;
  ZqGetExtremum(&maxNum, &minNum);
  char tail[80];
  snprintf(tail, sizeof tail, "maxNum = %d, minNum = %d, all = %d\n", maxNum & 0xff,
           minNum & 0xff, (maxNum & 0xff) + (minNum & 0xff));
  const std::string want = std::string("enrollRet = 0\nforceEnrollRet = -1\nisEnroll = True\n") +
                           "fingerId = 2\nenrollIndex = 0\nsubTplsNum = 1\n" +
                           "area = 97, quality = 81, cond = 44\n" + tail;
  EXPECT_EQ(std::string(quorv_SaveEnrollInfo(&n)), want);
  EXPECT_EQ(gEnrollInfo.enrollRet, -1) << "reported once, then reset";
}

}  // namespace
