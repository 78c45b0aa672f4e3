// The sensor library when the algorithm heap refuses: no record, no
// half-built work buffers, a dump
// without its version lines, and image lists that drop an append or keep a
// node without an image.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/alloc_failure.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/image/ZqMemoryManager.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::SensorLibTest;
using testing_support::FailHeapAfter;

class SensorLibAllocTest : public SensorLibTest {};

TEST_F(SensorLibAllocTest, CreateWithoutMemoryLeavesNoRecord) {
  const int32_t baseline = gMallocCnts;
  Create();
  bool record_step_failed = false;
  for (int n = 0;; ++n) {
    int8_t ret;
    {
      FailHeapAfter fail(n);
      ret = quorv_SensorResourceCreate();
    }
    if (ret == 0) break;
    EXPECT_EQ(ret, -1) << n;
    if (quorv_GetSensorInstanceHandle() != nullptr && g_pQuorvConfigInfo == nullptr) {
      // The instances were made, the record was not: the old one is gone.
      record_step_failed = true;
      HostLog().clear();
      quorv_SetAlgFarLevel(3);
      EXPECT_EQ(HostLog().size(), 1u) << "setters refuse instead of writing through NULL";
    }
  }
  EXPECT_TRUE(record_step_failed);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(gMallocCnts, baseline) << "each step replaced what an earlier call made";
}

TEST_F(SensorLibAllocTest, InitWithoutMemoryLeavesNoHalfBuiltBuffers) {
  const int32_t baseline = gMallocCnts;
  Create();
  for (int n = 0;; ++n) {
    int ret;
    {
      FailHeapAfter fail(n);
      ret = quorv_InitFpAlg();
    }
    if (ret == 0) break;
    ASSERT_EQ(ret, -1) << n;
    if (g_fp_image_buf != nullptr) {
      const QuorvImgeBuf *b = g_fp_image_buf;
      for (const uint8_t *p : {b->g_fpImageBuf, b->g_fpImageBufBeforeSpa, b->g_fpImageBufAfterSpa,
                               b->g_fpImageBufAlg, b->g_lastImageBuf, b->g_forceEnrollBuf,
                               b->g_fpImageBufReserve1, b->g_fpImageBufReserve2}) {
        EXPECT_NE(p, nullptr) << n;
      }
    }
  }
  EXPECT_NE(template_backup, nullptr);
  EXPECT_NE(imageInfoBuf, nullptr);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(gMallocCnts, baseline);
}

TEST_F(SensorLibAllocTest, DumpSkipsTheVersionLinesWithoutItsBuffer) {
  Create();
  g_loglevel = 3;
  {
    FailHeapAfter fail(0);
    quorv_ShowSensorConfig();
  }
  ASSERT_EQ(HostLog().size(), 89u) << "87 lines, the algorithm's line and the heap's error";
  EXPECT_EQ(HostLog()[86], "//............end............");
  EXPECT_EQ(HostLog()[87].rfind("neon config", 0), 0u);
  EXPECT_EQ(HostLog()[88], "ZqSafeAlloc...udata == NULL, size = 64");
}

// Messages other than the heap's own report of a refusal.
std::vector<std::string> ListMessages() {
  std::vector<std::string> out;
  for (const std::string &m : HostLog()) {
    if (m.rfind("ZqSafeAlloc...", 0) != 0) out.push_back(m);
  }
  return out;
}

class ImageListsAllocTest : public SensorLibTest {
 protected:
  void SetUp() override {
    SensorLibTest::SetUp();
    Create();
    quorv_SetFpSensorColsRows(4, 4);
    for (uint8_t v : {10, 20}) quorv_SaveEnrollImage(std::vector<uint8_t>(16, v).data());
    HostLog().clear();
  }
};

TEST_F(ImageListsAllocTest, AFailedNodeDropsTheAppendSilently) {
  {
    FailHeapAfter fail(0);
    quorv_SaveEnrollImage(std::vector<uint8_t>(16, 30).data());
  }
  EXPECT_EQ(quorv_GetEnrollImageNum(), 2);
  EXPECT_TRUE(ListMessages().empty());
}

TEST_F(ImageListsAllocTest, AFailedImageKeepsANodeThatReadersSkip) {
  {
    FailHeapAfter fail(1);  // the node, not its image
    quorv_SaveEnrollImage(std::vector<uint8_t>(16, 30).data());
  }
  EXPECT_TRUE(ListMessages().empty());
  ASSERT_EQ(quorv_GetEnrollImageNum(), 3);
  const ImageRescanNode *third = g_enrollImage->pNext->pNext;
  EXPECT_EQ(third->imageRescanBuf, nullptr);
  EXPECT_EQ(third->imageLen, 0);

  std::vector<uint8_t> dst(16, 0xee);
  quorv_GetEnrollImageBuffOnly(dst.data(), 16, 3);
  EXPECT_EQ(dst, std::vector<uint8_t>(16, 0xee));
  quorv_SetEnrollImageInvalid(3);
  EXPECT_EQ(third->isValid, 1) << "a node without an image stays valid";
  quorv_SetEnrollImageInvalid(1);
  quorv_DeleteInvalidEnrollImage();
  ASSERT_EQ(quorv_GetEnrollImageNum(), 2);
  EXPECT_EQ(g_enrollImage->pNext->imageRescanBuf, nullptr) << "kept and renumbered 2";
  quorv_GetEnrollImageBuff(dst.data(), 16, 2);
  EXPECT_EQ(dst, std::vector<uint8_t>(16, 0xee));
  EXPECT_EQ(quorv_GetEnrollImageNum(), 1) << "the take still unlinks the node";
  EXPECT_TRUE(ListMessages().empty());
}

}  // namespace

namespace {

// Every allocation of an enrol step refused in turn: the enrol step answers
// -1 (memory), -2 (a step that failed for it) or -5 (a rating that failed
// with its scorer's -1); the forced one may also pass an extraction's code
// on. Neither leaves a sample behind or the enrol mode set, and the finger
// gains nothing.
TEST_F(SensorLibAllocTest, EnrolStepsWithoutMemoryReleaseTheirSamples) {
  Create();
  quorv_SetFpSensorColsRows(96, 96);
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(43, 0));
  fingers::ImpressionParams ip;
  ip.seed = fingers::PressSeed(m, 0);
  ip.width = ip.height = 96;
  ip.center = m.PatternCenter();
  ip.contact.radius = 1.6;
  const std::vector<uint8_t> press = fingers::Render(m, ip).frame.gray;

  using Step = int (*)(const uint8_t *);
  struct Case {
    Step step;
    bool passes_extraction_codes;
  };
  const Case cases[] = {
      {[](const uint8_t *p) { return quorv_EnrollByImage(0, 0, p); }, false},
      {[](const uint8_t *p) { return quorv_ForceEnrollByImage(0, 0, p); }, true},
  };
  for (const Case &c : cases) {
    const Step step = c.step;
    int failures = 0;
    for (int n = 0;; ++n) {
      const int32_t heap = gMallocCnts;
      int ret;
      {
        FailHeapAfter fail(n);
        ret = step(press.data());
      }
      if (ret == 0) break;
      ++failures;
      EXPECT_TRUE(ret == -1 || ret == -2 || ret == -5 || (c.passes_extraction_codes && ret < 0))
          << n << ": " << ret;
      EXPECT_EQ(gQuorvActionMode, 0u) << n;
      EXPECT_EQ(ZqGetSubtemplatesNum(0), 0) << n;
      ZqCancelEnroll(0);
      EXPECT_LE(gMallocCnts, heap + 1) << n << ": at most the finger's record stays";
    }
    EXPECT_GT(failures, 3);
    EXPECT_EQ(ZqGetSubtemplatesNum(0), 1);
    ZqCancelEnroll(0);
  }
}

}  // namespace

namespace {

// The first allocation of an image enrolment refused, in the bad-pixel
// repair (mode 2, a frame with stuck pixels) or else in the rating: for the
// repair the plain enrolment blames the input and the forced one the
// algorithm; a rating that fails is no finger for both. Each reports in its
// own name.
TEST_F(SensorLibAllocTest, ImageEnrolmentsReportAnEarlyMemoryFailureEachItsOwnWay) {
  Create();
  quorv_SetFpSensorColsRows(96, 96);
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  std::vector<uint8_t> press =
      fingers::FullContactPress(fingers::MakeMaster(fingers::PopulationFinger(43, 0)), 0, 0, 0)
          .frame.gray;
  for (int i = 0; i < 96; ++i) press[i * 96 + i] = 255;

  using Step = int (*)(const uint8_t *);
  const Step enrol = [](const uint8_t *p) { return quorv_EnrollByImage(0, 0, p); };
  const Step forced = [](const uint8_t *p) { return quorv_ForceEnrollByImage(0, 0, p); };
  struct Case {
    const char *what;
    uint8_t bad_pix_mode;
    Step step;
    int want;
    const char *logged;
  };
  const Case cases[] = {
      {"enrol, repair", 2, enrol, QUORV_ERR_INPUT, "ZqBadPixRepair() = -2...error, ret = -1"},
      {"forced, repair", 2, forced, QUORV_ERR_ALGORITHM, "ZqBadPixRepair() = -2...error, ret = -2"},
      {"enrol, rating", 0, enrol, QUORV_ERR_NOT_FINGER,
       "quorv_EnrollByImage...ZqGetImageQuality() = -1, error, NOT finger image, ret = -5"},
      {"forced, rating", 0, forced, QUORV_ERR_NOT_FINGER,
       "quorv_ForceEnrollByImage...ZqGetImageQuality() = -1, error, NOT finger image, ret = -5"},
  };
  for (const Case &c : cases) {
    quorv_SetBadPixBitRef(c.bad_pix_mode);
    HostLog().clear();
    int ret;
    {
      FailHeapAfter fail(0);
      ret = c.step(press.data());
    }
    EXPECT_EQ(ret, c.want) << c.what;
    EXPECT_TRUE(Logged(c.logged)) << c.what << ": no \"" << c.logged << "\"";
    EXPECT_EQ(gQuorvActionMode, 0u) << c.what;
    EXPECT_EQ(ZqGetSubtemplatesNum(0), 0) << c.what;
  }
}

}  // namespace
