#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "src/quorv_base/quorv_log.h"
#include "src/image/ZqImage.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;

std::vector<std::string> g_callback_lines;

int RecordingLog(const char *format, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  g_callback_lines.push_back(buf);
  return n;
}

void LogAtEveryLevel() {
  QUORV_LOGV("v %d", 1);
  QUORV_LOGD("d %d", 2);
  QUORV_LOGI("i %d", 3);
  QUORV_LOGW("w %d", 4);
  QUORV_LOGE("e %d", 5);
}

TEST(QuorvLog, ThresholdPicksLevels) {
  struct Case {
    uint32_t loglevel;
    std::vector<std::string> letters;
  } cases[] = {
      {0, {"v", "d", "i", "w", "e"}}, {1, {"v", "d", "i", "w", "e"}}, {4, {"w", "e"}},
      {5, {"e"}},                     {6, {}},                        {0xffffffffu, {}},
  };
  for (const Case &c : cases) {
    StderrCapture capture;
    g_debuginfo = 1;
    g_loglevel = c.loglevel;
    LogAtEveryLevel();
    std::vector<std::string> letters;
    for (const std::string &line : capture.Lines()) {
      letters.push_back(line.substr(line.rfind(' ') - 1, 1));
    }
    EXPECT_EQ(letters, c.letters) << "g_loglevel " << c.loglevel;
  }
}

TEST(QuorvLog, ModeOneFormats) {
  StderrCapture capture;
  g_debuginfo = 1;
  g_loglevel = 0;
  int line_info = __LINE__ + 1;
  QUORV_LOGI("note %s", "x");
  int line_error = __LINE__ + 1;
  QUORV_LOGE("broken %d", 7);
  char info[64];
  std::snprintf(info, sizeof info, "quorvanta-lib: [%5d]:note x", line_info);
  std::string error = "quorvanta-lib: error at TestBody(tests/src/quorv_log_test.cpp:" +
                      std::to_string(line_error) + "): broken 7";
  EXPECT_EQ(capture.Lines(), (std::vector<std::string>{info, error}));
}

TEST(QuorvLog, ErrorOfLibraryNamesFunctionAndSourcePath) {
  StderrCapture capture;
  g_debuginfo = 1;
  g_loglevel = 4;
  EXPECT_EQ(ZqCreateImage(nullptr, DEPTH_8U), nullptr);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 1u);
  const std::string head = "quorvanta-lib: error at ZqCreateImage(src/image/ZqImage.cpp:";
  const std::string tail = "): ZqCreateImage...pSize == NULL";
  ASSERT_GT(lines[0].size(), head.size() + tail.size()) << lines[0];
  EXPECT_EQ(lines[0].substr(0, head.size()), head);
  EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail);
  std::string line_no = lines[0].substr(head.size(), lines[0].size() - head.size() - tail.size());
  EXPECT_EQ(line_no.find_first_not_of("0123456789"), std::string::npos) << line_no;
}

TEST(QuorvLog, ModeTwoPassesBareMessageToCallback) {
  StderrCapture capture;
  g_callback_lines.clear();
  g_debuginfo = 2;
  g_loglevel = 4;
  InitFuncSetLog(nullptr);
  LogAtEveryLevel();  // nothing registered: dropped
  InitFuncSetLog(RecordingLog);
  LogAtEveryLevel();
  EXPECT_EQ(g_callback_lines, (std::vector<std::string>{"w 4", "e 5"}));
  EXPECT_EQ(capture.Text(), "");
}

TEST(QuorvLog, OtherModesWriteNothing) {
  g_callback_lines.clear();
  InitFuncSetLog(RecordingLog);
  g_loglevel = 0;
  for (uint8_t mode : {0, 3, 255}) {
    StderrCapture capture;
    InitFuncDebugEnable(mode);
    LogAtEveryLevel();
    EXPECT_EQ(capture.Text(), "") << int(mode);
  }
  EXPECT_TRUE(g_callback_lines.empty());
}

TEST(QuorvLog, Setters) {
  InitLogLevel(0x105);
  EXPECT_EQ(g_loglevel, 5u);
  InitLogLevel(-1);
  EXPECT_EQ(g_loglevel, 255u);
  InitPrintFuncTime(3);
  EXPECT_EQ(g_functimes, 3);
  InitFuncDebugEnable(2);
  EXPECT_EQ(g_debuginfo, 2);
}

}  // namespace
