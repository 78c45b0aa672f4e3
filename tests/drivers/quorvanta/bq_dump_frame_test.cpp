#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/bq_dump.h"
#include "drivers/quorvanta/bq_dump_frame.h"
#include "base/bq_log.h"
#include "framework/quorvanta_ctx.h"
#include "base/dump_test_util.h"
#include "framework/fpi_img_dev.h"
#include "support/private_tmp.h"
#include "support/stderr_capture.h"

namespace {

using dump_test::IsDir;
using dump_test::ListDir;
using testing::MatchesRegex;
using testing_support::StderrCapture;

// A driver context with a 4 x 3 sensor whose frame buffer holds exactly one
// frame, published as quorvanta_ctx.
class DumpFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    ctx_.imgdev = &imgdev_;
    ctx_.raw_image = frame_.data();
    ctx_.sensor_info.sensor.cols = 4;
    ctx_.sensor_info.sensor.rows = 3;
    quorvanta_ctx = &ctx_;
    g_base_log_level = 3;
  }
  void TearDown() override { quorvanta_ctx = nullptr; }

  fp_img_dev imgdev_{};
  quorvanta_ctx_t ctx_{};
  std::vector<uint8_t> frame_ = std::vector<uint8_t>(12, 0xff);
};

TEST_F(DumpFrameTest, NamesAndFoldersFollowTheOutcome) {
  REQUIRE_PRIVATE_TMP();
  struct Case {
    int action, result, stage;
    const char *folder;
    const char *suffix;  // after "<time>-<count>-"
  } cases[] = {
      {IMG_ACTION_ENROLL, 3, 2, "enroll_success", "I0003-E002"},
      {IMG_ACTION_ENROLL, 1, 5, "enroll_success", "I0001-E005"},
      {IMG_ACTION_ENROLL, 100, 2, "enroll_failure", "I0100-E003"},
      {IMG_ACTION_ENROLL, 2, 0, "enroll_failure", "I0002-E001"},
      {IMG_ACTION_VERIFY, 0, 0, "verify_failure", "I0000-A000"},
      {IMG_ACTION_VERIFY, 1, 0, "verify_success", "I0001-A100"},
      {IMG_ACTION_IDENTIFY, 1, 0, "verify_success", "I0001-A100"},
      {IMG_ACTION_IDENTIFY, 101, 0, "verify_failure", "I0101-A000"},
      {IMG_ACTION_NONE, 1, 0, "raw_samples", "I0001-U100"},
      {IMG_ACTION_NONE, 0, 0, "raw_samples", "I0000-U000"},
      {IMG_ACTION_CAPTURE, 1, 0, "raw_samples", "I0001-A100"},
      {IMG_ACTION_CAPTURE, -1, 0, "raw_samples", "I4294967295-A000"},
  };
  std::set<std::string> folders = {"logs"};
  int count = 0;
  for (const Case &c : cases) {
    imgdev_.action = c.action;
    imgdev_.action_result = c.result;
    imgdev_.enroll_stage = c.stage;
    StderrCapture capture;
    ASSERT_EQ(dump_fingerprint_data(0), 0) << c.suffix;
    ++count;
    char number[8];
    std::snprintf(number, sizeof number, "%04d", count);
    std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u) << capture.Text();
    EXPECT_THAT(lines[0], MatchesRegex("quorvanta:dump: \\[ *[0-9]+\\]:dumping data to "
                                       "'/tmp/dump'\\.\\.\\."));
    EXPECT_THAT(lines[1], MatchesRegex(std::string("quorvanta:dump: \\[ *[0-9]+\\]:saving "
                                                   "'/tmp/dump/") +
                                       c.folder + "/[0-9]{14}\\.[0-9]{3}-" + number + "-" +
                                       c.suffix + "\\.bmp'\\.\\.\\."));
    folders.insert(c.folder);
    EXPECT_TRUE(IsDir(std::string("/tmp/dump/") + c.folder)) << c.folder;
  }
  // Only the outcome folders exist, and the image writer leaves them empty.
  std::vector<std::string> made = ListDir("/tmp/dump");
  EXPECT_EQ(std::set<std::string>(made.begin(), made.end()), folders);
  for (const std::string &f : folders)
    if (f != "logs") {
      EXPECT_TRUE(ListDir("/tmp/dump/" + f).empty()) << f;
    }
}

TEST_F(DumpFrameTest, FrameMustLieInsideTheFrameBuffer) {
  REQUIRE_PRIVATE_TMP();
  g_base_log_level = 6;
  struct Case {
    uint32_t module_type;
    int index;
    int rc;
  } cases[] = {
      {0, 0, 0},   {0, 1, -200}, {0, 256, 0},  // the index counts modulo 256
      {0, 255, -200}, {0, -1, -200},
      {1, 0, 0},   {1, 1, 0},    {1, 2, -200},  // module type 1: two half-width frames
      {2, 1, -200},
  };
  for (const Case &c : cases) {
    ctx_.module_type = c.module_type;
    EXPECT_EQ(dump_fingerprint_data(c.index), c.rc)
        << "module type " << c.module_type << " index " << c.index;
  }
}

TEST_F(DumpFrameTest, MissingContextOrFrameBuffer) {
  REQUIRE_PRIVATE_TMP();
  quorvanta_ctx = nullptr;
  {
    StderrCapture capture;
    EXPECT_EQ(dump_fingerprint_data(0), -201);
    EXPECT_THAT(capture.Lines().back(),
                MatchesRegex("quorvanta:dump: error at dump_fingerprint_data"
                             "\\[bq_dump_frame\\.cpp:[0-9]+\\]: 'Null pointer'\\."));
  }
  quorvanta_ctx = &ctx_;
  ctx_.raw_image = nullptr;
  StderrCapture capture;
  EXPECT_EQ(dump_fingerprint_data(0), -201);
}

TEST_F(DumpFrameTest, NoSessionNoDump) {
  REQUIRE_PRIVATE_TMP();
  g_base_log_level = 6;
  dump_test::WriteFile("/tmp/dump", "not a folder");
  StderrCapture capture;
  EXPECT_EQ(dump_fingerprint_data(0), -11);
  EXPECT_EQ(bq_dump_session_is_open(), 0);
}

}  // namespace
