#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "src/quorv_base/quorv_log.h"
#include "src/image/ZqImage.h"
#include "src/lib_log_capture.h"
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
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], info);
  testing_support::LibErrorLine error;
  ASSERT_TRUE(testing_support::ParseLibErrorLine(lines[1], &error)) << lines[1];
  EXPECT_EQ(error.func, "TestBody");
  EXPECT_TRUE(testing_support::NamesSourceFile(error.file, "tests/src/quorv_log_test.cpp"))
      << error.file;
  EXPECT_EQ(error.line, line_error);
  EXPECT_EQ(error.message, "broken 7");
}

TEST(QuorvLog, ErrorOfLibraryNamesFunctionAndSourcePath) {
  StderrCapture capture;
  g_debuginfo = 1;
  g_loglevel = 4;
  EXPECT_EQ(ZqCreateImage(nullptr, DEPTH_8U), nullptr);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(testing_support::IsLibErrorLine(lines[0], "ZqCreateImage", "src/image/ZqImage.cpp",
                                              "ZqCreateImage...pSize == NULL"))
      << lines[0];
}

TEST(QuorvLog, SourcePathsMatchFromTheTopOfTheTree) {
  struct Case {
    const char *written;
    bool names;
  } cases[] = {
      {"src/image/ZqImage.cpp", true},         {"../../src/image/ZqImage.cpp", true},
      {"/work/x/src/image/ZqImage.cpp", true}, {"xsrc/image/ZqImage.cpp", false},
      {"src/image/ZqImage.cpp.o", false},      {"image/ZqImage.cpp", false},
      {"", false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(testing_support::NamesSourceFile(c.written, "src/image/ZqImage.cpp"), c.names)
        << c.written;
  }
  testing_support::LibErrorLine e;
  EXPECT_TRUE(testing_support::ParseLibErrorLine(
      "quorvanta-lib: error at f(../a/b.cpp:12): m (x:3): y", &e));
  EXPECT_EQ(e.func, "f");
  EXPECT_EQ(e.file, "../a/b.cpp");
  EXPECT_EQ(e.line, 12);
  EXPECT_EQ(e.message, "m (x:3): y");
  for (const char *bad : {"quorvanta-lib: error at f(a.cpp): m", "quorvanta-lib: error at f(:1): m",
                          "quorvanta-lib: error at (a.cpp:1): m", "quorvanta-lib: [   12]:m",
                          "quorvanta-lib: error at f(a.cpp:x): m"}) {
    EXPECT_FALSE(testing_support::ParseLibErrorLine(bad, &e)) << bad;
  }
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
