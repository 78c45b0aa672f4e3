// The result mapping, the brightness check and the enrolment counters of the
// per-action step, against the recording sensor library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bq_log.h"
#include "drivers/quorvanta/bq_config.h"
#include "drivers/quorvanta/quorvanta_action.h"
#include "framework/quorvanta_ctx.h"
#include "framework/fp_internal.h"
#include "support/sensorlib_standin.h"
#include "support/stderr_capture.h"

namespace {

namespace standin = sensorlib_standin;
using testing_support::StderrCapture;
using Trace = std::vector<std::string>;

class ActionTest : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    bq_config_reset();
    g_base_log_level = 1;
    imgdev_.dev = &dev_;
    ctx_.imgdev = &imgdev_;
    ctx_.module_type = 2;
    ctx_.pid = 0x3b11;
    ctx_.sensor_info.sensor.cols = 8;
    ctx_.sensor_info.sensor.rows = 4;
    ctx_.raw_image = frame_;
    quorvanta_ctx = &ctx_;
  }
  void TearDown() override { quorvanta_ctx = nullptr; }

  uint8_t frame_[32] = {};
  fp_dev dev_{};
  fp_img_dev imgdev_{};
  quorvanta_ctx_t ctx_{};
};

struct RemapCase {
  int e;
  int enrol;
  int other;
  const char *enrol_line;  // expected log text, "" for none
  const char *other_line;
};

const RemapCase kRemap[] = {
    {0, 3, 1, "", ""},
    {-1, 103, 103, "image error.", "image error."},
    {-2, 100, 0, "maybe the sensor is dirty.", "verify failure."},
    {-3, 100, 100, "low image quality.", "low image quality."},
    {-4, 102, 102, "low image coverage.", "low image coverage."},
    {-5, 102, 102, "it's not a fingerprint image.", "it's not a fingerprint image."},
    {-6, 101, -1, "the finger is moving too slow.", ""},
    {-7, 103, -1, "this finger has been enrolled2.", ""},
    {-8, 103, 103, "the finger is moving too fast.", "the finger is moving too fast."},
    {-9, 2, -1, "it's wet finger.", ""},
    {-10, 103, 103, "it's white image.", "it's white image."},
    {-11, -1, -1, "-11.", "-11."},
};

class RemapTest : public ActionTest, public testing::WithParamInterface<RemapCase> {};

TEST_P(RemapTest, EnrolAndVerifyResultsWithTheirLogLine) {
  const RemapCase &c = GetParam();
  for (int action : {IMG_ACTION_ENROLL, IMG_ACTION_VERIFY}) {
    const bool enrol = action == IMG_ACTION_ENROLL;
    imgdev_.action = action;
    ctx_.result_reported = 0;
    StderrCapture err;
    EXPECT_EQ(remap_acquired_info(c.e), enrol ? c.enrol : c.other) << "action " << action;
    const std::string text = err.Text();
    const std::string line = enrol ? c.enrol_line : c.other_line;
    if (line.empty())
      EXPECT_EQ(text.find("quorvanta:core"), std::string::npos) << text;
    else
      EXPECT_NE(text.find(line), std::string::npos) << "action " << action << ": " << text;
    EXPECT_EQ(ctx_.result_reported, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, RemapTest, testing::ValuesIn(kRemap),
                         [](const testing::TestParamInfo<RemapCase> &i) {
                           return "E" + std::to_string(-i.param.e);
                         });

TEST_F(ActionTest, ImageErrorRebuildsAndReconfiguresTheLibrary) {
  ctx_.sensor_info.sensor.rows = 128;
  imgdev_.action = IMG_ACTION_VERIFY;
  ASSERT_EQ(remap_acquired_info(-1), 103);
  const Trace calls = standin::Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "quorv_SensorResourceDestroy()");
  EXPECT_EQ(calls[1], "quorv_SensorResourceCreate()");
  EXPECT_EQ(calls[2], "quorv_SetFpSensorColsRows(80, 128)");
  EXPECT_EQ(calls.back(), "quorv_ShowSensorConfig()");
}

struct RecoveryFailCase {
  const char *name;
  int create, init;
  int enrol, other;
};

class RecoveryFailTest : public ActionTest,
                         public testing::WithParamInterface<RecoveryFailCase> {};

TEST_P(RecoveryFailTest, FailedRebuildGivesFailOrNoMemory) {
  standin::script().resource_create = GetParam().create;
  standin::script().init_fp_alg = GetParam().init;
  imgdev_.action = IMG_ACTION_ENROLL;
  EXPECT_EQ(remap_acquired_info(-1), GetParam().enrol);
  imgdev_.action = IMG_ACTION_IDENTIFY;
  EXPECT_EQ(remap_acquired_info(-1), GetParam().other);
}

INSTANTIATE_TEST_SUITE_P(Steps, RecoveryFailTest,
                         testing::Values(RecoveryFailCase{"Create", -1, 0, 2, -12},
                                         RecoveryFailCase{"Configure", 0, -4, 2, -12}),
                         [](const testing::TestParamInfo<RecoveryFailCase> &i) {
                           return std::string(i.param.name);
                         });

TEST(ImageAvgCheck, BrightnessClasses) {
  struct Case {
    int value;
    int expect;
  } cases[] = {{0, 2}, {59, 2}, {60, 4}, {79, 4}, {80, 0}, {180, 0},
               {181, 4}, {200, 4}, {201, 1}, {255, 1}};
  std::vector<uint8_t> frame(5120);
  for (const Case &c : cases) {
    frame.assign(frame.size(), static_cast<uint8_t>(c.value));
    EXPECT_EQ(image_avg_check(frame.data(), 5120), c.expect) << c.value;
  }
  // The mean is over the first n bytes only.
  frame.assign(frame.size(), 255);
  frame[0] = 0;
  EXPECT_EQ(image_avg_check(frame.data(), 1), 2);
  EXPECT_EQ(image_avg_check(frame.data(), 0), 2);
}

// Index of each enrolment image the library was given.
std::vector<std::string> EnrolCalls() { return standin::CallsStartingWith("quorv_EnrollByImage"); }

TEST_F(ActionTest, FirstStageStartsTheCountersAndTheTips) {
  ASSERT_EQ(libfp_enroll_by_image(0), 0);
  EXPECT_EQ(standin::Calls(),
            (Trace{"quorv_ClearEnrollPara()", "quorv_SetEnrollmentTipsEn(1)",
                   "quorv_SetEnrollmentTipsParameter(40, 70, 0, 10)",
                   "quorv_EnrollByImage(0, 0)"}));
  ASSERT_EQ(libfp_enroll_by_image(1), 0);
  EXPECT_EQ(standin::Calls().back(), "quorv_EnrollByImage(0, 1)");
}

// The first two move-too-slow results at stage 2 or later force-enrol the
// image at its index and report -6 (a retry), moving later images one index
// on; the third reports the force enrolment's own result.
TEST_F(ActionTest, MoveTooSlowForcesTheImageAndShiftsLaterIndices) {
  ASSERT_EQ(libfp_enroll_by_image(0), 0);
  ASSERT_EQ(libfp_enroll_by_image(1), 0);
  standin::ClearCalls();
  standin::script().enroll = {-6, -6, -6};
  standin::script().force_enroll = {0, 0, -3};
  EXPECT_EQ(libfp_enroll_by_image(2), -6);
  EXPECT_EQ(libfp_enroll_by_image(2), -6);
  EXPECT_EQ(libfp_enroll_by_image(2), -3);
  EXPECT_EQ(libfp_enroll_by_image(3), 0);
  EXPECT_EQ(EnrolCalls(), (Trace{"quorv_EnrollByImage(0, 2)", "quorv_EnrollByImage(0, 3)",
                                 "quorv_EnrollByImage(0, 4)", "quorv_EnrollByImage(0, 5)"}));
  EXPECT_EQ(standin::CallsStartingWith("quorv_ForceEnroll"),
            (Trace{"quorv_ForceEnroll(0, 2)", "quorv_ForceEnroll(0, 3)",
                   "quorv_ForceEnroll(0, 4)"}));
  EXPECT_EQ(standin::CallsStartingWith("quorv_SetEnrollmentTipsEn"),
            (Trace{"quorv_SetEnrollmentTipsEn(2)", "quorv_SetEnrollmentTipsEn(2)",
                   "quorv_SetEnrollmentTipsEn(2)"}));
}

TEST_F(ActionTest, MoveTooSlowAtTheFirstStagesForcesAtOnce) {
  standin::script().enroll = {-6};
  standin::script().force_enroll = {0};
  EXPECT_EQ(libfp_enroll_by_image(0), 0);
  EXPECT_EQ(standin::CallsStartingWith("quorv_SetEnrollmentTipsParameter").back(),
            "quorv_SetEnrollmentTipsParameter(50, 80, 0, 5)");
  EXPECT_EQ(libfp_enroll_by_image(1), 0);
  EXPECT_EQ(EnrolCalls().back(), "quorv_EnrollByImage(0, 1)") << "no index was added";
}

TEST_F(ActionTest, ModuleType1EnrolsBothHalvesAndDoublesTheTips) {
  ctx_.module_type = 1;
  for (int i = 0; i < 32; i++) frame_[i] = static_cast<uint8_t>(i);
  standin::SetFrameBytes(16);
  ASSERT_EQ(libfp_enroll_by_image(0), 0);
  EXPECT_EQ(standin::CallsStartingWith("quorv_SetEnrollmentTipsEn"),
            Trace{"quorv_SetEnrollmentTipsEn(2)"});
  EXPECT_EQ(EnrolCalls(), (Trace{"quorv_EnrollByImage(0, 0)", "quorv_EnrollByImage(0, 1)"}));
  ASSERT_EQ(standin::Frames().size(), 2u);
  EXPECT_EQ(standin::Frames()[1][0], 16) << "the second half starts w*h/2 bytes in";
  // Each stage adds one extra image: stage 1 enrols indices 2 and 3.
  ASSERT_EQ(libfp_enroll_by_image(1), 0);
  EXPECT_EQ(EnrolCalls().back(), "quorv_EnrollByImage(0, 3)");
  // A first half the library refuses is retried with the second half.
  standin::script().enroll = {-3, 0};
  ASSERT_EQ(libfp_enroll_by_image(2), 0);
  EXPECT_EQ(EnrolCalls().back(), "quorv_EnrollByImage(0, 4)");
}

}  // namespace
